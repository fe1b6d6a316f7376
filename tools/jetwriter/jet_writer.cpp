#include "tools/jetwriter/jet_writer.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "common/catalogue_file.h"

namespace orbiq::jet {
namespace {

// Layout facts (Jet 4, as mdbtools' HACKING.md describes them):
// page 0 header; page 1 the global usage map; page 2 the TDEF of MSysObjects; then per
// table a TDEF page, a page with its two usage maps (owned pages, pages with free
// space) and its data pages. No index, no page encryption (database key 0).
constexpr size_t kPageSize = 4096;
constexpr size_t kDataHeader = 14;        // type, 1, free space, tdef page, 0, row count
constexpr size_t kMaxRowsPerPage = 255;   // row numbers are one byte in page/row pointers
constexpr size_t kMapBytes = 64;          // inline (type 0) usage map bitmap
constexpr uint32_t kMagicTableNumber = 1625;
constexpr uint16_t kGeneralSortOrder = 0x0409;
constexpr double kCreationDate = 38353.5;  // 2005-01-01 12:00, days since 1899-12-30

enum ColType : uint8_t {
    kInt = 0x03, kLong = 0x04, kDateTime = 0x08, kBinary = 0x09,
    kText = 0x0A, kOle = 0x0B, kMemo = 0x0C,
};

using Bytes = std::vector<unsigned char>;
using Value = std::optional<Bytes>;

struct ColDef {
    std::u16string name;
    uint8_t type;
    uint16_t length;         // bytes; 0 for memo and OLE
    uint8_t extraFlags = 0;  // added to the fixed-length and may-be-null flags
    bool compressed = false; // text values kept in the engine's compressed form where they can be
};

bool IsFixed(uint8_t type) { return type == kInt || type == kLong || type == kDateTime; }

struct TableImage {
    std::u16string name;
    bool system = false;
    std::vector<ColDef> columns;
    std::vector<Bytes> packedRows;
    std::vector<std::vector<size_t>> pages;  // row indices per data page
    uint32_t tdefPage = 0;
    uint32_t firstDataPage = 0;
};

void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}
void Append16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}

std::u16string Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t n;
        if (c < 0x80) { cp = c; n = 1; }
        else if (c >= 0xF0) { cp = c & 0x07; n = 4; }
        else if (c >= 0xE0) { cp = c & 0x0F; n = 3; }
        else if (c >= 0xC0) { cp = c & 0x1F; n = 2; }
        else { cp = '?'; n = 1; }
        if (i + n > s.size()) { cp = '?'; n = s.size() - i; }
        else for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::u16string ToUtf16(const Text& gbk) { return Utf8ToUtf16(gbk.ToUtf8()); }

Bytes Ucs2Bytes(const std::u16string& s) {
    Bytes b;
    b.reserve(s.size() * 2);
    for (char16_t c : s) Append16(b, c);
    return b;
}

// Jet 4's compressed text: FF FE, then one byte a character while every character lies
// in 1..255, as the engine stores them when the column asks for compression.
Bytes TextBytes(const std::u16string& s, bool compressed) {
    bool fits = compressed && !s.empty();
    for (char16_t c : s) fits = fits && c >= 1 && c <= 0xFF;
    if (!fits) return Ucs2Bytes(s);
    Bytes b = {0xFF, 0xFE};
    for (char16_t c : s) b.push_back(static_cast<unsigned char>(c));
    return b;
}

Bytes Int32Bytes(int32_t v) {
    Bytes b(4);
    Put32(b, 0, static_cast<uint32_t>(v));
    return b;
}
Bytes Int16Bytes(int16_t v) {
    Bytes b(2);
    Put16(b, 0, static_cast<uint16_t>(v));
    return b;
}
Bytes DoubleBytes(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    Bytes b(8);
    for (int i = 0; i < 8; ++i) b[i] = (bits >> (8 * i)) & 0xFF;
    return b;
}

