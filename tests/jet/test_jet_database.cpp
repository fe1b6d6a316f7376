// The Jet engine layer: opening with the password, the catalogue's statements, the
// built-in catalogue, and files that must fail cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "common/builtin_catalogue.h"
#include "common/catalogue_file.h"
#include "platform/jet/jet_database.h"
#include "tests/jet/jet_test_util.h"
#include "tools/jetwriter/builtin_catalogue_rows.h"
#include "tools/jetwriter/jet_writer.h"

namespace orbiq {
namespace {

using jet::ChannelSpec;
using platform::JetDatabase;
using platform::JetQuoteValue;
using platform::JetRecordSet;
using Row = std::vector<std::optional<Text>>;

const Text kPassword(catalogue::kPassword);

std::optional<Text> T(const char* utf8) { return Text::FromUtf8(utf8); }

// The statements as the catalogue handlers build them.
Text CategoriesStatement() { return TXT(catalogue::kSelectCategories.data()); }
Text ChannelsOf(const Text& category) {
    return TXT(catalogue::kSelectChannelsOfCategory.data()) + Text("'") + category + Text("'");
}
Text ChannelNamed(const Text& name) { return TXT(catalogue::kSelectChannelByName.data()) + Text("'") + name + Text("'"); }

std::vector<Row> Rows(JetRecordSet rs, int columns) {
    std::vector<Row> rows;
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) {
        Row row;
        for (int c = 1; c <= columns; ++c) row.push_back(rs.FieldIsNull(c) ? std::nullopt : std::optional(rs.Field(c)));
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Column(JetRecordSet rs, int column) {
    std::vector<std::string> values;
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) values.push_back(rs.Field(column).ToUtf8());
    return values;
}

// The channel tree as the fill walks it: roots in query order, children per root.
std::string Tree(JetDatabase& db) {
    std::vector<std::string> roots = Column(db.Query(CategoriesStatement()), 1);
    std::string tree;
    for (const std::string& root : roots) {
        tree += root + " (";
        std::vector<std::string> children = Column(db.Query(ChannelsOf(Text::FromUtf8(root))), 2);
        for (size_t i = 0; i < children.size(); ++i) tree += (i ? ", " : "") + children[i];
        tree += ") ";
    }
    return tree;
}

class BuiltinCatalogue : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = dir_.Write("iead.dll", orbiq::BuiltinCatalogue());
        ASSERT_TRUE(db_.Open(file_, kPassword));
    }
    test::ScratchDir dir_;
    std::string file_;
    JetDatabase db_;
};

TEST_F(BuiltinCatalogue, IsAJet4FileOfWholePages) {
    const ByteSet& bytes = orbiq::BuiltinCatalogue();
    EXPECT_EQ(bytes.size() % 4096, 0u);
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 19), "Standard Jet DB");
    EXPECT_EQ(test::RunCommand("mdb-ver " + test::ShellQuote(file_)), "JET4\n");
    EXPECT_EQ(test::RunCommand("mdb-tables -1 " + test::ShellQuote(file_)), "电视分类\n电视列表\n");
}

TEST_F(BuiltinCatalogue, CategoriesInStorageOrder) {
    EXPECT_EQ(Column(db_.Query(CategoriesStatement()), 1),
              (std::vector<std::string>{"直播频道", "电视剧场", "电影频道", "综艺娱乐", "音乐频道", "体育频道",
                                        "资讯频道", "广播电台"}));
}

TEST_F(BuiltinCatalogue, ChannelRowsExactlyAsWritten) {
    std::vector<Row> written;
    for (const ChannelSpec& c : jet::BuiltinCatalogueRows().channels)
        written.push_back({c.category, c.name, c.address, c.introduction});
    EXPECT_EQ(written.size(), 18u);
    EXPECT_EQ(Rows(db_.Query(TXT(catalogue::kSelectChannels.data())), catalogue::kChannelColumns), written);
}

TEST_F(BuiltinCatalogue, FillsTheTreeAsTheCatalogueDescribes) {
    EXPECT_EQ(Tree(db_),
              "直播频道 (CCTV-4, CCTV-9, 阳光卫视, 星空卫视, 河北卫视, CCTV-新闻) 电视剧场 (天龙八部) "
              "电影频道 (港台电影联播, 精品影院) 综艺娱乐 (综艺1) 音乐频道 (音乐1) 体育频道 (体育1) "
              "资讯频道 (澳门新闻台) 广播电台 (中国之声, 经济之声, 音乐之声, 天津交通广播, 北京音乐台) ");
}

