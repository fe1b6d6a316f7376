// Files the real Jet engine wrote (Access 2000 and 2002-2003), met through the layer and
// beside mdb-export: the password check, every user table and row, and the cells.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

#include "common/catalogue_file.h"
#include "platform/jet/jet_database.h"
#include "platform/jet/jet_snapshot.h"
#include "tests/jet/jet_test_util.h"
#include "tests/jet/mdb_export.h"
#include "tools/jetwriter/jet_writer.h"

namespace orbiq {
namespace {

using platform::JetDatabase;

const std::string kSamples = ORBIQ_JET_SAMPLES;

struct SampleTable {
    const char* name;
    size_t rows;
};

struct Sample {
    const char* file;
    const char* password;  // nullptr: the file has none
    std::vector<SampleTable> tables;
};

// The folder's README: each file, its password and its tables with their row counts.
const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {"DateTestDatabase.mdb", nullptr, {{"DateTest", 6}}},
        {"V2000_empty.mdb", nullptr, {}},
        {"V2000_no-password.mdb", nullptr, {{"Table1", 3}}},
        {"V2000_numeric.mdb", nullptr, {{"test", 1}}},
        {"V2000_with-password.mdb", "password", {{"Table1", 3}}},
        {"V2003_no-password.mdb", nullptr, {{"Table1", 3}}},
        {"V2003_numeric.mdb", nullptr, {{"test", 1}}},
        {"V2003_test.mdb", nullptr, {{"Table1", 2}, {"Table2", 0}, {"Table3", 0}, {"Table4", 0}}},
        {"V2003_with-password.mdb", "password", {{"Table1", 3}}},
    };
    return samples;
}

std::string SamplePath(const char* file) { return kSamples + "/" + file; }

Text PasswordOf(const Sample& s) { return s.password ? Text(s.password) : Text(); }

class EngineFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(kSamples))
            GTEST_SKIP() << "engine-made Jet samples not found at " << kSamples;
    }
};

TEST_F(EngineFiles, OpenAsTheirPasswordSays) {
    for (const Sample& s : Samples()) {
        struct Try {
            Text password;
            bool opens;
        };
        std::vector<Try> tries;
        if (s.password) {
            tries = {{Text(s.password), true}, {Text(), false},          {Text("Password"), false},
                     {Text("passwor"), false}, {Text("password1"), false}, {Text(catalogue::kPassword), false}};
        } else {
            tries = {{Text(), true}, {Text(catalogue::kPassword), true}, {Text("password"), true}};
        }
        for (const Try& t : tries) {
            JetDatabase db;
            EXPECT_EQ(db.Open(SamplePath(s.file), t.password), t.opens) << s.file << " with '" << t.password.Bytes() << "'";
            EXPECT_EQ(db.IsOpen(), t.opens) << s.file;
        }
    }
}

// Every user table (also one whose definition runs over two pages), every row and cell
// as mdb-export reads it: compressed and plain texts, memos, numbers, dates, yes/no,
// with the rows the engine marked deleted left out.
TEST_F(EngineFiles, EveryTableReadsAsMdbExportReadsIt) {
    for (const Sample& s : Samples()) {
        std::string file = SamplePath(s.file);
        platform::JetSnapshot snapshot;
        ASSERT_TRUE(platform::ReadJetSnapshotFile(file, snapshot)) << s.file;
        ASSERT_EQ(snapshot.size(), s.tables.size()) << s.file;
        EXPECT_EQ(test::RunCommand("mdb-tables -1 " + test::ShellQuote(file)),
                  [&] {
                      std::string names;
                      for (const SampleTable& t : s.tables) names += std::string(t.name) + "\n";
                      return names;
                  }())
            << s.file;
        JetDatabase db;
        ASSERT_TRUE(db.Open(file, PasswordOf(s))) << s.file;
        for (size_t i = 0; i < s.tables.size(); ++i) {
            const SampleTable& t = s.tables[i];
            test::Export exported = test::MdbExport(file, t.name);
            EXPECT_EQ(snapshot[i].name, t.name);
            EXPECT_EQ(snapshot[i].columns, exported.columns) << s.file << " " << t.name;
            EXPECT_EQ(exported.rows.size(), t.rows) << s.file << " " << t.name;
            EXPECT_EQ(test::LayerRows(db, t.name, exported.columns.size()), exported.rows) << s.file << " " << t.name;
        }
    }
}

