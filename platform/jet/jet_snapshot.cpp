#include "platform/jet/jet_snapshot.h"

#include "platform/jet/jet_header.h"

#include <glib.h>
#include <mdbtools.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>

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

// The bytes of an object (OLE) value, gathered as libmdb's mdb_ole_read_full does; false
// for a chain of rows that comes back on itself, which libmdb would follow without end.
bool ObjectBytes(MdbHandle* mdb, int start, int size, std::string& out) {
    out.clear();
    uint32_t header = static_cast<uint32_t>(mdb_get_int32(mdb->pg_buf, start));
    void* buf = nullptr;
    int offset = 0;
    size_t length = 0;
    if (header & 0x80000000u) {  // inline
        out.assign(reinterpret_cast<const char*>(mdb->pg_buf) + start + MDB_MEMO_OVERHEAD, size - MDB_MEMO_OVERHEAD);
    } else if (header & 0x40000000u) {  // one row elsewhere
        if (mdb_find_pg_row(mdb, mdb_get_int32(mdb->pg_buf, start + 4), &buf, &offset, &length) == 0)
            out.assign(static_cast<const char*>(buf) + offset, length);
    } else if ((header & 0xF0000000u) == 0) {  // a chain of rows, each naming the next
        std::set<int32_t> seen;
        for (int32_t pgRow = mdb_get_int32(mdb->pg_buf, start + 4); pgRow != 0;) {
            if (!seen.insert(pgRow).second) return false;
            if (mdb_find_pg_row(mdb, pgRow, &buf, &offset, &length) != 0 || length < 4) break;
            out.append(static_cast<const char*>(buf) + offset + 4, length - 4);
            pgRow = mdb_get_int32(buf, offset);
        }
    }
    return true;
}

// False for a memo whose chain of rows comes back on itself: libmdb follows it without
// end when those rows hold no text. The chain is walked as libmdb's mdb_memo_to_string
// walks it, stopping where that stops.
bool MemoChainEnds(MdbHandle* mdb, int start, int size) {
    if (size < MDB_MEMO_OVERHEAD) return true;
    uint32_t header = static_cast<uint32_t>(mdb_get_int32(mdb->pg_buf, start));
    if ((header & 0xFF000000u) != 0) return true;  // inline, one row elsewhere, or unknown
    uint32_t length = header, done = 0;
    std::set<int32_t> seen;
    void* buf = nullptr;
    int offset = 0;
    size_t rowLength = 0;
    for (int32_t pgRow = mdb_get_int32(mdb->pg_buf, start + 4); pgRow != 0; pgRow = mdb_get_int32(buf, offset)) {
        if (!seen.insert(pgRow).second) return false;
        if (mdb_find_pg_row(mdb, pgRow, &buf, &offset, &rowLength) != 0 || rowLength < 4 ||
            done + rowLength - 4 > length)
            return true;
        done += static_cast<uint32_t>(rowLength - 4);
    }
    return true;
}