TEST_F(BuiltinCatalogue, ChannelByNameGivesItsAddress) {
    auto rs = db_.Query(ChannelNamed(TXT("综艺1")));
    ASSERT_FALSE(rs.AtEnd());
    EXPECT_EQ(rs.Field(3), Text("1"));
    rs.MoveNext();
    EXPECT_TRUE(rs.AtEnd());
    // Null address reads as the empty text; a category's name matches no channel.
    EXPECT_EQ(db_.Query(ChannelNamed(TXT("体育1"))).Field(3), Text());
    EXPECT_TRUE(db_.Query(ChannelNamed(TXT("直播频道"))).AtEnd());
}

TEST_F(BuiltinCatalogue, RecordSetReadsPastItsEdgesAsEmpty) {
    auto rs = db_.Query(ChannelNamed(TXT("CCTV-9")));
    EXPECT_EQ(rs.Field(0), Text());
    EXPECT_EQ(rs.Field(5), Text());
    EXPECT_EQ(rs.Field(2), Text("CCTV-9"));
    rs.MoveNext();
    EXPECT_TRUE(rs.AtEnd());
    EXPECT_EQ(rs.Field(2), Text());
    rs.MoveNext();  // stays at the end
    rs.MoveFirst();
    EXPECT_EQ(rs.Field(2), Text("CCTV-9"));
    rs.Close();
    EXPECT_TRUE(rs.AtEnd());
}

// A catalogue made for the statements' edge cases.
class CatalogueStatements : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::optional<Text>> categories = {T("甲"), T("它's"), T("甲"), std::nullopt, T(""), T("News")};
        std::vector<ChannelSpec> channels = {
            {T("甲"), T("同名"), T("mms://192.0.2.1/first"), std::nullopt},
            {T("乙"), T("孤儿"), T("mms://192.0.2.1/orphan"), std::nullopt},
            {T("它's"), T("Tom's"), T("mms://192.0.2.1/quote"), std::nullopt},
            {T("甲"), T("同名"), T("mms://192.0.2.1/second"), std::nullopt},
            {std::nullopt, T("无类"), T("mms://192.0.2.1/null"), std::nullopt},
            {T(""), T("空类"), T("mms://192.0.2.1/empty"), std::nullopt},
            {T("NEWS"), T("upper"), T("mms://192.0.2.1/upper"), std::nullopt},
        };
        ASSERT_TRUE(db_.Open(dir_.Write("c.mdb", jet::WriteCatalogue(categories, channels, kPassword)), kPassword));
    }
    test::ScratchDir dir_;
    JetDatabase db_;
};

TEST_F(CatalogueStatements, TwoRowsOfOneNameComeBothInOrder) {
    EXPECT_EQ(Column(db_.Query(ChannelNamed(TXT("同名"))), 3),
              (std::vector<std::string>{"mms://192.0.2.1/first", "mms://192.0.2.1/second"}));
}

TEST_F(CatalogueStatements, TreeWithDuplicateNullAndOrphanCategories) {
    // Both 甲 roots get both channels; the null category reads as the empty text and so
    // lists the channel of the zero-length category, not the one whose category is null;
    // 乙 has no row and its channel does not show; 'News' matches 'NEWS' as in Jet.
    std::vector<std::string> roots = Column(db_.Query(CategoriesStatement()), 1);
    ASSERT_EQ(roots, (std::vector<std::string>{"甲", "它's", "甲", "", "", "News"}));
    auto channels = [&](const char* category) {
        return Column(db_.Query(ChannelsOf(JetQuoteValue(Text::FromUtf8(category)))), 2);
    };
    EXPECT_EQ(channels("甲"), (std::vector<std::string>{"同名", "同名"}));
    EXPECT_EQ(channels(""), (std::vector<std::string>{"空类"}));
    EXPECT_EQ(channels("News"), (std::vector<std::string>{"upper"}));
    EXPECT_EQ(channels("它's"), (std::vector<std::string>{"Tom's"}));
}

TEST_F(CatalogueStatements, SingleQuoteWorksOnlyWhenQuoted) {
    EXPECT_EQ(JetQuoteValue(Text("Tom's")), Text("Tom''s"));
    EXPECT_EQ(JetQuoteValue(Text("''")), Text("''''"));
    EXPECT_EQ(Column(db_.Query(ChannelNamed(JetQuoteValue(Text("Tom's")))), 3),
              (std::vector<std::string>{"mms://192.0.2.1/quote"}));
    // Unquoted, the statement is malformed and yields no record, as the engine does.
    EXPECT_TRUE(db_.Query(ChannelNamed(Text("Tom's"))).AtEnd());
}

