// Byte-wise edits of Jet 4 files in the engine's own layouts, for fixtures made from engine
// files or from our writer: rows moved to another page behind a pointer, pages added to a
// table, rows rebuilt with other values, long values kept on their own pages.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/text.h"

namespace orbiq::test::jet_edit {

constexpr size_t kPage = 4096;
constexpr uint32_t kOffsetMask = 0x1FFF;
constexpr uint32_t kPointerFlag = 0x4000;  // the slot holds a pointer to the row's data elsewhere
constexpr uint32_t kMovedFlag = 0x8000;    // the data of a moved row; 0xC000: a deleted row

inline uint32_t Get16(const ByteSet& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
inline uint32_t Get32(const ByteSet& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
inline void Put16(ByteSet& b, size_t at, uint32_t v) {
    b.at(at) = v & 0xFF;
    b.at(at + 1) = (v >> 8) & 0xFF;
}
inline void Put32(ByteSet& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

struct Slot {
    size_t page = 0, row = 0;
};

inline size_t Pages(const ByteSet& file) { return file.size() / kPage; }
inline size_t SlotAt(const Slot& s) { return s.page * kPage + 14 + 2 * s.row; }
inline size_t RowsOn(const ByteSet& file, size_t page) { return Get16(file, page * kPage + 12); }

// Where a row's bytes lie: from its offset to the offset of the row before it.
inline std::pair<size_t, size_t> RowSpan(const ByteSet& file, const Slot& s) {
    size_t start = Get16(file, SlotAt(s)) & kOffsetMask;
    size_t end = s.row == 0 ? kPage : Get16(file, SlotAt({s.page, s.row - 1})) & kOffsetMask;
    return {s.page * kPage + start, s.page * kPage + end};
}
inline ByteSet RowBytes(const ByteSet& file, const Slot& s) {
    auto [start, end] = RowSpan(file, s);
    return ByteSet(file.begin() + start, file.begin() + end);
}

inline uint32_t TableOf(const ByteSet& file, size_t page) { return Get32(file, page * kPage + 4); }

// The live row of a data page whose bytes hold `needle`.
inline std::optional<Slot> FindRow(const ByteSet& file, std::string_view needle) {
    for (size_t p = 1; p < Pages(file); ++p) {
        if (file[p * kPage] != 0x01) continue;
        for (size_t r = 0; r < RowsOn(file, p); ++r) {
            if (Get16(file, SlotAt({p, r})) & 0xC000) continue;
            ByteSet row = RowBytes(file, {p, r});
            if (std::string_view(reinterpret_cast<const char*>(row.data()), row.size()).find(needle) != std::string_view::npos)
                return Slot{p, r};
        }
    }
    return std::nullopt;
}

// Sets the bit of `page` in the table's map of owned pages (an inline map, as small
// tables have).
inline void AddToOwnedPages(ByteSet& file, uint32_t tdef, size_t page) {
    uint32_t pointer = Get32(file, tdef * kPage + 55);
    auto [start, end] = RowSpan(file, {pointer >> 8, pointer & 0xFF});
    if (file[start] != 0) throw std::runtime_error("not an inline usage map");
    size_t bit = page - Get32(file, start + 1);
    if (page < Get32(file, start + 1) || start + 5 + bit / 8 >= end) throw std::runtime_error("page outside the map");
    file[start + 5 + bit / 8] |= static_cast<unsigned char>(1u << (bit % 8));
}

// A new empty data page of table `tdef` at the end of the file, listed among its pages.
inline size_t AppendDataPage(ByteSet& file, uint32_t tdef) {
    size_t page = Pages(file);
    file.resize(file.size() + kPage, 0);
    size_t at = page * kPage;
    file[at] = 0x01;
    file[at + 1] = 0x01;
    Put16(file, at + 2, kPage - 14);  // free space
    Put32(file, at + 4, tdef);
    AddToOwnedPages(file, tdef, page);
    return page;
}

// A new page of long values (memo and object data) at the end of the file.
inline size_t AppendLongValuePage(ByteSet& file) {
    size_t page = Pages(file);
    file.resize(file.size() + kPage, 0);
    size_t at = page * kPage;
    file[at] = 0x01;
    file[at + 1] = 0x01;
    Put16(file, at + 2, kPage - 14);
    std::copy_n("LVAL", 4, file.begin() + at + 4);
    return page;
}

// The 12 bytes a row holds for a memo or object kept elsewhere: its length with the
// layout's flags (0x40: one row; 0: a chain of rows, each naming the next), the first row.
inline ByteSet LongValueField(uint32_t lengthAndFlags, const Slot& first) {
    ByteSet field(12, 0);
    Put32(field, 0, lengthAndFlags);
    Put32(field, 4, static_cast<uint32_t>(first.page << 8 | first.row));
    return field;
}

// Adds a row below the page's last one, its slot carrying `flags`, as the engine fills a page.
inline Slot AddRow(ByteSet& file, size_t page, const ByteSet& row, uint32_t flags) {
    size_t rows = RowsOn(file, page), at = page * kPage;
    size_t top = rows == 0 ? kPage : Get16(file, SlotAt({page, rows - 1})) & kOffsetMask;
    if (row.size() + 2 > Get16(file, at + 2) || top < row.size() + 16 + 2 * rows)
        throw std::runtime_error("no room on the page");
    size_t start = top - row.size();
    std::copy(row.begin(), row.end(), file.begin() + at + start);
    Put16(file, SlotAt({page, rows}), static_cast<uint32_t>(start) | flags);
    Put16(file, at + 12, static_cast<uint32_t>(rows + 1));
    Put16(file, at + 2, Get16(file, at + 2) - static_cast<uint32_t>(row.size() + 2));
    return {page, rows};
}

// Gives the last row of a page new bytes, ending where it ended.
inline void ReplaceLastRow(ByteSet& file, const Slot& s, const ByteSet& row) {
    if (s.row + 1 != RowsOn(file, s.page)) throw std::runtime_error("not the page's last row");
    auto [start, end] = RowSpan(file, s);
    size_t newStart = end - row.size(), at = s.page * kPage;
    if (newStart < at + 16 + 2 * s.row) throw std::runtime_error("no room on the page");
    std::copy(row.begin(), row.end(), file.begin() + newStart);
    Put16(file, SlotAt(s), static_cast<uint32_t>(newStart - at) | (Get16(file, SlotAt(s)) & ~kOffsetMask));
    Put16(file, at + 2, static_cast<uint32_t>(Get16(file, at + 2) + (end - start) - row.size()));
}

// Turns the row in `header` into the engine's pointer to `target`: the row number, then the
// page in three bytes, the rest of the old row cleared, and the pointer flag on its slot.
inline void PointTo(ByteSet& file, const Slot& header, const Slot& target) {
    auto [start, end] = RowSpan(file, header);
    if (end - start < 4) throw std::runtime_error("row too short for a pointer");
    std::fill(file.begin() + start, file.begin() + end, 0);
    file[start] = static_cast<unsigned char>(target.row);
    file[start + 1] = target.page & 0xFF;
    file[start + 2] = (target.page >> 8) & 0xFF;
    file[start + 3] = (target.page >> 16) & 0xFF;
    Put16(file, SlotAt(header), Get16(file, SlotAt(header)) | kPointerFlag);
}

// What the engine does when an edit makes a row too long for its page: the new row goes to
// `page` with the moved flag, and the old slot points to it.
inline Slot MoveRow(ByteSet& file, const Slot& header, size_t page, const ByteSet& newRow) {
    Slot target = AddRow(file, page, newRow, kMovedFlag);
    PointTo(file, header, target);
    return target;
}

// A Jet 4 row: the column count, fixed columns, variable data, the end offset, the
// variable columns' offsets backwards, their count, the null mask (a set bit: not null).
inline ByteSet Jet4Row(size_t columns, const ByteSet& fixed, const std::vector<ByteSet>& values, const ByteSet& mask) {
    ByteSet out{static_cast<unsigned char>(columns & 0xFF), static_cast<unsigned char>(columns >> 8)};
    out.insert(out.end(), fixed.begin(), fixed.end());
    std::vector<uint32_t> offsets;
    for (const ByteSet& v : values) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        out.insert(out.end(), v.begin(), v.end());
    }
    offsets.push_back(static_cast<uint32_t>(out.size()));
    for (size_t i = offsets.size(); i-- > 0;) {
        out.push_back(offsets[i] & 0xFF);
        out.push_back(offsets[i] >> 8);
    }
    out.push_back(values.size() & 0xFF);
    out.push_back(values.size() >> 8);
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

// The parts of a Jet 4 row, as Jet4Row takes them.
struct Jet4RowParts {
    size_t columns;
    ByteSet fixed;
    std::vector<ByteSet> values;
    ByteSet mask;
};
inline Jet4RowParts SplitJet4Row(const ByteSet& row) {
    size_t columns = Get16(row, 0), mask = (columns + 7) / 8, end = row.size();
    size_t varCount = Get16(row, end - mask - 2);
    auto offsetAt = [&](size_t i) { return end - mask - 2 - 2 * (i + 1); };  // i == varCount: the end offset
    Jet4RowParts parts{columns, ByteSet(row.begin() + 2, row.begin() + Get16(row, offsetAt(0))), {},
                       ByteSet(row.end() - mask, row.end())};
    for (size_t i = 0; i < varCount; ++i)
        parts.values.emplace_back(row.begin() + Get16(row, offsetAt(i)), row.begin() + Get16(row, offsetAt(i + 1)));
    return parts;
}

// A Jet 4 row with its variable-length column `index` (0-based among them) replaced.
inline ByteSet WithVarColumn(const ByteSet& row, size_t index, const ByteSet& value) {
    Jet4RowParts parts = SplitJet4Row(row);
    parts.values.at(index) = value;
    return Jet4Row(parts.columns, parts.fixed, parts.values, parts.mask);
}

// A text value as the engine stores it: in a column that asks for compression and when
// every character fits a byte, FF FE and a byte a character; else UCS-2.
inline ByteSet TextValue(const std::string& utf8, bool compressible) {
    bool narrow = compressible;
    for (unsigned char c : utf8) narrow = narrow && c < 0x80;
    ByteSet out;
    if (narrow) {
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (char c : utf8) out.push_back(static_cast<unsigned char>(c));
        return out;
    }
    for (size_t i = 0; i < utf8.size();) {  // characters of the basic plane
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;
        uint32_t u = length == 1 ? c : length == 2 ? c & 0x1F : c & 0x0F;
        for (size_t k = 1; k < length; ++k) u = u << 6 | (static_cast<unsigned char>(utf8.at(i + k)) & 0x3F);
        out.push_back(u & 0xFF);
        out.push_back(u >> 8);
        i += length;
    }
    return out;
}

}  // namespace orbiq::test::jet_edit