// One field of the row on mdb->pg_buf as mdb-export gives it; objects read as the empty
// text unless `objects` asks for their bytes. libmdb's own binding reads numbers and
// dates at their type's width wherever the row says the field starts (past the page for
// a damaged row: a heap overflow found by fuzzing), so each field is checked against the
// row before anything reads it.
Cell FieldText(MdbHandle* mdb, MdbColumn* col, const MdbField& field, bool objects, std::string& out) {
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
            if (objects && field.siz >= MDB_MEMO_OVERHEAD && !ObjectBytes(mdb, field.start, field.siz, out))
                return Cell::kDamaged;
            return Cell::kValue;
        case MDB_MEMO:
            if (!MemoChainEnds(mdb, field.start, field.siz)) return Cell::kDamaged;
            text.reset(mdb_col_to_string(mdb, mdb->pg_buf, field.start, col->col_type, field.siz));
            break;
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

// Flags of a row's offset on a data page. The engine moves a row that an edit makes too
// long for its page: the old slot keeps a 4-byte pointer (row number, then page) with
// kPointer set, and the data goes to a row with kMoved set on another data page of the
// table (or the same one), which a scan passes over. A deleted row has both.
constexpr int kPointer = 0x4000;
constexpr int kMoved = 0x8000;

// How the rows of a table are gathered.
enum class Scan {
    kEngine,  // as the engine returns them: moved rows through their pointers, in their slots' order
    kLibmdb,  // as libmdb's own scan binds them (pointers skipped, moved data where it lies)
};

struct TableReader {
    MdbTableDef* table;
    std::vector<MdbColumn*> columns;
    std::vector<MdbField> fields;
    bool objects;
    size_t& budget;

    // Cracks the row at `start` of mdb->pg_buf and adds its cells; false when the row is
    // damaged or the snapshot grows too large. `cracked` tells apart a row libmdb cannot
    // crack, which its scan leaves out.
    bool AddRow(int start, size_t size, JetSnapshotTable& out, bool& cracked) {
        MdbHandle* mdb = table->entry->mdb;
        cracked = mdb_crack_row(table, start, size, fields.data()) >= 0;
        if (!cracked) return false;
        std::vector<std::optional<std::string>> row(table->num_cols);
        for (unsigned i = 0; i < table->num_cols; ++i) {
            const MdbField& field = fields[i];
            if (field.colnum < 0 || static_cast<unsigned>(field.colnum) >= table->num_cols) return false;
            std::string value;
            Cell cell = FieldText(mdb, columns[field.colnum], field, objects, value);
            if (cell == Cell::kDamaged) return false;
            size_t cost = sizeof(row[0]) + value.size();
            if (cost > budget) return false;
            budget -= cost;
            if (cell == Cell::kValue) row[field.colnum] = std::move(value);
        }
        out.rows.push_back(std::move(row));
        return true;
    }
};

// The row a pointer names, read from its page and put back in the scan's place; false for
// a pointer that does not lead, in one step, to the moved data of a row of this table: a
// page outside the file or not a data page of the table, a row the page does not have, a
// row that is not moved data (a deleted row, a live row, another pointer: a chain or the
// pointer itself), data that a second pointer already named.
bool AddMovedRow(TableReader& reader, int pointerStart, size_t pointerSize, size_t pages,
                 std::set<uint32_t>& targets, JetSnapshotTable& out) {
    MdbHandle* mdb = reader.table->entry->mdb;
    if (pointerSize < 4) return false;
    const unsigned char* p = mdb->pg_buf + (pointerStart & kOffsetMask);
    uint32_t row = p[0], page = p[1] | p[2] << 8 | static_cast<uint32_t>(p[3]) << 16;
    if (page == 0 || page >= pages || !targets.insert(page << 8 | row).second) return false;
    std::array<unsigned char, MDB_PGSIZE> scanPage;
    std::memcpy(scanPage.data(), mdb->pg_buf, MDB_PGSIZE);
    guint32 scanPageNumber = mdb->cur_pg;
    uint32_t table = static_cast<uint32_t>(reader.table->entry->table_pg);
    int start = 0;
    size_t size = 0;
    bool cracked = false;
    bool ok = mdb_read_pg(mdb, page) == MDB_PGSIZE && mdb->pg_buf[0] == MDB_PAGE_DATA &&
              static_cast<uint32_t>(mdb_get_int32(mdb->pg_buf, 4)) == table &&
              row < static_cast<uint32_t>(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset)) &&
              mdb_find_row(mdb, static_cast<int>(row), &start, &size) == 0 && size > 0 &&
              (start & (kPointer | kMoved)) == kMoved && reader.AddRow(start & kOffsetMask, size, out, cracked);
    std::memcpy(mdb->pg_buf, scanPage.data(), MDB_PGSIZE);
    mdb->cur_pg = scanPageNumber;
    return ok;
}

// False when the table cannot be read (a damaged file) or the snapshot grows too large.
bool ReadTable(MdbCatalogEntry* entry, bool objects, Scan scan, size_t pages, JetSnapshotTable& out, size_t& budget) {
    MdbHandle* mdb = entry->mdb;
    TableDefPtr table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()) || table->num_cols == 0) return false;
    out.name = entry->object_name;
    TableReader reader{table.get(), {}, std::vector<MdbField>(table->num_cols), objects, budget};
    for (unsigned i = 0; i < table->num_cols; ++i) {
        reader.columns.push_back(static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i)));
        out.columns.emplace_back(reader.columns.back()->name);
    }
    // libmdb finds the table's data pages; their rows are cracked and read here.
    mdb_rewind_table(table.get());
    // A usage map of the engine's lists each data page once; a damaged one can send the
    // scan round the same pages without end.
    std::vector<bool> visited;
    std::set<uint32_t> targets;  // moved rows already read through a pointer
    while (mdb_read_next_dpg(table.get())) {
        unsigned long page = table->cur_phys_pg;
        if (page >= visited.size()) visited.resize(page + 1);
        if (visited[page]) return false;
        visited[page] = true;
        int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        for (int r = 0; r < rows; ++r) {
            int start = 0;
            size_t size = 0;
            // A slot libmdb cannot place holds no row for it either.
            if (mdb_find_row(mdb, r, &start, &size) != 0 || size == 0) continue;
            bool pointer = start & kPointer, moved = start & kMoved;
            if (pointer && moved) continue;  // deleted
            if (scan == Scan::kLibmdb && pointer) continue;
            if (scan == Scan::kEngine && moved) continue;  // read through its pointer
            if (scan == Scan::kEngine && pointer) {
                if (!AddMovedRow(reader, start, size, pages, targets, out)) return false;
                continue;
            }
            bool cracked = false;
            if (!reader.AddRow(start & kOffsetMask, size, out, cracked) && cracked) return false;
        }
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

// libmdb's parser of the property blocks that the catalogue read hands each table's
// LvProp to loops for ever on a record of length 0 and reads values at their type's
// width past the block (found by fuzzing). True when every block of a table row is
// one that parser walks to its end within its bytes, as the engine writes them.
bool PropertyBlockIsSafe(const std::string& kkd) {
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(Get16(reinterpret_cast<const unsigned char*>(kkd.data()) + at)); };
    auto u32 = [&](size_t at) { return Get32(reinterpret_cast<const unsigned char*>(kkd.data()) + at); };
    std::optional<size_t> names;  // values before a names record are skipped
    for (size_t pos = 4; pos < kkd.size();) {
        if (kkd.size() - pos < 6) return false;
        uint32_t length = u32(pos), type = u16(pos + 4);
        if (length < 6 || length > kkd.size() - pos) return false;
        size_t begin = pos + 6, end = pos + length;
        if (type == 0x80) {  // the names the values refer to
            names = 0;
            for (size_t at = begin; at < end; ++*names) {
                if (end - at < 2 || u16(at) > end - at - 2) return false;
                at += 2 + u16(at);
            }
        } else if (type <= 0x02 && names) {  // values
            if (end - begin < 6 || u16(begin + 4) > end - begin - 6) return false;
            for (size_t at = begin + 6 + u16(begin + 4); at < end;) {
                if (end - at < 8) return false;
                uint32_t record = u16(at), valueType = static_cast<unsigned char>(kkd[at + 3]);
                uint32_t element = u16(at + 4), valueSize = u16(at + 6);
                if (element >= *names || at + 8 + valueSize > end) break;  // where libmdb stops
                int width = valueType == MDB_BOOL ? 1 : TypeWidth(static_cast<int>(valueType));
                if (record == 0 || valueType == MDB_MONEY || valueSize < static_cast<uint32_t>(width)) return false;
                at += record;
            }
        }
        pos = end;
    }
    return true;
}

