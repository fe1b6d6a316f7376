// The Jet 4 writer: what it writes must read back through mdbtools (our layer and the
// mdbtools command-line tools) with the same tables, columns, rows, order and nulls.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/catalogue_file.h"
#include "platform/jet/jet_database.h"
#include "platform/jet/jet_header.h"
#include "tests/jet/jet_test_util.h"
#include "tools/jetwriter/jet_writer.h"

namespace orbiq {
namespace {

using jet::Column;
using jet::Table;
using platform::JetDatabase;
using Row = std::vector<std::optional<Text>>;

std::optional<Text> T(const char* utf8) { return Text::FromUtf8(utf8); }

// 255 Chinese characters: the longest value a text 255 column holds (510 bytes of UCS-2,
// 765 of UTF-8, past mdbsql's 256-byte comparison buffer).
Text LongChinese() {
    std::string s;
    for (int i = 0; i < 255; ++i) s += (i % 2) ? "频" : "道";
    return Text::FromUtf8(s);
}

std::vector<Table> SampleTables() {
    Table people{TXT("人员"), {{TXT("姓名"), 20}, {TXT("备注"), 255}, {Text("Code"), 10}}, {}};
    people.rows = {
        {T("张三"), T("第一行"), T("A1")},
        {T("李四"), std::nullopt, T("B2")},
        {std::nullopt, std::nullopt, std::nullopt},
        {T(""), T("空文本不是空值"), T("")},
        {T("O'Brien"), T("it's 'quoted'"), T("Q'")},
        {T("王五"), LongChinese(), T("C3")},
        {T("Ａｂｃ全角"), T("€ and ü: outside GBK or not"), T("D4")},
    };
    Table empty{Text("Empty"), {{Text("Only"), 5}}, {}};
    return {people, empty};
}

std::vector<Row> ReadAll(JetDatabase& db, const Text& table) {
    std::vector<Row> rows;
    auto rs = db.Query(Text("select * from [") + table + Text("]"));
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) {
        Row row;
        for (int c = 1; c <= 4; ++c) {
            if (rs.FieldIsNull(c)) row.push_back(std::nullopt);
            else row.push_back(rs.Field(c));
        }
        rows.push_back(row);
    }
    return rows;
}

// Rows as the tables give them, padded with nulls to four columns (Field past the last
// column reads as null).
std::vector<Row> Padded(const std::vector<Row>& rows) {
    std::vector<Row> out = rows;
    for (Row& r : out) r.resize(4);
    return out;
}

// "€" is not in GBK and comes back as "?"; everything else is kept byte for byte.
std::vector<Row> AsGbkSees(std::vector<Row> rows) {
    for (Row& r : rows)
        for (auto& v : r)
            if (v) v = Text::FromUtf8(v->ToUtf8());
    return rows;
}

TEST(JetWriter, RowsReadBackThroughJetDatabaseInOrderWithNulls) {
    test::ScratchDir dir;
    auto tables = SampleTables();
    std::string file = dir.Write("sample.mdb", jet::WriteJet4(tables, Text("pw")));
    JetDatabase db;
    ASSERT_TRUE(db.Open(file, Text("pw")));
    EXPECT_EQ(ReadAll(db, tables[0].name), Padded(AsGbkSees(tables[0].rows)));
    EXPECT_TRUE(ReadAll(db, tables[1].name).empty());
    // The GBK round trip of Chinese text is exact.
    auto rs = db.Query(TXT("select * from 人员 where 姓名='王五'"));
    ASSERT_FALSE(rs.AtEnd());
    EXPECT_EQ(rs.Field(2), LongChinese());
    EXPECT_EQ(rs.Field(2).Length(), 510);
}

TEST(JetWriter, RowsSpanningManyPagesKeepTheirOrder) {
    Table big{Text("Big"), {{Text("N"), 10}, {Text("Filler"), 255}}, {}};
    std::string filler(200, 'x');
    for (int i = 0; i < 700; ++i) big.rows.push_back({Text::Number(i), Text(filler)});
    test::ScratchDir dir;
    ByteSet bytes = jet::WriteJet4({big}, Text());
    EXPECT_EQ(bytes.size() % platform::kJetPageSize, 0u);
    EXPECT_GT(bytes.size(), 30 * platform::kJetPageSize);  // 700 rows of ~420 bytes
    JetDatabase db;
    ASSERT_TRUE(db.Open(dir.Write("big.mdb", bytes), Text()));
    auto rs = db.Query(Text("select * from Big"));
    int expected = 0;
    for (; !rs.AtEnd(); rs.MoveNext(), ++expected) ASSERT_EQ(rs.Field(1), Text::Number(expected));
    EXPECT_EQ(expected, 700);
}

TEST(JetWriter, PasswordIsStoredAsTheEngineReadsIt) {
    for (const char* password : {catalogue::kPassword, "", "a", "twenty-chars-long-pw"}) {
        ByteSet bytes = jet::WriteJet4(SampleTables(), Text(password));
        auto stored = platform::ReadJet4Password(bytes.data(), bytes.size());
        ASSERT_TRUE(stored.has_value()) << password;
        EXPECT_EQ(*stored, password);
    }
    ByteSet bytes = jet::WriteJet4({}, TXT("密码"));
    EXPECT_EQ(*platform::ReadJet4Password(bytes.data(), bytes.size()), "密码");
}

TEST(JetWriter, HeaderCarriesSignatureAndJet4Version) {
    ByteSet bytes = jet::WriteJet4(SampleTables(), Text("pw"));
    ASSERT_GE(bytes.size(), platform::kJetPageSize);
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 19), "Standard Jet DB");
    EXPECT_EQ(bytes[0x14], 0x01);
}

