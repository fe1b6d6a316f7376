// Layouts the engine writes that the sample files do not show, made by editing their bytes
// (or our writer's): rows moved to another page because an edit made them too long for
// their own, read through their pointers as the engine returns them, beside mdb-export
// (damaged pointers refuse the file); memos on long-value pages; a reference page map;
// rows written before a column was added.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "common/catalogue_file.h"
#include "platform/jet/jet_database.h"
#include "platform/jet/jet_snapshot.h"
#include "tests/jet/jet_moved_rows.h"
#include "tests/jet/jet_test_util.h"
#include "tests/jet/mdb_export.h"

namespace orbiq {
namespace {

using platform::JetDatabase;
using Rows = std::vector<std::vector<std::string>>;
namespace edit = test::jet_edit;

const std::string kSamples = ORBIQ_JET_SAMPLES;
const Text kPassword(catalogue::kPassword);

ByteSet ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteSet((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Column(platform::JetRecordSet rs, int column) {
    std::vector<std::string> values;
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) values.push_back(rs.Field(column).ToUtf8());
    return values;
}

// The channel tree as the catalogue's fill builds it.
std::string Tree(JetDatabase& db) {
    std::string tree;
    for (const std::string& root : Column(db.Query(TXT(catalogue::kSelectCategories.data())), catalogue::kCategoryField)) {
        tree += root + ":";
        const Text channels = TXT(catalogue::kSelectChannelsOfCategory.data()) + Text("'") + Text::FromUtf8(root) + Text("'");
        for (const std::string& child : Column(db.Query(channels), catalogue::kChannelNameField))
            tree += " " + child;
        tree += "; ";
    }
    return tree;
}

// A catalogue (from our writer) whose last two channels an edit made longer and the
// engine moved to two new pages: every table reads whole, as mdb-export reads it.
TEST(MovedRows, CatalogueReadsWholeAsMdbExportReadsIt) {
    test::MovedRows moved = test::CatalogueWithMovedRows();
    ASSERT_EQ(moved.data.size(), 2u);
    EXPECT_NE(moved.data[0].page, moved.pointers[0].page);
    EXPECT_NE(moved.data[1].page, moved.data[0].page);
    test::ScratchDir dir;
    std::string file = dir.Write("iead.dll", moved.file);

    JetDatabase db;
    ASSERT_TRUE(db.Open(file, kPassword));
    const Rows channels = {
        {"直播频道", "CCTV-4", "mms://live.example.cn/cctv4", "中文国际"},
        {"广播电台", "中国之声", "mms://radio.example.cn/zgzs", ""},
        {"直播频道", "CCTV-9", "mmst://live.example.cn:1755/channels/cctv9-english-hq.asf", "英语"},
        {"广播电台", "经济之声 (FM 96.6, 全天)", "mms://radio.example.cn/jjzs", "广播"},
    };
    EXPECT_EQ(test::LayerRows(db, "电视列表", 4), channels);
    EXPECT_EQ(test::MdbExport(file, "电视列表").rows, channels);
    EXPECT_EQ(test::LayerRows(db, "电视分类", 1), (Rows{{"直播频道"}, {"广播电台"}}));
    EXPECT_EQ(test::MdbExport(file, "电视分类").rows, (Rows{{"直播频道"}, {"广播电台"}}));
    EXPECT_EQ(Tree(db), "直播频道: CCTV-4 CCTV-9; 广播电台: 中国之声 经济之声 (FM 96.6, 全天); ");
    auto rs = db.Query(TXT("select * from 电视列表 where 列表='CCTV-9'"));
    ASSERT_FALSE(rs.AtEnd());
    EXPECT_EQ(rs.Field(3).ToUtf8(), "mmst://live.example.cn:1755/channels/cctv9-english-hq.asf");
    EXPECT_EQ(rs.Field(4).ToUtf8(), "英语");
}

class EngineSample : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(kSamples))
            GTEST_SKIP() << "engine-made Jet samples not found at " << kSamples;
        sample_ = ReadBytes(kSamples + "/V2000_no-password.mdb");
        ASSERT_FALSE(sample_.empty());
    }
    ByteSet sample_;
    test::ScratchDir dir_;
};