// Jet 4 row: column count, fixed columns, variable columns, end of data, the variable
// columns' offsets last first, their count, and the null mask (bit set = not null).
Bytes PackRow(const std::vector<ColDef>& cols, const std::vector<Value>& row) {
    Bytes b;
    Append16(b, static_cast<uint32_t>(cols.size()));
    std::vector<size_t> varOffsets;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (!IsFixed(cols[i].type)) continue;
        if (row[i]) b.insert(b.end(), row[i]->begin(), row[i]->end());
        else b.insert(b.end(), cols[i].length, 0);
    }
    bool anyVar = false;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (IsFixed(cols[i].type)) continue;
        anyVar = true;
        varOffsets.push_back(b.size());
        if (row[i]) b.insert(b.end(), row[i]->begin(), row[i]->end());
    }
    if (anyVar) {
        Append16(b, static_cast<uint32_t>(b.size()));  // end of data
        for (size_t v = varOffsets.size(); v-- > 0;) Append16(b, static_cast<uint32_t>(varOffsets[v]));
        Append16(b, static_cast<uint32_t>(varOffsets.size()));
    }
    Bytes mask((cols.size() + 7) / 8, 0);
    for (size_t i = 0; i < cols.size(); ++i)
        if (row[i]) mask[i / 8] |= static_cast<unsigned char>(1u << (i % 8));
    b.insert(b.end(), mask.begin(), mask.end());
    return b;
}

// Splits packed rows over data pages in storage order.
std::vector<std::vector<size_t>> PlanPages(const std::vector<Bytes>& rows) {
    std::vector<std::vector<size_t>> pages;
    size_t used = kPageSize;  // forces a first page
    for (size_t i = 0; i < rows.size(); ++i) {
        size_t need = rows[i].size() + 2;
        if (kDataHeader + need > kPageSize) throw std::invalid_argument("jet: row does not fit a page");
        if (pages.empty() || used + need > kPageSize || pages.back().size() >= kMaxRowsPerPage) {
            pages.emplace_back();
            used = kDataHeader;
        }
        pages.back().push_back(i);
        used += need;
    }
    return pages;
}

// A data page (also used for the usage-map pages, with tdef page 0).
Bytes DataPage(uint32_t tdefPage, const std::vector<const Bytes*>& rows) {
    Bytes page(kPageSize, 0);
    page[0] = 0x01;
    page[1] = 0x01;
    Put32(page, 4, tdefPage);
    Put16(page, 12, static_cast<uint32_t>(rows.size()));
    size_t pos = kPageSize;
    for (size_t i = 0; i < rows.size(); ++i) {
        pos -= rows[i]->size();
        std::memcpy(&page[pos], rows[i]->data(), rows[i]->size());
        Put16(page, kDataHeader + 2 * i, static_cast<uint32_t>(pos));
    }
    Put16(page, 2, static_cast<uint32_t>(pos - (kDataHeader + 2 * rows.size())));
    return page;
}

// Type 0 usage map: map type, first page, one bit per page from there.
Bytes UsageMap(uint32_t firstPage, size_t pageCount) {
    Bytes map(5 + kMapBytes, 0);
    Put32(map, 1, firstPage);
    for (size_t i = 0; i < pageCount; ++i) map[5 + i / 8] |= static_cast<unsigned char>(1u << (i % 8));
    return map;
}

