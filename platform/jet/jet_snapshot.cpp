#include "platform/jet/jet_snapshot.h"

#include "platform/jet/jet_header.h"

#include <glib.h>
#include <mdbsql.h>
#include <mdbtools.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace orbiq::platform {
namespace {

constexpr int kOffsetMask = 0x1FFF;  // row offsets carry flags above these bits
constexpr char kMagic[] = "OJS1";
constexpr char kTrailer[] = "END1";

struct MdbCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
using MdbPtr = std::unique_ptr<MdbHandle, MdbCloser>;

// The SQL engine borrows the handle; it must not close it.
struct SqlCloser {
    void operator()(MdbSQL* sql) const {
        sql->mdb = nullptr;
        mdb_sql_exit(sql);
    }
};
using SqlPtr = std::unique_ptr<MdbSQL, SqlCloser>;

// Which fields of the row just fetched are null: libmdb's bound values give a null
// and a zero-length text alike.
std::vector<bool> NullFlags(MdbTableDef* table) {
    std::vector<bool> nulls(table->num_cols, true);
    MdbHandle* mdb = table->entry->mdb;
    int start = 0;
    size_t size = 0;
    if (table->cur_row == 0 || mdb_find_row(mdb, static_cast<int>(table->cur_row - 1), &start, &size) != 0)
        return nulls;
    std::vector<MdbField> fields(table->num_cols);
    if (mdb_crack_row(table, start & kOffsetMask, size, fields.data()) < 0) return nulls;
    for (unsigned i = 0; i < table->num_cols; ++i) nulls[fields[i].colnum] = fields[i].is_null != 0;
    return nulls;
}

// False when the table cannot be read (a damaged file) or the snapshot grows too large.
bool ReadTable(MdbSQL* sql, const std::string& name, JetSnapshotTable& out, size_t& budget) {
    // mdbsql cuts unquoted non-ASCII names; Jet names never hold brackets.
    std::string statement = "select * from [" + name + "]";
    if (!mdb_sql_run_query(sql, statement.c_str())) {
        mdb_sql_reset(sql);
        return false;
    }
    MdbTableDef* table = sql->cur_table;
    out.name = name;
    for (unsigned i = 0; i < sql->num_columns; ++i)
        out.columns.emplace_back(static_cast<MdbSQLColumn*>(g_ptr_array_index(sql->columns, i))->name);
    if (sql->num_columns == 0 || sql->num_columns != table->num_cols) {
        mdb_sql_reset(sql);
        return false;
    }
    bool ok = true;
    while (ok && mdb_fetch_row(table)) {
        std::vector<bool> nulls = NullFlags(table);
        std::vector<std::optional<std::string>> row;
        for (unsigned i = 0; i < sql->num_columns; ++i) {
            if (nulls[i]) { row.emplace_back(); continue; }
            const char* value = static_cast<const char*>(g_ptr_array_index(sql->bound_values, i));
            row.emplace_back(value);
            size_t cost = row.back()->size() + 8;
            if (cost > budget) { ok = false; break; }
            budget -= cost;
        }
        out.rows.push_back(std::move(row));
    }
    mdb_sql_reset(sql);
    return ok;
}

bool ReadAll(MdbPtr mdb, JetSnapshot& out) {
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE)) return false;
    // Later queries read the catalogue afresh, so keep the names, not the entries.
    // The catalogue of a sound file lists MSysObjects itself; libmdb reads a page at the
    // end of the file as zeros, which gives an empty catalogue instead of an error.
    std::vector<std::string> names;
    bool listsItself = false;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (std::strcmp(entry->object_name, "MSysObjects") == 0 && entry->table_pg == 2)
            listsItself = true;
        if (mdb_is_user_table(entry) && !std::strchr(entry->object_name, ']'))
            names.emplace_back(entry->object_name);
    }
    if (!listsItself) return false;
    SqlPtr sql(mdb_sql_init());
    sql->mdb = mdb.get();
    size_t budget = kJetSnapshotLimit;
    JetSnapshot snapshot;
    for (const std::string& name : names) {
        JetSnapshotTable table;
        if (!ReadTable(sql.get(), name, table, budget)) return false;
        snapshot.push_back(std::move(table));
    }
    sql.reset();
    out = std::move(snapshot);
    return true;
}

uint32_t Get32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint32_t Get16(const unsigned char* p) { return p[0] | p[1] << 8; }