// The engine's own file (Table1: ID, Data) with rows Two and Three renamed at length and
// moved to two new pages of the table.
TEST_F(EngineSample, MovedRowsReadAsMdbExportReadsThem) {
    std::string file = dir_.Write("moved.mdb", test::EngineFileWithMovedRows(sample_).file);
    const Rows rows = {{"1", "One"},
                       {"2", "Two, renamed at such length that it left its page"},
                       {"3", "Three 三, renamed too"}};
    EXPECT_EQ(test::MdbExport(file, "Table1").rows, rows);
    JetDatabase db;
    ASSERT_TRUE(db.Open(file, Text()));
    EXPECT_EQ(test::LayerRows(db, "Table1", 2), rows);
    platform::JetSnapshot snapshot;
    ASSERT_TRUE(platform::ReadJetSnapshotFile(file, snapshot));
    ASSERT_EQ(snapshot.size(), 1u);
    EXPECT_EQ(snapshot[0].columns, (std::vector<std::string>{"ID", "Data"}));
}

// Other layouts the engine leaves when it moves rows. The layer returns a moved row in
// its slot's place and never reads moved data where it lies; mdb-export (libmdb 1.0)
// reads no pointer and takes every row flagged as moved data as a live row where it lies,
// so its order differs, and rows the engine no longer returns come back.
TEST_F(EngineSample, MovedRowLayouts) {
    const std::string one = "One, renamed at such length that it left its page";
    struct Case {
        const char* name;
        std::function<void(test::MovedRows&)> edit;
        Rows layer, mdbExport;
    };
    const Case cases[] = {
        {"the first row moved to a new page",
         [&](test::MovedRows& m) { m.Move("\xFF\xFEOne", 0, one, true); },
         {{"1", one}, {"2", "Two"}, {"3", "Three"}},
         {{"2", "Two"}, {"3", "Three"}, {"1", one}}},
        {"a row moved within its own page",
         [&](test::MovedRows& m) { m.Move("\xFF\xFEOne", 0, one, true, edit::FindRow(m.file, "\xFF\xFEOne")->page); },
         {{"1", one}, {"2", "Two"}, {"3", "Three"}},
         {{"2", "Two"}, {"3", "Three"}, {"1", one}}},
        {"two rows moved to one new page",
         [&](test::MovedRows& m) {
             m.Move("\xFF\xFEOne", 0, one, true);
             m.Move("\xFF\xFETwo", 0, "Two, longer", true, m.data[0].page);
         },
         {{"1", one}, {"2", "Two, longer"}, {"3", "Three"}},
         {{"3", "Three"}, {"1", one}, {"2", "Two, longer"}}},
        {"a moved row moved again: its first data stays behind, flagged",
         [&](test::MovedRows& m) {
             m.Move("\xFF\xFEOne", 0, "One, longer", true);
             size_t page = edit::AppendDataPage(m.file, edit::TableOf(m.file, m.data[0].page));
             ByteSet again = edit::WithVarColumn(edit::RowBytes(m.file, m.data[0]), 0, edit::TextValue(one, true));
             edit::PointTo(m.file, m.pointers[0], edit::AddRow(m.file, page, again, edit::kMovedFlag));
         },
         {{"1", one}, {"2", "Two"}, {"3", "Three"}},
         {{"2", "Two"}, {"3", "Three"}, {"1", "One, longer"}, {"1", one}}},
        {"a moved row deleted: its slot gets the deleted flags, its data stays",
         [&](test::MovedRows& m) {
             m.Move("\xFF\xFEOne", 0, one, true);
             size_t at = edit::SlotAt(m.pointers[0]);
             edit::Put16(m.file, at, edit::Get16(m.file, at) | 0xC000);
         },
         {{"2", "Two"}, {"3", "Three"}},
         {{"2", "Two"}, {"3", "Three"}, {"1", one}}},
    };
    for (const Case& c : cases) {
        test::MovedRows moved{sample_, {}, {}};
        c.edit(moved);
        std::string file = dir_.Write("layout.mdb", moved.file);
        JetDatabase db;
        ASSERT_TRUE(db.Open(file, Text())) << c.name;
        EXPECT_EQ(test::LayerRows(db, "Table1", 2), c.layer) << c.name;
        EXPECT_EQ(test::MdbExport(file, "Table1").rows, c.mdbExport) << c.name;
    }
}