Bytes TdefPage(const TableImage& t, uint32_t mapPage) {
    Bytes page(kPageSize, 0);
    page[0] = 0x02;
    page[1] = 0x01;
    uint16_t varCount = 0;
    for (const ColDef& c : t.columns) if (!IsFixed(c.type)) ++varCount;
    Put32(page, 12, kMagicTableNumber);
    Put32(page, 16, static_cast<uint32_t>(t.packedRows.size()));
    page[24] = 0x01;
    page[40] = t.system ? 0x53 : 0x4E;
    Put16(page, 41, static_cast<uint32_t>(t.columns.size()));
    Put16(page, 43, varCount);
    Put16(page, 45, static_cast<uint32_t>(t.columns.size()));
    Put32(page, 55, (mapPage << 8) | 0);  // owned pages: row 0 of the map page
    Put32(page, 59, (mapPage << 8) | 1);  // pages with free space: row 1
    size_t pos = 63;
    uint16_t varIndex = 0, fixedOffset = 0;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const ColDef& c = t.columns[i];
        bool fixed = IsFixed(c.type);
        page[pos] = c.type;
        Put32(page, pos + 1, kMagicTableNumber);
        Put16(page, pos + 5, static_cast<uint32_t>(i));
        Put16(page, pos + 7, fixed ? 0 : varIndex);
        Put16(page, pos + 9, static_cast<uint32_t>(i));
        Put16(page, pos + 11, kGeneralSortOrder);  // the engine sets it on every column
        page[pos + 15] = (fixed ? 0x03 : 0x02) | c.extraFlags;  // fixed length, may be null
        page[pos + 16] = c.compressed ? 0x01 : 0x00;
        Put16(page, pos + 21, fixed ? fixedOffset : 0);
        Put16(page, pos + 23, c.length);
        if (fixed) fixedOffset += c.length; else ++varIndex;
        pos += 25;
    }
    for (const ColDef& c : t.columns) {
        Bytes name = Ucs2Bytes(c.name);
        if (pos + 2 + name.size() + 2 > kPageSize) throw std::invalid_argument("jet: table definition too large");
        Put16(page, pos, static_cast<uint32_t>(name.size()));
        std::memcpy(&page[pos + 2], name.data(), name.size());
        pos += 2 + name.size();
    }
    Put16(page, pos, 0xFFFF);
    pos += 2;
    Put32(page, 8, static_cast<uint32_t>(pos));
    Put16(page, 2, static_cast<uint32_t>(kPageSize - pos - 8));
    return page;
}

void Rc4(const unsigned char* key, size_t keyLen, unsigned char* data, size_t len) {
    std::array<unsigned char, 256> s;
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLen]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < len; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

// Page 0: signature, version, and the RC4-enciphered block from 0x18 (128 bytes) that
// holds the code page, the database key, the password masked with the creation date,
// the sort order and the creation date itself.
Bytes HeaderPage(const std::u16string& password, uint32_t databaseKey) {
    Bytes page(kPageSize, 0);
    page[1] = 0x01;
    std::memcpy(&page[4], "Standard Jet DB", 15);
    page[0x14] = 0x01;  // Jet 4
    // Fields of the enciphered block that Access 2000 and 2003 write alike.
    page[0x19] = 0x01;
    page[0x1C] = 0x01;
    page[0x1D] = 0x01;
    for (uint32_t i = 0; i < 4; ++i) Put32(page, 0x20 + 4 * i, 2 + i);
    Put16(page, 0x6A, 0x11A6);
    Put32(page, 0x9C, 0x0654);
    std::memcpy(&page[0xA0], "4.0", 3);
    Put16(page, 0x3C, 936);
    Put32(page, 0x3E, databaseKey);  // when not 0, pages after this one are enciphered
    Bytes date = DoubleBytes(kCreationDate);
    std::memcpy(&page[0x72], date.data(), date.size());
    uint32_t dayNumber = static_cast<uint32_t>(static_cast<int32_t>(kCreationDate));
    for (size_t i = 0; i < 40; ++i) {
        unsigned char b = 0;
        if (i / 2 < password.size()) b = (password[i / 2] >> (8 * (i % 2))) & 0xFF;
        page[0x42 + i] = b ^ ((dayNumber >> (8 * (i % 4))) & 0xFF);
    }
    Put32(page, 0x6E, kGeneralSortOrder);
    static const unsigned char kKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
    Rc4(kKey, sizeof kKey, &page[0x18], 128);
    return page;
}

// Jet names: 1 to 64 characters, no leading blank, none of . ! ` [ ] and no control characters.
void CheckName(const std::u16string& name, const char* what) {
    bool bad = name.empty() || name.size() > 64 || name[0] == u' ';
    for (char16_t c : name) bad = bad || c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']';
    if (bad) throw std::invalid_argument(std::string("jet: bad ") + what + " name");
}