// Where row `row` of a page lies, as libmdb's mdb_find_row computes it; false when it
// would reject the row.
bool RowBounds(const unsigned char* page, uint32_t row, uint32_t& start, uint32_t& end) {
    constexpr uint32_t kPage = 4096, kRowCount = 0x0C;
    uint32_t rows = Get16(page + kRowCount);
    if (row >= rows || kRowCount + 2 + 2 * row + 2 > kPage) return false;
    start = Get16(page + kRowCount + 2 + 2 * row) & kOffsetMask;
    end = row == 0 ? kPage : Get16(page + kRowCount + 2 * row) & kOffsetMask;
    return start < kPage && start <= end && end <= kPage;
}

// The bytes of a table definition as libmdb reads them: the head page, then each
// following page of the chain from offset 8.
std::vector<unsigned char> DefinitionBytes(const unsigned char* data, size_t pages, size_t head, size_t need) {
    constexpr size_t kPage = 4096;
    std::vector<unsigned char> bytes(data + head * kPage, data + (head + 1) * kPage);
    std::vector<bool> seen(pages, false);
    seen[head] = true;
    size_t page = head;
    while (bytes.size() < need) {
        size_t next = Get32(data + page * kPage + 4);
        if (next == 0 || next >= pages || seen[next]) break;
        seen[next] = true;
        page = next;
        bytes.insert(bytes.end(), data + page * kPage + 8, data + (page + 1) * kPage);
    }
    return bytes;
}

// libmdb reads numbers and dates at their type's width whatever size the column declares
// or the row holds, past the row and the page (heap overflow found by fuzzing): such
// columns must be fixed and wide enough, as Jet always writes them.
bool FixedColumnsFit(const unsigned char* data, size_t pages, size_t head, uint32_t columns, uint32_t realIndexes) {
    constexpr size_t kColumnsAt = 63, kIndexEntry = 12, kColumnEntry = 25;
    size_t start = kColumnsAt + realIndexes * kIndexEntry;
    size_t end = start + columns * kColumnEntry;
    std::vector<unsigned char> def = DefinitionBytes(data, pages, head, end);
    if (def.size() < end) return true;  // libmdb gives up on a short definition itself
    for (size_t c = 0; c < columns; ++c) {
        const unsigned char* col = def.data() + start + c * kColumnEntry;
        static const unsigned char kWidth[17] = {0, 0, 1, 2, 4, 8, 4, 8, 8, 0, 0, 0, 0, 0, 0, 16, 17};
        unsigned type = col[0];
        if (type < 17 && kWidth[type] && (!(col[15] & 0x01) || Get16(col + 23) < kWidth[type])) return false;
    }
    return true;
}

// Checks what libmdb trusts without checking before it reaches it (found by fuzzing):
// the usage maps of a table definition must be rows of at least a map header on pages
// of the file (libmdb dereferences a NULL map for an empty row), and a table has at
// most 255 columns and a believable number of indexes (libmdb allocates what they say).
bool StructureIsSafe(const unsigned char* file, size_t size) {
    constexpr size_t kPage = 4096;
    if (size < 3 * kPage || size % kPage != 0) return false;
    size_t pages = size / kPage;
    std::vector<unsigned char> plain;
    const unsigned char* data = file;
    if (uint32_t key = Jet4DatabaseKey(file)) {  // check the pages as libmdb will see them
        plain.assign(file, file + size);
        for (size_t p = 1; p < pages; ++p) {
            uint32_t k = key ^ static_cast<uint32_t>(p);
            unsigned char pageKey[4] = {static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 8),
                                        static_cast<unsigned char>(k >> 16), static_cast<unsigned char>(k >> 24)};
            JetRc4(pageKey, 4, plain.data() + p * kPage, kPage);
        }
        data = plain.data();
    }
    std::vector<bool> continuation(pages, false);
    for (size_t p = 1; p < pages; ++p) {
        const unsigned char* page = data + p * kPage;
        uint32_t next = Get32(page + 4);
        if (page[0] == 0x02 && next < pages) continuation[next] = true;
    }
    for (size_t p = 1; p < pages; ++p) {
        const unsigned char* page = data + p * kPage;
        if (page[0] != 0x02 || continuation[p]) continue;
        // Jet allows 255 columns; libmdbsql binds 16 KiB per column it is told of.
        uint32_t columns = Get16(page + 45), varColumns = Get16(page + 43);
        if (columns > 255 || varColumns > columns) return false;
        // Jet has at most 32 indexes a table (and a logical one per relationship).
        uint32_t realIndexes = Get32(page + 51);
        if (Get32(page + 47) > 1000 || realIndexes > 1000) return false;
        if (!FixedColumnsFit(data, pages, p, columns, realIndexes)) return false;
        for (size_t at : {55u, 59u}) {
            uint32_t pointer = Get32(page + at);
            uint32_t mapPage = pointer >> 8, start, end;
            if (mapPage >= pages || !RowBounds(data + mapPage * kPage, pointer & 0xFF, start, end)) return false;
            const unsigned char* map = data + mapPage * kPage + start;
            uint32_t length = end - start;
            if (length == 0 || (map[0] == 0 && length < 5)) return false;
        }
    }
    return data[2 * kPage] == 0x02;
}