TEST_F(CatalogueStatements, StatementsTheEngineCannotRunYieldNothing) {
    const char* statements[] = {
        "",
        "select * from",
        "select * from 不存在",
        "select * from 电视列表 where 不存在='x'",
        "select * from 电视列表 where 列表='同名",
        "select * from 电视列表 where 列表=同名",
        "select 列表 from 电视列表",
        "select * from 电视列表 where 列表='同名' and 分类='甲'",
        "delete from 电视列表",
        "select * from [电视列表",
    };
    for (const char* s : statements) EXPECT_TRUE(db_.Query(Text::FromUtf8(s)).AtEnd()) << s;
}

TEST_F(CatalogueStatements, SpellingsTheEngineAccepts) {
    const char* statements[] = {
        "select * from [电视列表] where [列表]='同名'",
        "SELECT * FROM 电视列表 WHERE 列表 = '同名';",
        "select *\nfrom\t电视列表   where 列表='同名'  ",
    };
    for (const char* s : statements) EXPECT_EQ(Rows(db_.Query(Text::FromUtf8(s)), 4).size(), 2u) << s;
}

TEST(JetDatabasePassword, OpensOnlyWithTheStoredPassword) {
    test::ScratchDir dir;
    std::string locked = dir.Write("locked.mdb", jet::WriteCatalogue({T("甲")}, {}, kPassword));
    std::string open = dir.Write("open.mdb", jet::WriteCatalogue({T("甲")}, {}, Text()));
    struct Case {
        const std::string* file;
        Text password;
        bool opens;
    };
    const Case cases[] = {
        {&locked, kPassword, true},
        {&locked, Text("58204732"), false},
        {&locked, Text("5820473"), false},
        {&locked, Text("582047310"), false},
        {&locked, Text(), false},
        // A file without a password opens whatever password is given, as with Jet.
        {&open, kPassword, true},
        {&open, Text(), true},
    };
    for (const Case& c : cases) {
        JetDatabase db;
        EXPECT_EQ(db.Open(*c.file, c.password), c.opens) << *c.file << " " << c.password.Bytes();
        EXPECT_EQ(db.IsOpen(), c.opens);
        EXPECT_EQ(db.Query(CategoriesStatement()).AtEnd(), !c.opens);
    }
}

TEST(JetDatabaseFiles, BadFilesFailCleanly) {
    test::ScratchDir dir;
    ByteSet good = orbiq::BuiltinCatalogue();
    std::mt19937 random(1234);
    ByteSet noise(10 * 4096);
    for (auto& b : noise) b = static_cast<unsigned char>(random());
    ByteSet bodyNoise = good;  // a good header page in front of noise
    for (size_t i = 4096; i < bodyNoise.size(); ++i) bodyNoise[i] = static_cast<unsigned char>(random());
    ByteSet zeroBody = good;
    std::fill(zeroBody.begin() + 4096, zeroBody.end(), 0);
    ByteSet ace = good;
    std::copy_n("Standard ACE DB", 15, ace.begin() + 4);
    ByteSet jet3 = good;
    jet3[0x14] = 0;
    ByteSet text = Text("<html>404 Not Found</html>").ToBytes();
    struct Case {
        const char* name;
        ByteSet bytes;
    };
    const Case cases[] = {
        {"zero length", {}},
        {"cut inside the header page", ByteSet(good.begin(), good.begin() + 2000)},
        {"header page only", ByteSet(good.begin(), good.begin() + 4096)},
        {"cut after three pages", ByteSet(good.begin(), good.begin() + 3 * 4096)},
        {"cut in the middle", ByteSet(good.begin(), good.begin() + good.size() / 2 + 100)},
        {"random", noise},
        {"good header, random body", bodyNoise},
        {"good header, zero body", zeroBody},
        {"ACE signature", ace},
        {"Jet 3 version byte", jet3},
        {"a web page", text},
    };
    for (const Case& c : cases) {
        JetDatabase db;
        bool opened = db.Open(dir.Write("bad.mdb", c.bytes), kPassword);
        EXPECT_FALSE(opened) << c.name;
        EXPECT_FALSE(db.IsOpen()) << c.name;
        EXPECT_TRUE(db.Query(CategoriesStatement()).AtEnd()) << c.name;
    }
    JetDatabase missing;
    EXPECT_FALSE(missing.Open(dir.Path() + "/no-such-file", kPassword));
    EXPECT_FALSE(missing.Open(dir.Path(), kPassword));  // a folder
    EXPECT_TRUE(missing.Query(CategoriesStatement()).AtEnd());
}