// A memo too long for its row, as the engine keeps it on long-value pages: in one row
// there, or in a chain of rows, each starting with a pointer to the next. Both read as
// mdb-export reads them; a chain that comes back on itself refuses the file (libmdb
// would follow a circle of rows without text for ever).
TEST_F(EngineSample, MemosOnLongValuePages) {
    const ByteSet file = ReadBytes(kSamples + "/V2003_numeric.mdb");  // test: col1 a memo, in its row
    auto row = edit::FindRow(file, "\xFF\xFEsome data");
    ASSERT_TRUE(row);
    std::string text;
    for (int i = 0; text.size() < 900; ++i) text += "line " + std::to_string(i) + " of a memo kept elsewhere; ";
    const ByteSet value = edit::TextValue(text, true);
    const uint32_t length = static_cast<uint32_t>(value.size());
    auto chainRow = [](const edit::Slot& next, const ByteSet& part) {
        ByteSet r(4, 0);
        edit::Put32(r, 0, static_cast<uint32_t>(next.page << 8 | next.row));
        r.insert(r.end(), part.begin(), part.end());
        return r;
    };
    // The memo's 12 bytes in the row name the first row on a new long-value page, which
    // `fill` writes (rows fill a page from its end: slot 0 first).
    auto withMemo = [&](uint32_t lengthAndFlags, const std::function<void(ByteSet&, size_t)>& fill) {
        ByteSet f = file;
        size_t page = edit::AppendLongValuePage(f);
        fill(f, page);
        ByteSet field = edit::LongValueField(lengthAndFlags, {page, 0});
        edit::ReplaceLastRow(f, *row, edit::WithVarColumn(edit::RowBytes(f, *row), 0, field));
        return f;
    };
    ByteSet one = withMemo(length | 0x40000000u, [&](ByteSet& f, size_t p) { edit::AddRow(f, p, value, 0); });
    ByteSet chain = withMemo(length, [&](ByteSet& f, size_t p) {
        edit::AddRow(f, p, chainRow({p, 1}, ByteSet(value.begin(), value.begin() + 500)), 0);
        edit::AddRow(f, p, chainRow({0, 0}, ByteSet(value.begin() + 500, value.end())), 0);
    });
    ByteSet circle = withMemo(length, [&](ByteSet& f, size_t p) {
        edit::AddRow(f, p, chainRow({p, 1}, {}), 0);
        edit::AddRow(f, p, chainRow({p, 0}, {}), 0);
    });

    for (const ByteSet* bytes : {&one, &chain}) {
        std::string path = dir_.Write("memo.mdb", *bytes);
        test::Export exported = test::MdbExport(path, "test");
        ASSERT_EQ(exported.rows.size(), 1u);
        EXPECT_EQ(exported.rows[0][0], text);
        JetDatabase db;
        ASSERT_TRUE(db.Open(path, Text()));
        EXPECT_EQ(test::LayerRows(db, "test", 7), exported.rows);
    }
    std::string path = dir_.Write("circle.mdb", circle);
    JetDatabase db;
    EXPECT_FALSE(db.Open(path, Text()));
    platform::JetSnapshot snapshot;
    EXPECT_FALSE(platform::ReadJetSnapshotFile(path, snapshot));
}

// A table whose owned pages are listed in a reference map (type 1, as the engine writes
// for tables spread wider than an inline map reaches): the map names pages of bitmaps,
// each bit a page counted from 0. The moved rows' pages are found through it too.
TEST_F(EngineSample, PagesListedInAReferenceMap) {
    test::MovedRows moved = test::EngineFileWithMovedRows(sample_);
    ByteSet& file = moved.file;
    uint32_t table = edit::TableOf(file, moved.data[0].page);
    uint32_t pointer = edit::Get32(file, table * edit::kPage + 55);
    auto [start, end] = edit::RowSpan(file, {pointer >> 8, pointer & 0xFF});
    ASSERT_EQ(file[start], 0);  // inline: type, first page, bits
    size_t first = edit::Get32(file, start + 1);
    size_t bitmap = edit::Pages(file);
    file.resize(file.size() + edit::kPage, 0);
    file[bitmap * edit::kPage] = 0x05;
    for (size_t bit = 0; bit < (end - start - 5) * 8; ++bit)
        if (file[start + 5 + bit / 8] & (1u << (bit % 8))) {
            size_t page = first + bit;
            file[bitmap * edit::kPage + 4 + page / 8] |= static_cast<unsigned char>(1u << (page % 8));
        }
    std::fill(file.begin() + start, file.begin() + end, 0);
    file[start] = 0x01;
    edit::Put32(file, start + 1, static_cast<uint32_t>(bitmap));

    std::string path = dir_.Write("reference-map.mdb", file);
    const Rows rows = {{"1", "One"},
                       {"2", "Two, renamed at such length that it left its page"},
                       {"3", "Three 三, renamed too"}};
    EXPECT_EQ(test::MdbExport(path, "Table1").rows, rows);
    JetDatabase db;
    ASSERT_TRUE(db.Open(path, Text()));
    EXPECT_EQ(test::LayerRows(db, "Table1", 2), rows);
}

