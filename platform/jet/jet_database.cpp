#include "platform/jet/jet_database.h"

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/jet/jet_header.h"

namespace orbiq::platform {
namespace {

// Time the reader process may take for one file; the catalogue reads in a few ms.
constexpr int kReaderTimeoutMs = 3000;

// Jet compares names and texts without regard to case.
std::string Fold(const std::string& utf8) {
    if (!g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) return utf8;
    std::unique_ptr<gchar, decltype(&g_free)> folded(
        g_utf8_casefold(utf8.data(), static_cast<gssize>(utf8.size())), &g_free);
    return folded ? std::string(folded.get()) : utf8;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsSymbol(char c) {
    return c == '*' || c == '=' || c == ';' || c == ',' || c == '(' || c == ')' || c == '[' || c == ']' ||
           c == '\'' || c == '"' || c == '<' || c == '>';
}

struct Token {
    enum Kind { kWord, kName, kString, kSymbol } kind;
    std::string text;
};

// Jet SQL tokens: words, [names], 'strings' with '' for a quote, one-character symbols.
std::optional<std::vector<Token>> Tokenize(const std::string& s) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (IsBlank(c)) {
            ++i;
        } else if (c == '[') {
            size_t end = s.find(']', i + 1);
            if (end == std::string::npos || end == i + 1) return std::nullopt;
            tokens.push_back({Token::kName, s.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else if (c == '\'') {
            std::string value;
            for (++i;; ++i) {
                if (i >= s.size()) return std::nullopt;
                if (s[i] == '\'') {
                    if (i + 1 < s.size() && s[i + 1] == '\'') { value.push_back('\''); ++i; continue; }
                    ++i;
                    break;
                }
                value.push_back(s[i]);
            }
            tokens.push_back({Token::kString, std::move(value)});
        } else if (IsSymbol(c)) {
            tokens.push_back({Token::kSymbol, std::string(1, c)});
            ++i;
        } else {
            size_t start = i;
            while (i < s.size() && !IsBlank(s[i]) && !IsSymbol(s[i])) ++i;
            tokens.push_back({Token::kWord, s.substr(start, i - start)});
        }
    }
    return tokens;
}

bool IsKeyword(const Token& t, const char* word) {
    return t.kind == Token::kWord && g_ascii_strcasecmp(t.text.c_str(), word) == 0;
}

bool IsName(const Token& t) {
    static const char* const kReserved[] = {"select", "from", "where", "and", "or", "not"};
    if (t.kind == Token::kName) return true;
    if (t.kind != Token::kWord) return false;
    for (const char* r : kReserved) if (IsKeyword(t, r)) return false;
    return true;
}

// The header page of a file made of whole pages (a download cut short seldom is).
std::optional<std::string> ReadFirstPage(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    auto size = std::filesystem::file_size(path, ec);
    if (ec || size == 0 || size % kJetPageSize != 0) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string page(kJetPageSize, '\0');
    in.read(page.data(), static_cast<std::streamsize>(page.size()));
    if (in.gcount() != static_cast<std::streamsize>(page.size())) return std::nullopt;
    return page;
}

}  // namespace

namespace jet_internal {

std::optional<Select> ParseSelect(const std::string& utf8) {
    auto tokens = Tokenize(utf8);
    if (!tokens) return std::nullopt;
    std::vector<Token>& t = *tokens;
    if (!t.empty() && t.back().kind == Token::kSymbol && t.back().text == ";") t.pop_back();
    bool simple = t.size() == 4;
    bool filtered = t.size() == 8;
    if (!simple && !filtered) return std::nullopt;
    if (!IsKeyword(t[0], "select") || t[1].kind != Token::kSymbol || t[1].text != "*" ||
        !IsKeyword(t[2], "from") || !IsName(t[3]))
        return std::nullopt;
    Select select{t[3].text, std::nullopt, std::nullopt};
    if (filtered) {
        if (!IsKeyword(t[4], "where") || !IsName(t[5]) || t[6].kind != Token::kSymbol || t[6].text != "=" ||
            t[7].kind != Token::kString)
            return std::nullopt;
        select.whereColumn = t[5].text;
        select.whereValue = t[7].text;
    }
    return select;
}

}  // namespace jet_internal

bool JetRecordSet::AtEnd() const { return current_ >= rows_.size(); }
void JetRecordSet::MoveFirst() { current_ = 0; }
void JetRecordSet::MoveNext() {
    if (current_ < rows_.size()) ++current_;
}

Text JetRecordSet::Field(int column) const {
    if (AtEnd() || column < 1 || static_cast<size_t>(column) > rows_[current_].size()) return Text();
    const auto& value = rows_[current_][column - 1];
    return value ? *value : Text();
}

bool JetRecordSet::FieldIsNull(int column) const {
    if (AtEnd() || column < 1 || static_cast<size_t>(column) > rows_[current_].size()) return true;
    return !rows_[current_][column - 1];
}

void JetRecordSet::Close() {
    rows_.clear();
    current_ = 0;
}

bool JetDatabase::Open(const std::string& nativePath, const Text& password) {
    Close();
    // The password is checked here, before any of the file reaches libmdb.
    auto page = ReadFirstPage(nativePath);
    if (!page) return false;
    auto stored = ReadJet4Password(reinterpret_cast<const unsigned char*>(page->data()), page->size());
    if (!stored || (!stored->empty() && *stored != password.ToUtf8())) return false;

    // libmdb can crash or loop on a damaged file, so it reads in a process of its own.
    auto output = jet_internal::RunJetReader(nativePath, kReaderTimeoutMs);
    JetSnapshot snapshot;
    if (!output || !ParseJetSnapshot(*output, snapshot)) return false;
    OpenSnapshot(std::move(snapshot));
    return true;
}

void JetDatabase::OpenSnapshot(JetSnapshot snapshot) {
    Close();
    for (JetSnapshotTable& t : snapshot) {
        Table table;
        table.foldedName = Fold(t.name);
        for (const std::string& c : t.columns) table.foldedColumns.push_back(Fold(c));
        for (auto& row : t.rows) {
            std::vector<std::optional<Text>> gbk;
            for (const auto& v : row) gbk.push_back(v ? std::optional<Text>(Text::FromUtf8(*v)) : std::nullopt);
            table.rows.push_back(std::move(gbk));
        }
        table.utf8Rows = std::move(t.rows);
        tables_.push_back(std::move(table));
    }
    open_ = true;
}

bool JetDatabase::IsOpen() const { return open_; }

JetRecordSet JetDatabase::Query(const Text& sql) {
    JetRecordSet result;
    if (!open_) return result;
    auto select = jet_internal::ParseSelect(sql.ToUtf8());
    if (!select) return result;
    std::string tableName = Fold(select->table);
    const Table* table = nullptr;
    for (const Table& t : tables_)
        if (t.foldedName == tableName) { table = &t; break; }
    if (!table) return result;

    size_t column = 0;
    std::string wanted;
    if (select->whereColumn) {
        std::string name = Fold(*select->whereColumn);
        while (column < table->foldedColumns.size() && table->foldedColumns[column] != name) ++column;
        if (column == table->foldedColumns.size()) return result;  // Jet: an unknown name is a parameter
        wanted = Fold(*select->whereValue);
    }
    for (size_t r = 0; r < table->rows.size(); ++r) {
        if (select->whereColumn) {
            const auto& value = table->utf8Rows[r][column];
            if (!value || Fold(*value) != wanted) continue;
        }
        result.rows_.push_back(table->rows[r]);
    }
    return result;
}

void JetDatabase::Close() {
    tables_.clear();
    open_ = false;
}

Text JetQuoteValue(const Text& value) { return DoubleQuotes(value); }

}  // namespace orbiq::platform
