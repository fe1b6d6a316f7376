#include "site/board_script.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <vector>

#include "common/text.h"

namespace orbiq::site {

namespace {

const char* const kOk = "0";
const char* const kIllegal = "-1";
const char* const kNoDatabase = "1";
const char* const kSqlError = "2";
const std::string kRowToken = "[ZOTRAMEK/row]";
const std::string kColumnToken = "[ZOTRAMEK/Col]";

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;
using Stmt = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string FormDecode(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

struct Form {
    bool hasAc = false, hasMdb = false;
    std::string ac, mdb, sql;
};

Form ParseForm(const std::string& body) {
    Form form;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        std::string field = body.substr(start, end - start);
        size_t eq = field.find('=');
        std::string name = FormDecode(field.substr(0, eq));
        std::string value = eq == std::string::npos ? std::string() : FormDecode(field.substr(eq + 1));
        if (name == "ac") form.ac = value, form.hasAc = true;
        if (name == "mdb") form.mdb = value, form.hasMdb = true;
        if (name == "sql") form.sql = value;
        start = end + 1;
    }
    return form;
}

// A plain file name inside the folder.
bool SafeDatabaseName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return true;  // missing, not illegal
    return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

void FormatFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    auto text = [](sqlite3_value* v) {
        const unsigned char* t = sqlite3_value_text(v);
        return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    std::string result = AccessFormatDate(text(argv[0]), text(argv[1]));
    sqlite3_result_text(context, result.c_str(), static_cast<int>(result.size()), SQLITE_TRANSIENT);
}

// Neither token may stand in a cell: a message holding one would cut the board's table.
std::string CellText(std::string utf8) {
    std::string gbk = Utf8ToGbk(utf8);
    for (const std::string& token : {kRowToken, kColumnToken}) {
        for (size_t at; (at = GbkFind(gbk, token)) != std::string::npos;) gbk.erase(at, token.size());
    }
    return gbk;
}

std::string ColumnText(sqlite3_stmt* stmt, int column) {
    const unsigned char* t = sqlite3_column_text(stmt, column);
    return CellText(t ? reinterpret_cast<const char*>(t) : "");
}

const char* const kBoardTable = "留言列表";

// What a request may do: "ac=do" an insert into or a delete from the board's table, "ac=show"
// a select from it. Anything else is refused while the statement is prepared.
struct Permit {
    bool query = false;
    bool sawStatement = false;  // the one action the request is for
};

int Authorize(void* data, int action, const char* arg1, const char* arg2, const char* database, const char*) {
    Permit& permit = *static_cast<Permit*>(data);
    auto isBoardTable = [](const char* name) { return name && std::strcmp(name, kBoardTable) == 0; };
    if (database && std::strcmp(database, "main") != 0) return SQLITE_DENY;
    switch (action) {
    case SQLITE_INSERT:
    case SQLITE_DELETE:
        if (permit.query || !isBoardTable(arg1)) return SQLITE_DENY;
        permit.sawStatement = true;
        return SQLITE_OK;
    case SQLITE_SELECT:
        if (!permit.query) return SQLITE_DENY;
        permit.sawStatement = true;
        return SQLITE_OK;
    case SQLITE_READ:  // columns of a select, or of a delete's condition
        return isBoardTable(arg1) ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_FUNCTION:  // the board's query formats its time; nothing else is called
        return permit.query && arg2 && std::strcmp(arg2, "format") == 0 ? SQLITE_OK : SQLITE_DENY;
    default:
        return SQLITE_DENY;
    }
}

// Milliseconds in the time and the index keep "order by 留言时间 desc" newest first.
const char* const kCreateTable =
    "create table if not exists 留言列表 (id integer primary key autoincrement, 客人名称 text, 留言内容 text, "
    "留言时间 text not null default (strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')));"
    "create index if not exists 留言列表_时间 on 留言列表 (留言时间);";

}  // namespace

std::string TranslateAccessSql(const std::string& sql) {
    static const std::regex top(R"(^(\s*select\s+(?:distinct\s+)?)top\s+(\d+)\s+)", std::regex::icase);
    std::smatch m;
    if (!std::regex_search(sql, m, top)) return sql;
    std::string rest = m.suffix().str();
    size_t end = rest.find_last_not_of(" \t\r\n;");
    rest.erase(end == std::string::npos ? 0 : end + 1);
    return m[1].str() + rest + " limit " + m[2].str();
}

std::string AccessFormatDate(const std::string& value, const std::string& pattern) {
    int y, mo, d, h = 0, mi = 0, s = 0;
    int n = std::sscanf(value.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s);
    if (n != 3 && n != 6) return value;
    auto two = [](int v) {
        char b[8];
        std::snprintf(b, sizeof b, "%02d", v % 100);
        return std::string(b);
    };
    std::string out;
    bool afterHour = false;
    for (size_t i = 0; i < pattern.size();) {
        auto at = [&](const char* token) {
            size_t len = std::char_traits<char>::length(token);
            if (pattern.size() - i < len) return false;
            for (size_t k = 0; k < len; ++k)
                if (std::tolower(static_cast<unsigned char>(pattern[i + k])) != token[k]) return false;
            i += len;
            return true;
        };
        if (at("yyyy")) out += std::to_string(y), afterHour = false;
        else if (at("yy")) out += two(y), afterHour = false;
        else if (at("mm")) out += two(afterHour ? mi : mo), afterHour = false;
        else if (at("m")) out += std::to_string(afterHour ? mi : mo), afterHour = false;
        else if (at("dd")) out += two(d), afterHour = false;
        else if (at("d")) out += std::to_string(d), afterHour = false;
        else if (at("hh")) out += two(h), afterHour = true;
        else if (at("h")) out += std::to_string(h), afterHour = true;
        else if (at("nn")) out += two(mi), afterHour = false;
        else if (at("n")) out += std::to_string(mi), afterHour = false;
        else if (at("ss")) out += two(s), afterHour = false;
        else if (at("s")) out += std::to_string(s), afterHour = false;
        else out += pattern[i++];
    }
    return out;
}

BoardScript::BoardScript(std::string folder) : folder_(std::move(folder)) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2((folder_ + "/mdb.mdb").c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Db db(raw);
    if (rc == SQLITE_OK) sqlite3_exec(db.get(), kCreateTable, nullptr, nullptr, nullptr);
}

std::string BoardScript::Answer(const std::string& formBody) const {
    Form form = ParseForm(formBody);
    bool query = form.ac == "show";
    if (!form.hasAc || (!query && form.ac != "do")) return kIllegal;
    if (!SafeDatabaseName(form.mdb)) return kIllegal;

    std::string path = folder_ + "/" + form.mdb;
    std::error_code ec;
    if (form.mdb.empty() || !std::filesystem::is_regular_file(path, ec)) return kNoDatabase;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) return kNoDatabase;
    sqlite3_busy_timeout(db.get(), 5000);
    // SQLite reads the file only when a statement needs it; a file that is no database counts as missing.
    if (sqlite3_exec(db.get(), "pragma schema_version", nullptr, nullptr, nullptr) == SQLITE_NOTADB) return kNoDatabase;
    sqlite3_create_function(db.get(), "format", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, FormatFunction,
                            nullptr, nullptr);