TEST(JetWriter, RefusesWhatTheFormatCannotHold) {
    struct Case {
        const char* what;
        std::vector<Table> tables;
        Text password;
    };
    Table ok{Text("T"), {{Text("C"), 3}}, {{T("abc")}}};
    Table tooLong = ok;
    tooLong.rows = {{T("abcd")}};
    Table tooLongChinese = ok;
    tooLongChinese.rows = {{T("四个汉字")}};
    Table wrongWidth = ok;
    wrongWidth.rows = {{T("a"), T("b")}};
    Table zeroSize{Text("T"), {{Text("C"), 0}}, {}};
    Table bigSize{Text("T"), {{Text("C"), 256}}, {}};
    Table noColumns{Text("T"), {}, {}};
    Table noName{Text(""), {{Text("C"), 3}}, {}};
    Table bracketName{Text("a]b"), {{Text("C"), 3}}, {}};
    Table dotColumn{Text("T"), {{Text("a.b"), 3}}, {}};
    const Case cases[] = {
        {"value longer than its column", {tooLong}, Text()},
        {"characters, not bytes, count", {tooLongChinese}, Text()},
        {"row width", {wrongWidth}, Text()},
        {"text size 0", {zeroSize}, Text()},
        {"text size 256", {bigSize}, Text()},
        {"no columns", {noColumns}, Text()},
        {"empty table name", {noName}, Text()},
        {"bracket in a table name", {bracketName}, Text()},
        {"dot in a column name", {dotColumn}, Text()},
        {"password of 21 characters", {ok}, Text("123456789012345678901")},
    };
    for (const Case& c : cases) EXPECT_THROW(jet::WriteJet4(c.tables, c.password), std::invalid_argument) << c.what;
    EXPECT_NO_THROW(jet::WriteJet4({ok}, Text("12345678901234567890")));
}

// The real mdbtools programs read the file, not only our wrapper.
class JetWriterWithMdbTools : public ::testing::Test {
protected:
    void SetUp() override { file_ = dir_.Write("tools.mdb", jet::WriteJet4(SampleTables(), Text("pw"))); }
    std::string Run(const std::string& args) { return test::RunCommand(args + " 2>/dev/null"); }
    std::string Quoted() const { return test::ShellQuote(file_); }

    test::ScratchDir dir_;
    std::string file_;
};

TEST_F(JetWriterWithMdbTools, MdbTablesListsTheUserTablesInOrder) {
    EXPECT_EQ(Run("mdb-tables -1 " + Quoted()), "人员\nEmpty\n");
    EXPECT_EQ(Run("mdb-ver " + Quoted()), "JET4\n");
}

// mdb-export prints a zero-length text like a null (our layer reads the null mask and
// tells them apart, see above).
TEST_F(JetWriterWithMdbTools, MdbExportGivesRowsInOrderWithNulls) {
    EXPECT_EQ(Run("mdb-export " + Quoted() + " 人员"),
              "姓名,备注,Code\n"
              "\"张三\",\"第一行\",\"A1\"\n"
              "\"李四\",,\"B2\"\n"
              ",,\n"
              ",\"空文本不是空值\",\n"
              "\"O'Brien\",\"it's 'quoted'\",\"Q'\"\n"
              "\"王五\",\"" + LongChinese().ToUtf8() + "\",\"C3\"\n"
              "\"Ａｂｃ全角\",\"€ and ü: outside GBK or not\",\"D4\"\n");
    EXPECT_EQ(Run("mdb-export " + Quoted() + " Empty"), "Only\n");
}

TEST_F(JetWriterWithMdbTools, MdbSchemaShowsTextColumnsOfTheirSize) {
    std::string schema = Run("mdb-schema " + Quoted());
    EXPECT_NE(schema.find("[姓名]\t\t\tText (20)"), std::string::npos) << schema;
    EXPECT_NE(schema.find("[备注]\t\t\tText (255)"), std::string::npos) << schema;
}

TEST_F(JetWriterWithMdbTools, MdbSqlSelectsWithBracketedNames) {
    EXPECT_EQ(test::RunCommand("printf '%s\\ngo\\n' " +
                               test::ShellQuote("select * from [人员] where [Code] = 'B2'") +
                               " | mdb-sql -P -H -F -d '|' " + Quoted() + " 2>/dev/null"),
              "\n李四||B2\n");
}

}  // namespace
}  // namespace orbiq
