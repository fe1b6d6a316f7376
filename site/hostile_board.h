// Answers of a board script that misbehaves, for tests and benchmarks of the board's client:
// each is a whole body in the script's table form (GBK), or one that never ends.
#pragma once

#include <cstddef>
#include <string>

namespace orbiq::site {

enum class BoardAnswer {
    Script,          // the script's own answer
    RowTokens,       // the header, then 10 MiB of row tokens: about 749,000 empty rows
    Columns1000,     // 1,000 columns (the board's three first), 50 rows of 1,000 cells
    Rows100000,      // the board's three columns, 100,000 rows
    InvalidGbk,      // 50 rows whose cells hold bytes that are no GBK text, NULs among them
    EndlessBody,     // the header, then rows without end, sent as fast as they are taken
    LongCells,       // 1,000 rows of three cells of 5,000 bytes each (Chinese text), 15 MB
};

// The body of a hostile answer; empty for Script and EndlessBody.
std::string HostileBoardBody(BoardAnswer answer);

// The next piece of the endless body, from byte offset on (the header comes first).
std::string EndlessBoardPiece(size_t offset);

}  // namespace orbiq::site