    Permit permit;
    permit.query = query;
    sqlite3_set_authorizer(db.get(), Authorize, &permit);

    std::string sql = TranslateAccessSql(GbkToUtf8(form.sql));
    sqlite3_stmt* rawStmt = nullptr;
    const char* tail = nullptr;
    rc = sqlite3_prepare_v2(db.get(), sql.c_str(), static_cast<int>(sql.size()), &rawStmt, &tail);
    Stmt stmt(rawStmt);
    if (rc == SQLITE_NOTADB) return kNoDatabase;
    if (rc != SQLITE_OK || !stmt) return kSqlError;
    // A statement that asks for no permitted action (VACUUM asks for none) or only explains one.
    if (!permit.sawStatement || sqlite3_stmt_isexplain(stmt.get())) return kSqlError;
    // One statement per request: whatever follows must be blanks or comments.
    sqlite3_stmt* rawNext = nullptr;
    rc = sqlite3_prepare_v2(db.get(), tail, -1, &rawNext, nullptr);
    Stmt next(rawNext);
    if (rc != SQLITE_OK || next) return kSqlError;

    int columns = sqlite3_column_count(stmt.get());
    if (query && (columns == 0 || !sqlite3_stmt_readonly(stmt.get()))) return kSqlError;

    std::string reply;
    if (query) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0) reply += kColumnToken;
            const char* name = sqlite3_column_name(stmt.get(), c);
            reply += CellText(name ? name : "");
        }
    }
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        if (!query) continue;
        reply += kRowToken;
        for (int c = 0; c < columns; ++c) {
            if (c > 0) reply += kColumnToken;
            reply += ColumnText(stmt.get(), c);
        }
    }
    if (rc != SQLITE_DONE) return rc == SQLITE_NOTADB ? kNoDatabase : kSqlError;
    if (!query) return kOk;
    // A table needs the row token even with no data row: the client then reads one empty row.
    if (reply.find(kRowToken) == std::string::npos) reply += kRowToken;
    return reply;
}

}  // namespace orbiq::site