// A column added to a table that holds rows: the engine rewrites only the definition, so
// the old rows hold fewer columns than the table (the new one reads as null) beside a row
// written afterwards with all three. Here Table1 (ID, Data; defined on page 29) of the
// engine's file gains a text column Extra.
TEST_F(EngineSample, RowsWrittenBeforeAColumnWasAdded) {
    ByteSet file = sample_;
    constexpr size_t kHead = 29 * edit::kPage, kEntry = 25;
    ASSERT_EQ(file[kHead], 0x02);
    ASSERT_EQ(edit::Get16(file, kHead + 45), 2u);  // columns
    ASSERT_EQ(edit::Get16(file, kHead + 43), 1u);  // variable ones
    size_t entries = kHead + 63 + 12 * edit::Get32(file, kHead + 51), names = entries + 2 * kEntry, namesEnd = names;
    for (int i = 0; i < 2; ++i) namesEnd += 2 + edit::Get16(file, namesEnd);
    size_t end = kHead + edit::Get32(file, kHead + 8);
    ByteSet entry(file.begin() + entries + kEntry, file.begin() + names);  // Data's: text, variable column 0
    ASSERT_EQ(entry[0], 0x0A);
    entry[5] = 2;  // column number
    entry[7] = 1;  // variable column number
    entry[9] = 2;  // column number in rows
    const ByteSet name = {10, 0, 'E', 0, 'x', 0, 't', 0, 'r', 0, 'a', 0};
    ByteSet page(file.begin() + kHead, file.begin() + names);
    page.insert(page.end(), entry.begin(), entry.end());
    page.insert(page.end(), file.begin() + names, file.begin() + namesEnd);
    page.insert(page.end(), name.begin(), name.end());
    page.insert(page.end(), file.begin() + namesEnd, file.begin() + end);
    uint32_t added = static_cast<uint32_t>(entry.size() + name.size());
    page.resize(edit::kPage, 0);
    edit::Put32(page, 8, edit::Get32(page, 8) + added);  // definition length
    edit::Put16(page, 2, edit::Get16(page, 2) - added);  // free space
    edit::Put16(page, 41, 3);                            // next column number
    edit::Put16(page, 43, 2);
    edit::Put16(page, 45, 3);
    edit::Put32(page, 16, edit::Get32(page, 16) + 1);  // rows
    std::copy(page.begin(), page.end(), file.begin() + kHead);
    auto one = edit::FindRow(file, "\xFF\xFEOne");
    ASSERT_TRUE(one);
    edit::AddRow(file, one->page,
                 edit::Jet4Row(3, {4, 0, 0, 0}, {edit::TextValue("Four", true), edit::TextValue("more", true)}, {0x07}),
                 0);

    std::string path = dir_.Write("added-column.mdb", file);
    test::Export exported = test::MdbExport(path, "Table1");
    EXPECT_EQ(exported.columns, (std::vector<std::string>{"ID", "Data", "Extra"}));
    EXPECT_EQ(exported.rows, (Rows{{"1", "One", ""}, {"2", "Two", ""}, {"3", "Three", ""}, {"4", "Four", "more"}}));
    JetDatabase db;
    ASSERT_TRUE(db.Open(path, Text()));
    EXPECT_EQ(test::LayerRows(db, "Table1", 3), exported.rows);
    std::vector<bool> nulls;
    auto rs = db.Query(TXT("select * from Table1"));
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) nulls.push_back(rs.FieldIsNull(3));
    EXPECT_EQ(nulls, (std::vector<bool>{true, true, true, false}));
}