TEST_F(EngineFiles, CellsAsTheLayerGivesThem) {
    struct Cell {
        const char* file;
        const char* statement;
        size_t row;  // 0-based in query order
        int column;
        const char* text;
    };
    const Cell cells[] = {
        {"V2000_with-password.mdb", "select * from Table1", 0, 1, "1"},
        {"V2000_with-password.mdb", "select * from Table1", 2, 2, "Three"},
        {"V2003_with-password.mdb", "select * from Table1 where Data='two'", 0, 1, "2"},
        {"V2003_test.mdb", "select * from Table1", 0, 1, "abcdefg"},    // text
        {"V2003_test.mdb", "select * from Table1", 0, 3, "2"},          // byte
        {"V2003_test.mdb", "select * from Table1", 0, 5, "333333333"},  // long
        {"V2003_test.mdb", "select * from Table1", 0, 6, "444.555"},    // double
        {"V2003_test.mdb", "select * from Table1", 0, 7, "09/21/74 00:00:00"},  // date
        {"V2003_test.mdb", "select * from Table1", 0, 8, "3.5000"},     // currency
        {"V2003_test.mdb", "select * from Table1", 0, 9, "1"},          // yes/no
        {"V2003_test.mdb", "select * from Table1", 1, 9, "0"},
        {"V2003_numeric.mdb", "select * from test", 0, 1, "some data"},  // memo
        {"V2003_numeric.mdb", "select * from test", 0, 6, "-1"},         // decimal
        {"DateTestDatabase.mdb", "select * from DateTest", 5, 5, "New line\r\nin field"},
        {"DateTestDatabase.mdb", "select * from DateTest where ShortTextCol='Hello'", 0, 2, "12/02/21 00:00:00"},
    };
    for (const Cell& c : cells) {
        const Sample* sample = nullptr;
        for (const Sample& s : Samples())
            if (std::string(s.file) == c.file) sample = &s;
        ASSERT_NE(sample, nullptr);
        JetDatabase db;
        ASSERT_TRUE(db.Open(SamplePath(c.file), PasswordOf(*sample))) << c.file;
        auto rs = db.Query(Text::FromUtf8(c.statement));
        for (size_t r = 0; r < c.row && !rs.AtEnd(); ++r) rs.MoveNext();
        ASSERT_FALSE(rs.AtEnd()) << c.file << ": " << c.statement;
        EXPECT_FALSE(rs.FieldIsNull(c.column)) << c.file << ": " << c.statement;
        EXPECT_EQ(rs.Field(c.column).ToUtf8(), c.text) << c.file << ": " << c.statement << " column " << c.column;
    }
}

