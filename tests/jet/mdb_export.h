// Tables as mdb-export gives them and as the layer gives them, side by side.
#pragma once

#include <string>
#include <vector>

#include "platform/jet/jet_database.h"
#include "tests/jet/jet_test_util.h"

namespace orbiq::test {

inline std::vector<std::string> Split(const std::string& s, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = s.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(s.substr(start, at - start));
    parts.push_back(s.substr(start));
    return parts;
}

// A table as mdb-export gives it (in the C locale's forms, UTF-8 names): unquoted, fields and rows apart by control characters
// that no sample holds; a null and a zero-length text both come as "".
struct Export {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

inline Export MdbExport(const std::string& file, const std::string& table, const std::string& options = "") {
    std::string out = RunCommand("LC_ALL=C.UTF-8 mdb-export -Q -d \"$(printf '\\037')\" -R \"$(printf '\\036')\" " +
                                       options + " " + ShellQuote(file) + " " + ShellQuote(table));
    Export e;
    std::vector<std::string> lines = Split(out, '\x1e');
    if (lines.empty() || lines.back() != "") return e;  // every row ends with the delimiter
    lines.pop_back();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 0) e.columns = Split(lines[i], '\x1f');
        else e.rows.push_back(Split(lines[i], '\x1f'));
    }
    return e;
}

inline std::vector<std::vector<std::string>> LayerRows(platform::JetDatabase& db, const std::string& table, size_t columns) {
    std::vector<std::vector<std::string>> rows;
    auto rs = db.Query(Text::FromUtf8("select * from [" + table + "]"));
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) {
        std::vector<std::string> row;
        for (size_t c = 1; c <= columns; ++c) row.push_back(rs.Field(static_cast<int>(c)).ToUtf8());
        rows.push_back(row);
    }
    return rows;
}

}  // namespace orbiq::test
