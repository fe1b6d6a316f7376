#include "platform/jet/jet_snapshot.h"

#include "platform/jet/jet_header.h"

#include <glib.h>
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

struct TableDefFree {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using TableDefPtr = std::unique_ptr<MdbTableDef, TableDefFree>;

struct GFree {
    void operator()(char* p) const { g_free(p); }
};
using GString = std::unique_ptr<char, GFree>;

// What mdb-export binds a value with, so that long memo texts come whole.
constexpr size_t kBindSize = 200000;

// Bytes libmdb reads for a value of a number, date or identifier type, whatever the
// row holds; 0 for the types it reads by the field's own size.
int TypeWidth(int type) {
    switch (type) {
        case MDB_BYTE: return 1;
        case MDB_INT: return 2;
        case MDB_LONGINT: case MDB_FLOAT: case MDB_COMPLEX: return 4;
        case MDB_MONEY: case MDB_DOUBLE: case MDB_DATETIME: return 8;
        case MDB_REPID: return 16;
        case MDB_NUMERIC: return 17;
        default: return 0;
    }
}

enum class Cell { kValue, kNull, kDamaged };

// One field of the row on mdb->pg_buf as mdb-export gives it. libmdb's own binding
// reads numbers and dates at their type's width wherever the row says the field starts
// (past the page for a damaged row: a heap overflow found by fuzzing), so the fields
// are checked against the row before anything reads them.
Cell FieldText(MdbHandle* mdb, MdbColumn* col, const MdbField& field, std::string& out) {
    if (col->col_type == MDB_BOOL) {  // the null bit is the value
        out = field.is_null ? mdb->boolean_false_value : mdb->boolean_true_value;
        return Cell::kValue;
    }
    if (field.is_null) return Cell::kNull;
    out.clear();
    if (field.siz == 0) return Cell::kValue;
    constexpr int kPage = 4096;
    if (field.start < 0 || field.siz < 0 || field.start > kPage - field.siz || field.siz < TypeWidth(col->col_type))
        return Cell::kDamaged;
    GString text;
    switch (col->col_type) {
        case MDB_OLE:  // pictures and other objects are not text
            return Cell::kValue;
        case MDB_NUMERIC:
            text.reset(mdb_numeric_to_string(mdb, field.start, col->col_scale, col->col_prec));
            break;
        case MDB_DATETIME:
            if (mdb_col_is_shortdate(col)) {
                std::string full = mdb->date_fmt;
                mdb_set_date_fmt(mdb, mdb->shortdate_fmt);
                text.reset(mdb_col_to_string(mdb, mdb->pg_buf, field.start, col->col_type, field.siz));
                mdb_set_date_fmt(mdb, full.c_str());
                break;
            }
            [[fallthrough]];
        default:
            text.reset(mdb_col_to_string(mdb, mdb->pg_buf, field.start, col->col_type, field.siz));
    }
    if (text) out = text.get();
    return Cell::kValue;
}

// False when the table cannot be read (a damaged file) or the snapshot grows too large.
bool ReadTable(MdbCatalogEntry* entry, JetSnapshotTable& out, size_t& budget) {
    MdbHandle* mdb = entry->mdb;
    TableDefPtr table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()) || table->num_cols == 0) return false;
    out.name = entry->object_name;
    std::vector<MdbColumn*> columns;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        columns.push_back(static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i)));
        out.columns.emplace_back(columns.back()->name);
    }
    // Nothing is bound: mdb_fetch_row finds the next live row, and its fields are
    // cracked and read here.
    mdb_rewind_table(table.get());
    std::vector<MdbField> fields(table->num_cols);
    while (mdb_fetch_row(table.get())) {
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, static_cast<int>(table->cur_row - 1), &start, &size) != 0) return false;
        if (mdb_crack_row(table.get(), start & kOffsetMask, size, fields.data()) < 0) return false;
        std::vector<std::optional<std::string>> row(table->num_cols);
        for (unsigned i = 0; i < table->num_cols; ++i) {
            const MdbField& field = fields[i];
            if (field.colnum < 0 || static_cast<unsigned>(field.colnum) >= table->num_cols) return false;
            std::string value;
            Cell cell = FieldText(mdb, columns[field.colnum], field, value);
            if (cell == Cell::kDamaged) return false;
            if (cell == Cell::kNull) continue;
            size_t cost = value.size() + 8;
            if (cost > budget) return false;
            budget -= cost;
            row[field.colnum] = std::move(value);
        }
        out.rows.push_back(std::move(row));
    }
    return true;
}

uint32_t Get32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint32_t Get16(const unsigned char* p) { return p[0] | p[1] << 8; }

constexpr size_t kPage = 4096;