TEST(JetDatabaseFiles, CloseAndReopen) {
    test::ScratchDir dir;
    std::string file = dir.Write("iead.dll", orbiq::BuiltinCatalogue());
    JetDatabase db;
    ASSERT_TRUE(db.Open(file, kPassword));
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    EXPECT_TRUE(db.Query(CategoriesStatement()).AtEnd());
    ASSERT_TRUE(db.Open(file, kPassword));
    EXPECT_FALSE(db.Query(CategoriesStatement()).AtEnd());
    EXPECT_FALSE(db.Open(file, Text("wrong")));  // a failed open leaves nothing open
    EXPECT_TRUE(db.Query(CategoriesStatement()).AtEnd());
}

}  // namespace
}  // namespace orbiq

namespace orbiq {
namespace {

// The reader process is what keeps a file that crashes or hangs libmdb away from the
// player: whatever the reader does, the caller gets output or nothing, in bounded time.
TEST(JetReaderProcess, CrashHangAndGarbageGiveNothing) {
    test::ScratchDir dir;
    auto script = [&](const char* name, const std::string& body) {
        std::string path = dir.Write(name, Text("#!/bin/sh\n" + body + "\n").ToBytes());
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    };
    using platform::jet_internal::RunJetReader;
    EXPECT_FALSE(RunJetReader(script("crash", "kill -SEGV $$"), "x", 2000));
    EXPECT_FALSE(RunJetReader(script("fails", "printf OJS1; exit 1"), "x", 2000));
    EXPECT_FALSE(RunJetReader(dir.Path() + "/none", "x", 2000));
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunJetReader(script("hangs", "exec sleep 30"), "x", 300));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    // A hung reader that has written part of its output is no better.
    EXPECT_FALSE(RunJetReader(script("stalls", "printf OJS1; exec sleep 30"), "x", 300));
    auto echoed = RunJetReader(script("echo", "printf '%s' \"$1\""), "arg", 2000);
    ASSERT_TRUE(echoed);
    EXPECT_EQ(*echoed, "arg");
    platform::JetSnapshot snapshot;
    EXPECT_FALSE(platform::ParseJetSnapshot("OJS1garbageEND1", snapshot));
}

}  // namespace
}  // namespace orbiq

namespace orbiq {
namespace {

// Files the fuzzer made that crash libmdb, exhaust memory, overrun its buffers or keep it
// busy for ever; each fails to open, and none is written to.
TEST(JetDatabaseFiles, FilesThatBreakLibmdbFailCleanly) {
    const char* files[] = {
        "libmdb-null-usage-map.mdb",         // NULL dereference in mdb_map_find_next
        "libmdb-narrow-fixed-column.mdb",    // heap overflow in mdb_col_to_string
        "libmdb-too-many-columns.mdb",       // gigabytes bound for 260 columns
        "libmdb-short-ole-field.mdb",        // overrun in mdb_xfer_bound_ole
        "libmdb-props-endless-memory.mdb",   // mdb_kkd_to_props adds properties without end
        "libmdb-props-endless-loop.mdb",     // mdb_read_props loops on a record of length 0
        "libmdb-props-endless-loop-2.mdb",
    };
    test::ScratchDir dir;
    for (const char* name : files) {
        std::ifstream in(std::string(ORBIQ_JET_TEST_DATA) + "/" + name, std::ios::binary);
        ByteSet bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty()) << name;
        std::string file = dir.Write(name, bytes);
        JetDatabase db;
        EXPECT_FALSE(db.Open(file, kPassword)) << name;
        EXPECT_TRUE(db.Query(CategoriesStatement()).AtEnd()) << name;
        // The checks refuse each before libmdb reaches the fault, so it is safe in-process
        // too (and the password of some would stop the open before the reader runs).
        platform::JetSnapshot snapshot;
        EXPECT_FALSE(platform::ReadJetSnapshotFile(file, snapshot)) << name;
        std::ifstream after(file, std::ios::binary);
        EXPECT_EQ(ByteSet((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), bytes) << name;
    }
}

}  // namespace
}  // namespace orbiq