ByteSet ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteSet((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The live row of a data page whose bytes hold `needle`: its page, its slot and where it lies.
struct RowAt {
    size_t page = 0, slot = 0, start = 0, end = 0;
};

std::optional<RowAt> FindRow(const ByteSet& file, const std::string& needle) {
    for (size_t p = 1; p < file.size() / 4096; ++p) {
        const unsigned char* page = file.data() + p * 4096;
        if (page[0] != 0x01) continue;
        size_t rows = page[12] | page[13] << 8;
        for (size_t r = 0, end = 4096; r < rows && 14 + 2 * r + 1 < 4096; ++r) {
            size_t offset = page[14 + 2 * r] | page[15 + 2 * r] << 8, start = offset & 0x1FFF;
            std::string_view row(reinterpret_cast<const char*>(page) + start, start < end ? end - start : 0);
            if (!(offset & 0xC000) && row.find(needle) != std::string_view::npos) return RowAt{p, r, start, end};
            end = start;
        }
    }
    return std::nullopt;
}

// An engine-made table with one row marked deleted and one value cleared to null, the
// way the engine leaves them: both the layer and mdb-export leave the row out and give
// the null.
TEST_F(EngineFiles, DeletedRowsAndNullsInTheEngineLayout) {
    ByteSet file = ReadBytes(SamplePath("V2000_no-password.mdb"));
    // The engine keeps "Two" and "Three" compressed: FF FE, then a byte a character.
    auto two = FindRow(file, "\xFF\xFETwo");
    auto three = FindRow(file, "\xFF\xFEThree");
    ASSERT_TRUE(two && three);
    file[two->page * 4096 + 15 + 2 * two->slot] |= 0xC0;  // the deleted flags of its offset
    file[three->page * 4096 + three->end - 1] &= static_cast<unsigned char>(~0x02);  // Data (column 2) null
    test::ScratchDir dir;
    std::string path = dir.Write("edited.mdb", file);

    JetDatabase db;
    ASSERT_TRUE(db.Open(path, Text()));
    auto rs = db.Query(TXT("select * from Table1"));
    std::vector<std::pair<std::string, bool>> rows;  // ID, Data is null
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) rows.emplace_back(rs.Field(1).ToUtf8(), rs.FieldIsNull(2));
    EXPECT_EQ(rows, (std::vector<std::pair<std::string, bool>>{{"1", false}, {"3", true}}));
    EXPECT_TRUE(db.Query(TXT("select * from Table1 where Data='Two'")).AtEnd());
    EXPECT_EQ(test::MdbExport(path, "Table1").rows, (std::vector<std::vector<std::string>>{{"1", "One"}, {"3", ""}}));
}

uint32_t Get16(const ByteSet& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Get32(const ByteSet& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
void Put16(ByteSet& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}

// A column dropped the way the engine drops one: its entry and name leave the table
// definition while the rows keep its bytes, and the other columns keep their numbers and
// places. Here column C (a byte, 3rd of 9) of V2003_test.mdb's Table1, defined on page 24.
TEST_F(EngineFiles, DroppedColumnsAreLeftOut) {
    ByteSet file = ReadBytes(SamplePath("V2003_test.mdb"));
    constexpr size_t kHead = 24 * 4096, kEntry = 25;
    ASSERT_EQ(file[kHead], 0x02);
    ASSERT_EQ(Get16(file, kHead + 45), 9u);
    size_t entries = kHead + 63 + 12 * Get32(file, kHead + 51), names = entries + 9 * kEntry;
    size_t end = kHead + Get32(file, kHead + 8);
    ASSERT_EQ(file[entries + 2 * kEntry], 0x02);                            // C: a byte
    ASSERT_EQ(ByteSet(file.begin() + names + 8, file.begin() + names + 12), (ByteSet{2, 0, 'C', 0}));
    ByteSet page(file.begin() + kHead, file.begin() + entries + 2 * kEntry);  // header, A, B
    page.insert(page.end(), file.begin() + entries + 3 * kEntry, file.begin() + names + 8);  // D..I, names of A, B
    page.insert(page.end(), file.begin() + names + 12, file.begin() + end);  // the other names, the rest
    size_t removed = end - kHead - page.size();
    page.resize(4096, 0);
    Put16(page, 8, Get16(page, 8) - static_cast<uint32_t>(removed));  // definition length
    Put16(page, 2, Get16(page, 2) + static_cast<uint32_t>(removed));  // free space
    Put16(page, 45, 8);                                                // columns
    std::copy(page.begin(), page.end(), file.begin() + kHead);
    test::ScratchDir dir;
    std::string path = dir.Write("dropped.mdb", file);

    test::Export exported = test::MdbExport(path, "Table1");
    ASSERT_EQ(exported.columns, (std::vector<std::string>{"A", "B", "D", "E", "F", "G", "H", "I"}));
    EXPECT_EQ(exported.rows[0], (std::vector<std::string>{"abcdefg", "hijklmnop", "222", "333333333", "444.555",
                                                          "09/21/74 00:00:00", "3.5000", "1"}));
    JetDatabase db;
    ASSERT_TRUE(db.Open(path, Text()));
    EXPECT_EQ(test::LayerRows(db, "Table1", 8), exported.rows);
    platform::JetSnapshot snapshot;
    ASSERT_TRUE(platform::ReadJetSnapshotFile(path, snapshot));
    EXPECT_EQ(snapshot[0].columns, exported.columns);
}

// Our writer's MSysObjects beside the engine's: the same columns in the same order, and
// the engine's own entries with the same ids, parents, types and flags.
TEST_F(EngineFiles, WriterCatalogueMatchesTheEngines) {
    test::ScratchDir dir;
    std::string ours = dir.Write("ours.mdb", jet::WriteCatalogue({std::optional<Text>(TXT("甲"))}, {}, Text()));
    std::string engine = SamplePath("V2000_no-password.mdb");
    // Objects in hex: the engine's hold any byte.
    test::Export mine = test::MdbExport(ours, "MSysObjects", "-b hex"), theirs = test::MdbExport(engine, "MSysObjects", "-b hex");
    ASSERT_FALSE(theirs.columns.empty());
    EXPECT_EQ(mine.columns, theirs.columns);
    auto entries = [](const test::Export& e) {
        std::map<std::string, std::vector<std::string>> byName;  // Name -> Id, ParentId, Type, Flags
        for (const auto& row : e.rows)
            if (row.size() == e.columns.size()) byName[row[2]] = {row[0], row[1], row[3], row[7]};
        return byName;
    };
    auto a = entries(mine), b = entries(theirs);
    for (const char* name : {"Tables", "Databases", "Relationships", "MSysDb", "MSysObjects"}) {
        EXPECT_EQ(a[name], b[name]) << name;
        EXPECT_FALSE(a[name].empty()) << name;
    }
}

// Jet 4 enciphers every page after the header with a database key; none of the samples
// has one, so the file comes from our writer with a key.
TEST(JetDatabaseKey, EncipheredPagesReadLikePlainOnes) {
    std::vector<jet::Table> tables = {
        {TXT("电视分类"), {{TXT("分类"), 50}}, {{TXT("直播频道")}, {std::nullopt}, {Text("News")}}}};
    test::ScratchDir dir;
    ByteSet bytes = jet::WriteJet4(tables, Text(catalogue::kPassword), 0x6B39DAC7u);
    ASSERT_NE(bytes, jet::WriteJet4(tables, Text(catalogue::kPassword)));
    std::string file = dir.Write("keyed.mdb", bytes);
    EXPECT_EQ(test::RunCommand("mdb-tables -1 " + test::ShellQuote(file)), "电视分类\n");
    EXPECT_EQ(test::RunCommand("mdb-export " + test::ShellQuote(file) + " 电视分类"), "分类\n\"直播频道\"\n\n\"News\"\n");

    JetDatabase db;
    EXPECT_FALSE(db.Open(file, Text()));
    ASSERT_TRUE(db.Open(file, Text(catalogue::kPassword)));
    auto rs = db.Query(TXT("select * from 电视分类"));
    std::vector<std::optional<std::string>> values;
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext())
        values.push_back(rs.FieldIsNull(1) ? std::nullopt : std::optional(rs.Field(1).ToUtf8()));
    EXPECT_EQ(values, (std::vector<std::optional<std::string>>{"直播频道", std::nullopt, "News"}));

    // Enciphered, a damaged page still fails cleanly.
    ByteSet cut(bytes.begin(), bytes.begin() + 3 * 4096);
    EXPECT_FALSE(db.Open(dir.Write("cut.mdb", cut), Text(catalogue::kPassword)));
    ByteSet flipped = bytes;
    for (size_t i = 2 * 4096; i < 3 * 4096; ++i) flipped[i] ^= 0x5A;
    EXPECT_FALSE(db.Open(dir.Write("flipped.mdb", flipped), Text(catalogue::kPassword)));
}

}  // namespace
}  // namespace orbiq