// Where row `row` of a page lies, as libmdb's mdb_find_row computes it; false when it
// would reject the row.
bool RowBounds(const unsigned char* page, uint32_t row, uint32_t& start, uint32_t& end) {
    constexpr uint32_t kRowCount = 0x0C;
    uint32_t rows = Get16(page + kRowCount);
    if (row >= rows || kRowCount + 2 + 2 * row + 2 > kPage) return false;
    start = Get16(page + kRowCount + 2 + 2 * row) & kOffsetMask;
    end = row == 0 ? kPage : Get16(page + kRowCount + 2 * row) & kOffsetMask;
    return start < kPage && start <= end && end <= kPage;
}

// What libmdb trusts without checking in a table definition it reads (found by fuzzing):
// its usage maps must be rows of at least a map header on pages of the file (libmdb
// dereferences a NULL map for an empty row), and a table has at most 255 columns and a
// believable number of indexes (libmdb allocates what they say). Checked only on the
// definitions libmdb is about to read: a file holds stale pages of deleted tables too.
bool TableDefIsSafe(const unsigned char* data, size_t pages, size_t head) {
    if (head < 1 || head >= pages) return false;
    const unsigned char* page = data + head * kPage;
    if (page[0] != 0x02) return false;
    // Jet allows 255 columns; a reader binds a buffer per column it is told of.
    uint32_t columns = Get16(page + 45), varColumns = Get16(page + 43);
    if (columns > 255 || varColumns > columns) return false;
    // Jet has at most 32 indexes a table (and a logical one per relationship).
    uint32_t realIndexes = Get32(page + 51);
    if (Get32(page + 47) > 1000 || realIndexes > 1000) return false;
    for (size_t at : {55u, 59u}) {
        uint32_t pointer = Get32(page + at);
        uint32_t mapPage = pointer >> 8, start, end;
        if (mapPage >= pages || !RowBounds(data + mapPage * kPage, pointer & 0xFF, start, end)) return false;
        const unsigned char* map = data + mapPage * kPage + start;
        uint32_t length = end - start;
        if (length == 0 || (map[0] == 0 && length < 5)) return false;
    }
    return true;
}

// The file's pages as libmdb sees them: deciphered when the header carries a database key.
std::vector<unsigned char> PlainPages(const unsigned char* file, size_t size) {
    std::vector<unsigned char> plain(file, file + size);
    if (uint32_t key = Jet4DatabaseKey(file)) {
        for (size_t p = 1; p < size / kPage; ++p) {
            uint32_t k = key ^ static_cast<uint32_t>(p);
            unsigned char pageKey[4] = {static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 8),
                                        static_cast<unsigned char>(k >> 16), static_cast<unsigned char>(k >> 24)};
            JetRc4(pageKey, 4, plain.data() + p * kPage, kPage);
        }
    }
    return plain;
}

bool ReadAll(const unsigned char* file, size_t size, JetSnapshot& out) {
    if (size < 3 * kPage || size % kPage != 0) return false;
    size_t pages = size / kPage;
    std::vector<unsigned char> plain = PlainPages(file, size);
    if (!TableDefIsSafe(plain.data(), pages, 2)) return false;

    std::vector<unsigned char> copy(file, file + size);  // fmemopen wants a writable buffer
    MdbPtr mdb(mdb_open_buffer(copy.data(), copy.size(), MDB_NOFLAGS));
    if (!mdb) return false;
    mdb_set_bind_size(mdb.get(), kBindSize);
    // libmdb's catalogue read binds MSysObjects' fields unchecked (an object field that
    // lies outside its row overruns the page: found by fuzzing), so its rows are read the
    // checked way first.
    MdbCatalogEntry objects{};
    objects.mdb = mdb.get();
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::strcpy(objects.object_name, "MSysObjects");
    JetSnapshotTable catalogue;
    size_t catalogueBudget = kJetSnapshotLimit;
    if (!ReadTable(&objects, catalogue, catalogueBudget)) return false;
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) return false;
    // The catalogue of a sound file lists MSysObjects itself; libmdb reads a page at the
    // end of the file as zeros, which gives an empty catalogue instead of an error.
    std::vector<MdbCatalogEntry*> tables;
    bool listsItself = false;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (std::strcmp(entry->object_name, "MSysObjects") == 0 && entry->table_pg == 2) listsItself = true;
        if (mdb_is_user_table(entry)) tables.push_back(entry);
    }
    if (!listsItself) return false;
    size_t budget = kJetSnapshotLimit;
    JetSnapshot snapshot;
    for (MdbCatalogEntry* entry : tables) {
        if (!TableDefIsSafe(plain.data(), pages, entry->table_pg)) return false;
        JetSnapshotTable table;
        if (!ReadTable(entry, table, budget)) return false;
        snapshot.push_back(std::move(table));
    }
    out = std::move(snapshot);
    return true;
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
    return ReadAll(data, size, out);
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
