#include "remotedb/remote_db.h"

namespace orbiq {

ReplyTable BuildReplyTable(const Text& reply) {
    ReplyTable table;
    std::vector<Text> rowPieces = CutText(reply, kReplyRowToken);
    // A reply ending with the row token (the header and no row) gains no empty data row.
    if (rowPieces.size() >= 2 && rowPieces.back().Empty()) rowPieces.pop_back();
    table.columnCount = static_cast<int32_t>(CutText(rowPieces.front(), kReplyColumnToken).size());
    table.rows.reserve(rowPieces.size());
    for (const Text& piece : rowPieces) {
        std::vector<Text> cells = CutText(piece, kReplyColumnToken);
        cells.resize(static_cast<size_t>(table.columnCount));
        table.rows.push_back(std::move(cells));
    }
    return table;
}

int32_t GetReplyColumnCount(const ReplyTable& table) { return table.columnCount; }

Text GetReplyColumnName(const ReplyTable& table, int32_t column) {
    if (table.rows.empty() || column < 1 || column > table.columnCount) return {};
    return table.rows[0][static_cast<size_t>(column - 1)];
}

int32_t GetReplyRowCount(const ReplyTable& table) {
    int32_t rows = static_cast<int32_t>(table.rows.size());
    return rows >= 2 ? rows - 1 : 0;
}

Text GetReplyCell(const ReplyTable& table, int32_t row, const Text& columnName) {
    if (row < 1 || row > GetReplyRowCount(table)) return {};
    const std::vector<Text>& header = table.rows[0];
    for (size_t j = 0; j < header.size(); ++j) {
        if (header[j] == columnName) return table.rows[static_cast<size_t>(row)][j];
    }
    return {};
}

}  // namespace orbiq