bool PropertiesAreSafe(const JetSnapshotTable& objects) {
    size_t type = objects.columns.size(), props = type;
    for (size_t c = 0; c < objects.columns.size(); ++c) {
        if (g_ascii_strcasecmp(objects.columns[c].c_str(), "Type") == 0) type = c;
        if (g_ascii_strcasecmp(objects.columns[c].c_str(), "LvProp") == 0) props = c;
    }
    if (type == objects.columns.size() || props == objects.columns.size()) return true;  // libmdb reads none
    for (const auto& row : objects.rows) {
        if (!row[type] || std::atoi(row[type]->c_str()) != MDB_TABLE || !row[props]) continue;
        const std::string& kkd = *row[props];
        if (kkd.size() >= 4 && (kkd.compare(0, 4, std::string("KKD\0", 4)) == 0 ||
                                kkd.compare(0, 4, std::string("MR2\0", 4)) == 0) &&
            !PropertyBlockIsSafe(kkd))
            return false;
    }
    return true;
}

// The file's pages as libmdb sees them: deciphered (into `plain`) when the header carries
// a database key, else the file itself.
const unsigned char* PlainPages(const unsigned char* file, size_t size, std::vector<unsigned char>& plain) {
    uint32_t key = Jet4DatabaseKey(file);
    if (!key) return file;
    plain.assign(file, file + size);
    for (size_t p = 1; p < size / kPage; ++p) {
        uint32_t k = key ^ static_cast<uint32_t>(p);
        unsigned char pageKey[4] = {static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 8),
                                    static_cast<unsigned char>(k >> 16), static_cast<unsigned char>(k >> 24)};
        JetRc4(pageKey, 4, plain.data() + p * kPage, kPage);
    }
    return plain.data();
}

// `file` is handed to libmdb, which reads it through fmemopen (hence not const).
bool ReadAll(unsigned char* file, size_t size, JetSnapshot& out) {
    if (size < 3 * kPage || size % kPage != 0) return false;
    size_t pages = size / kPage;
    std::vector<unsigned char> deciphered;
    const unsigned char* plain = PlainPages(file, size, deciphered);
    if (!TableDefIsSafe(plain, pages, 2)) return false;

    MdbPtr mdb(mdb_open_buffer(file, size, MDB_NOFLAGS));
    if (!mdb) return false;
    mdb_set_bind_size(mdb.get(), kBindSize);
    // libmdb's catalogue read binds MSysObjects' fields unchecked (an object field that
    // lies outside its row overruns the page: found by fuzzing), so the rows it will bind
    // are read the checked way first.
    MdbCatalogEntry objects{};
    objects.mdb = mdb.get();
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::strcpy(objects.object_name, "MSysObjects");
    JetSnapshotTable catalogue;
    size_t catalogueBudget = kJetSnapshotLimit;
    if (!ReadTable(&objects, true, Scan::kLibmdb, pages, catalogue, catalogueBudget) || !PropertiesAreSafe(catalogue))
        return false;
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
        if (!TableDefIsSafe(plain, pages, entry->table_pg)) return false;
        JetSnapshotTable table;
        if (!ReadTable(entry, false, Scan::kEngine, pages, table, budget)) return false;
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
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<uint64_t>(size) > (1ull << 31)) return false;
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return false;
    return ReadAll(bytes.data(), bytes.size(), out);
}

bool ReadJetSnapshotBuffer(const unsigned char* data, size_t size, JetSnapshot& out) {
    std::vector<unsigned char> copy(data, data + size);
    return ReadAll(copy.data(), copy.size(), out);
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