// Pointers that do not lead, in one step, to moved data of their own table: the file is
// refused whole, in the reader and in-process alike, and left as it was.
TEST(MovedRows, DamagedPointersFailCleanly) {
    using Edit = std::function<void(test::MovedRows&)>;
    auto pointAt = [](size_t page, size_t row) {
        return [=](test::MovedRows& m) { edit::PointTo(m.file, m.pointers[0], {page, row}); };
    };
    // The data page of 电视分类: a data page of a table other than 电视列表 and MSysObjects
    // (our writer's usage-map pages name table 0).
    auto categoryPage = [](const test::MovedRows& m) {
        for (size_t p = 3; p < edit::Pages(m.file); ++p) {
            uint32_t table = edit::TableOf(m.file, p);
            if (m.file[p * edit::kPage] == 0x01 && table > 2 && table != edit::TableOf(m.file, m.data[0].page)) return p;
        }
        throw std::runtime_error("no page of 电视分类");
    };
    struct Case {
        const char* name;
        Edit edit;
    };
    const Case cases[] = {
        {"past the end of the file", [](test::MovedRows& m) { edit::PointTo(m.file, m.pointers[0], {edit::Pages(m.file), 0}); }},
        {"far past the end", pointAt(0xFFFFFF, 0xFF)},
        {"the header page", pointAt(0, 0)},
        {"a page that is not a data page (MSysObjects' definition)", pointAt(2, 0)},
        {"a page of another table",
         [&](test::MovedRows& m) {
             ByteSet data = edit::RowBytes(m.file, m.data[0]);
             edit::PointTo(m.file, m.pointers[0], edit::AddRow(m.file, categoryPage(m), data, edit::kMovedFlag));
         }},
        {"a row its page does not have", [](test::MovedRows& m) { edit::PointTo(m.file, m.pointers[0], {m.data[0].page, 7}); }},
        {"itself", [](test::MovedRows& m) { edit::PointTo(m.file, m.pointers[0], m.pointers[0]); }},
        {"a deleted row",
         [](test::MovedRows& m) {
             size_t at = edit::SlotAt(m.data[0]);
             edit::Put16(m.file, at, edit::Get16(m.file, at) | 0xC000);
         }},
        {"a live row",
         [](test::MovedRows& m) {
             size_t at = edit::SlotAt(m.data[0]);
             edit::Put16(m.file, at, edit::Get16(m.file, at) & 0x1FFF);
         }},
        {"another pointer (a chain)",
         [](test::MovedRows& m) {
             ByteSet data = edit::RowBytes(m.file, m.data[0]);
             size_t at = edit::SlotAt(m.data[0]);
             edit::Put16(m.file, at, edit::Get16(m.file, at) & 0x1FFF);
             edit::PointTo(m.file, m.data[0], edit::AddRow(m.file, m.data[1].page, data, edit::kMovedFlag));
         }},
        {"a pair of pointers to each other",
         [](test::MovedRows& m) {
             edit::PointTo(m.file, m.pointers[0], m.pointers[1]);
             edit::PointTo(m.file, m.pointers[1], m.pointers[0]);
         }},
        {"the data another pointer names", [](test::MovedRows& m) { edit::PointTo(m.file, m.pointers[1], m.data[0]); }},
    };
    test::ScratchDir dir;
    for (const Case& c : cases) {
        test::MovedRows moved = test::CatalogueWithMovedRows();
        c.edit(moved);
        std::string file = dir.Write("iead.dll", moved.file);
        JetDatabase db;
        EXPECT_FALSE(db.Open(file, kPassword)) << c.name;
        EXPECT_FALSE(db.IsOpen()) << c.name;
        EXPECT_EQ(Tree(db), "") << c.name;
        platform::JetSnapshot snapshot;
        EXPECT_FALSE(platform::ReadJetSnapshotFile(file, snapshot)) << c.name;
        EXPECT_EQ(ReadBytes(file), moved.file) << c.name;
    }
}

}  // namespace
}  // namespace orbiq
