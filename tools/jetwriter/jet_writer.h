// A writer of Jet 4 (Access 2000) database files holding text-only tables, for the
// built-in catalogue and for test fixtures; what it writes reads back through mdbtools.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/text.h"

namespace orbiq::jet {

// A text column of up to maxChars characters (1 to 255).
struct Column {
    Text name;
    int maxChars;
};

// Rows are kept in storage order; nullopt is a null value.
struct Table {
    Text name;
    std::vector<Column> columns;
    std::vector<std::vector<std::optional<Text>>> rows;
};

// The whole file. The password (up to 20 characters, empty for none) is stored in the
// header as Jet 4 keeps it. A database key other than 0 enciphers every page after the
// header with RC4, as Jet 4 does for an encoded database. Throws std::invalid_argument
// for names, values or rows the format cannot hold (a value longer than its column, a
// row wider than a page...).
ByteSet WriteJet4(const std::vector<Table>& tables, const Text& password, uint32_t databaseKey = 0);

// A row of the channel table.
struct ChannelSpec {
    std::optional<Text> category, name, address, introduction;
};

// A catalogue file: its two tables, columns and widths as common/catalogue_file.h gives them.
ByteSet WriteCatalogue(const std::vector<std::optional<Text>>& categories,
                       const std::vector<ChannelSpec>& channels, const Text& password);

}  // namespace orbiq::jet