TableImage UserTable(const Table& t) {
    TableImage img;
    img.name = ToUtf16(t.name);
    CheckName(img.name, "table");
    if (t.columns.empty()) throw std::invalid_argument("jet: a table needs a column");
    std::vector<int> limits;
    for (const Column& c : t.columns) {
        if (c.maxChars < 1 || c.maxChars > 255) throw std::invalid_argument("jet: text size must be 1 to 255");
        ColDef d{ToUtf16(c.name), kText, static_cast<uint16_t>(c.maxChars * 2), 0, true};
        CheckName(d.name, "column");
        img.columns.push_back(std::move(d));
        limits.push_back(c.maxChars);
    }
    for (const auto& row : t.rows) {
        if (row.size() != t.columns.size()) throw std::invalid_argument("jet: row width differs from the table's");
        std::vector<Value> values;
        for (size_t i = 0; i < row.size(); ++i) {
            if (!row[i]) { values.emplace_back(); continue; }
            std::u16string s = ToUtf16(*row[i]);
            if (s.size() > static_cast<size_t>(limits[i])) throw std::invalid_argument("jet: value longer than its column");
            values.emplace_back(TextBytes(s, true));
        }
        img.packedRows.push_back(PackRow(img.columns, values));
    }
    img.pages = PlanPages(img.packedRows);
    return img;
}

// MSysObjects with the columns Access gives it; mdbtools reads Id, Name, Type, Flags and
// LvProp. Each entry: name, type, id, parent id, flags.
struct CatalogEntry {
    std::u16string name;
    int16_t type;
    int32_t id, parentId;
    uint32_t flags;
};

// MSysObjects as the engine defines it: its columns in the engine's order, with the
// flag (0x10) the engine gives the columns of its system tables.
std::vector<ColDef> SysObjectColumns() {
    auto c = [](const char* name, uint8_t type, uint16_t length, uint8_t flags = 0x10) {
        return ColDef{Utf8ToUtf16(name), type, length, flags, false};
    };
    return {
        c("Id", kLong, 4),          c("ParentId", kLong, 4),         c("Name", kText, 510),
        c("Type", kInt, 2),         c("DateCreate", kDateTime, 8),   c("DateUpdate", kDateTime, 8),
        c("Owner", kBinary, 510, 0x30), c("Flags", kLong, 4),        c("Database", kMemo, 0),
        c("Connect", kMemo, 0),     c("ForeignName", kText, 510),    c("RmtInfoShort", kBinary, 510),
        c("RmtInfoLong", kOle, 0),  c("Lv", kOle, 0),                c("LvProp", kOle, 0),
        c("LvModule", kOle, 0),     c("LvExtra", kOle, 0),
    };
}

Bytes SysObjectRow(const std::vector<ColDef>& cols, const CatalogEntry& e) {
    std::vector<Value> v(cols.size());
    v[0] = Int32Bytes(e.id);
    v[1] = Int32Bytes(e.parentId);
    v[2] = Ucs2Bytes(e.name);
    v[3] = Int16Bytes(e.type);
    v[4] = DoubleBytes(kCreationDate);
    v[5] = DoubleBytes(kCreationDate);
    v[7] = Int32Bytes(static_cast<int32_t>(e.flags));
    return PackRow(cols, v);
}

}  // namespace

