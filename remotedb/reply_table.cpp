#include "remotedb/remote_db.h"

#include <string_view>

namespace orbiq {

namespace {

constexpr size_t kNone = std::string_view::npos;

// The first token in s[from, end) that starts on a character, from must start one; kNone when
// there is none.
size_t FindToken(std::string_view s, size_t from, size_t end, const Text& token) {
    const size_t at = GbkFind(s.substr(from, end - from), token.Bytes());
    return at == kNone ? kNone : from + at;
}

// A cell's text, cut after the last whole character that fits the bound.
Text Cell(std::string_view s, size_t from, size_t end) {
    if (end - from > kReplyMaxCellBytes) {
        size_t cut = from;
        for (size_t n; cut < end && cut - from + (n = GbkCharLength(s, cut)) <= kReplyMaxCellBytes;) cut += n;
        end = cut;
    }
    return Text(std::string(s.substr(from, end - from)));
}

// The cells of the row s[from, end), at most `limit` of them.
std::vector<Text> CutRow(std::string_view s, size_t from, size_t end, size_t limit) {
    std::vector<Text> cells;
    const size_t token = kReplyColumnToken.Length();
    for (size_t at; cells.size() < limit && (at = FindToken(s, from, end, kReplyColumnToken)) != kNone; from = at + token)
        cells.push_back(Cell(s, from, at));
    if (cells.size() < limit) cells.push_back(Cell(s, from, end));
    return cells;
}

}  // namespace

ReplyTable BuildReplyTable(const Text& reply) {
    ReplyTable table;
    const std::string_view s = reply.Bytes();
    const size_t token = kReplyRowToken.Length();
    // Only as much of the reply is cut as the table keeps: the header and kReplyMaxDataRows rows.
    for (size_t from = 0; table.rows.size() <= static_cast<size_t>(kReplyMaxDataRows);) {
        const size_t at = FindToken(s, from, s.size(), kReplyRowToken);
        const size_t end = at == kNone ? s.size() : at;
        // A reply ending with the row token (the header and no row) gains no empty data row.
        if (at == kNone && from == s.size() && !table.rows.empty()) break;
        if (table.rows.empty()) {
            std::vector<Text> header = CutRow(s, from, end, kReplyMaxColumns);
            table.columnCount = static_cast<int32_t>(header.size());
            table.rows.push_back(std::move(header));
        } else {
            std::vector<Text> cells = CutRow(s, from, end, static_cast<size_t>(table.columnCount));
            cells.resize(static_cast<size_t>(table.columnCount));
            table.rows.push_back(std::move(cells));
        }
        if (at == kNone) break;
        from = at + token;
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