void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutString(std::string& s, const std::string& v) {
    PutU32(s, static_cast<uint32_t>(v.size()));
    s += v;
}

struct Reader {
    std::string_view in;
    size_t pos = 0;
    bool GetU32(uint32_t& v) {
        if (in.size() - pos < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(in[pos + i])) << (8 * i);
        pos += 4;
        return true;
    }
    bool GetString(std::string& v) {
        uint32_t n;
        if (!GetU32(n) || in.size() - pos < n) return false;
        v.assign(in.substr(pos, n));
        pos += n;
        return true;
    }
    // A count is believable only if each item could still follow (at least 4 bytes each).
    bool GetCount(uint32_t& n) { return GetU32(n) && n <= (in.size() - pos) / 4; }
};

}  // namespace

bool ReadJetSnapshotFile(const std::string& path, JetSnapshot& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ReadJetSnapshotBuffer(bytes.data(), bytes.size(), out);
}

bool ReadJetSnapshotBuffer(const unsigned char* data, size_t size, JetSnapshot& out) {
    if (!StructureIsSafe(data, size)) return false;
    std::vector<unsigned char> copy(data, data + size);  // fmemopen wants a writable buffer
    return ReadAll(MdbPtr(mdb_open_buffer(copy.data(), copy.size(), MDB_NOFLAGS)), out);
}

std::string SerializeJetSnapshot(const JetSnapshot& snapshot) {
    std::string s(kMagic, 4);
    PutU32(s, static_cast<uint32_t>(snapshot.size()));
    for (const JetSnapshotTable& t : snapshot) {
        PutString(s, t.name);
        PutU32(s, static_cast<uint32_t>(t.columns.size()));
        for (const std::string& c : t.columns) PutString(s, c);
        PutU32(s, static_cast<uint32_t>(t.rows.size()));
        for (const auto& row : t.rows) {
            for (const auto& v : row) {
                if (v) PutString(s, *v);
                else PutU32(s, 0xFFFFFFFFu);
            }
        }
    }
    s.append(kTrailer, 4);
    return s;
}

bool ParseJetSnapshot(std::string_view bytes, JetSnapshot& out) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != std::string_view(kMagic, 4) ||
        bytes.substr(bytes.size() - 4) != std::string_view(kTrailer, 4))
        return false;
    Reader r{bytes.substr(0, bytes.size() - 4), 4};
    JetSnapshot snapshot;
    uint32_t tables;
    if (!r.GetCount(tables)) return false;
    for (uint32_t t = 0; t < tables; ++t) {
        JetSnapshotTable table;
        uint32_t columns, rows;
        if (!r.GetString(table.name) || !r.GetCount(columns) || columns == 0) return false;
        table.columns.resize(columns);
        for (auto& c : table.columns) if (!r.GetString(c)) return false;
        if (!r.GetCount(rows) || rows > (r.in.size() - r.pos) / (4ull * columns)) return false;
        table.rows.resize(rows);
        for (auto& row : table.rows) {
            row.resize(columns);
            for (auto& v : row) {
                uint32_t n;
                size_t at = r.pos;
                if (!r.GetU32(n)) return false;
                if (n == 0xFFFFFFFFu) continue;
                r.pos = at;
                std::string value;
                if (!r.GetString(value)) return false;
                v = std::move(value);
            }
        }
        snapshot.push_back(std::move(table));
    }
    if (r.pos != r.in.size()) return false;
    out = std::move(snapshot);
    return true;
}

}  // namespace orbiq::platform