ByteSet WriteJet4(const std::vector<Table>& tables, const Text& password, uint32_t databaseKey) {
    std::u16string pwd = ToUtf16(password);
    if (pwd.size() > 20) throw std::invalid_argument("jet: password longer than 20 characters");

    std::vector<TableImage> images;
    TableImage sys;
    sys.name = Utf8ToUtf16("MSysObjects");
    sys.system = true;
    sys.columns = SysObjectColumns();
    images.push_back(std::move(sys));
    for (const Table& t : tables) images.push_back(UserTable(t));

    // Ids and parents of the engine's own entries, as Access writes them.
    constexpr int32_t kRoot = 0x0F000000, kTables = 0x0F000001, kDatabases = 0x0F000002,
                      kRelationships = 0x0F000003, kMSysDb = 0x10000000;
    constexpr uint32_t kSystemFlags = 0x80000000u;
    auto catalog = [&](bool withPages) {
        std::vector<CatalogEntry> entries = {
            {Utf8ToUtf16("Tables"), 3, kTables, kRoot, kSystemFlags},
            {Utf8ToUtf16("Databases"), 3, kDatabases, kRoot, kSystemFlags},
            {Utf8ToUtf16("Relationships"), 3, kRelationships, kRoot, kSystemFlags},
            {Utf8ToUtf16("MSysDb"), 2, kMSysDb, kDatabases, kSystemFlags},
            {Utf8ToUtf16("MSysObjects"), 1, 2, kTables, kSystemFlags},
        };
        for (size_t i = 1; i < images.size(); ++i)
            entries.push_back({images[i].name, 1, withPages ? static_cast<int32_t>(images[i].tdefPage) : 0, kTables, 0});
        std::vector<Bytes> rows;
        for (const CatalogEntry& e : entries) rows.push_back(SysObjectRow(images[0].columns, e));
        return rows;
    };
    // Row sizes do not depend on the page numbers, so plan with placeholders first.
    images[0].packedRows = catalog(false);
    images[0].pages = PlanPages(images[0].packedRows);

    uint32_t next = 2;
    for (TableImage& img : images) {
        img.tdefPage = next;
        img.firstDataPage = next + 2;
        next += 2 + static_cast<uint32_t>(img.pages.size());
        if (img.pages.size() > kMapBytes * 8) throw std::invalid_argument("jet: table too large");
    }
    images[0].packedRows = catalog(true);

    ByteSet file;
    file.reserve(next * kPageSize);
    auto append = [&](const Bytes& page) { file.insert(file.end(), page.begin(), page.end()); };
    append(HeaderPage(pwd, databaseKey));
    Bytes noFreePages = UsageMap(0, 0);
    append(DataPage(0, {&noFreePages}));
    for (const TableImage& img : images) {
        append(TdefPage(img, img.tdefPage + 1));
        Bytes owned = UsageMap(img.pages.empty() ? 0 : img.firstDataPage, img.pages.size());
        Bytes free = owned;
        append(DataPage(0, {&owned, &free}));
        for (const auto& pageRows : img.pages) {
            std::vector<const Bytes*> rows;
            for (size_t r : pageRows) rows.push_back(&img.packedRows[r]);
            append(DataPage(img.tdefPage, rows));
        }
    }
    if (databaseKey) {
        for (size_t p = 1; p < file.size() / kPageSize; ++p) {
            uint32_t k = databaseKey ^ static_cast<uint32_t>(p);
            unsigned char key[4] = {static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 8),
                                    static_cast<unsigned char>(k >> 16), static_cast<unsigned char>(k >> 24)};
            Rc4(key, sizeof key, &file[p * kPageSize], kPageSize);
        }
    }
    return file;
}

ByteSet WriteCatalogue(const std::vector<std::optional<Text>>& categories,
                       const std::vector<ChannelSpec>& channels, const Text& password) {
    using namespace catalogue;
    Table kinds{TXT(kCategoryTable), {}, {}};
    kinds.columns.resize(kCategoryColumns);
    kinds.columns[kCategoryField - 1] = {TXT(kCategoryColumn), kCategoryMaxChars};
    for (const auto& c : categories) {
        std::vector<std::optional<Text>>& row = kinds.rows.emplace_back(kCategoryColumns);
        row[kCategoryField - 1] = c;
    }
    Table list{TXT(kChannelTable), {}, {}};
    list.columns.resize(kChannelColumns);
    list.columns[kChannelCategoryField - 1] = {TXT(kChannelCategoryColumn), kChannelMaxChars};
    list.columns[kChannelNameField - 1] = {TXT(kChannelNameColumn), kChannelMaxChars};
    list.columns[kChannelAddressField - 1] = {TXT(kChannelAddressColumn), kChannelMaxChars};
    list.columns[kChannelIntroductionField - 1] = {TXT(kChannelIntroductionColumn), kChannelMaxChars};
    for (const ChannelSpec& c : channels) {
        std::vector<std::optional<Text>>& row = list.rows.emplace_back(kChannelColumns);
        row[kChannelCategoryField - 1] = c.category;
        row[kChannelNameField - 1] = c.name;
        row[kChannelAddressField - 1] = c.address;
        row[kChannelIntroductionField - 1] = c.introduction;
    }
    return WriteJet4({kinds, list}, password);
}

}  // namespace orbiq::jet
