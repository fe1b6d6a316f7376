// The reply table and its accessors, and the statement builders, as pure text operations.
#include "remotedb/remote_db.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orbiq;

namespace {

const std::string R = "[ZOTRAMEK/row]";
const std::string C = "[ZOTRAMEK/Col]";

std::vector<std::string> Names(const ReplyTable& t) {
    std::vector<std::string> names;
    for (int k = 1; k <= GetReplyColumnCount(t); ++k) names.push_back(GetReplyColumnName(t, k).Bytes());
    return names;
}

TEST(ReplyTableTest, BuildsColumnsAndRowsFromTheReply) {
    struct Case {
        const char* what;
        std::string reply;
        std::vector<std::string> columns;
        std::vector<std::vector<std::string>> rows;  // by the column names, in their order
    };
    const Case cases[] = {
        {"short last row padded", "a" + C + "b" + R + "1" + C + "2" + R + "3", {"a", "b"}, {{"1", "2"}, {"3", ""}}},
        {"extra cells dropped", "a" + C + "b" + R + "1" + C + "2" + C + "3", {"a", "b"}, {{"1", "2"}}},
        {"the header and a trailing row token: no row", "a" + C + "b" + R, {"a", "b"}, {}},
        {"a trailing row token after rows adds none", "a" + C + "b" + R + "1" + C + "2" + R, {"a", "b"}, {{"1", "2"}}},
        {"an empty row between rows stays", "a" + R + R + "x", {"a"}, {{""}, {"x"}}},
        // C3 5B is one character: its second byte "[" starts no token.
        {"a token starting inside a character does not cut", "a" + C + "b" + R + "\x96|" + C + "\xC3[ZOTRAMEK/Col]x",
         {"a", "b"}, {{"\x96|", "\xC3[ZOTRAMEK/Col]x"}}},
        {"adjacent tokens keep empty pieces", "a" + C + C + "c" + R + R + "x", {"a", "", "c"},
         {{"", "", ""}, {"x", "", ""}}},
        {"blanks and line ends kept", " a " + R + "1\r\n", {" a "}, {{"1\r\n"}}},
        {"leading row token: one unnamed column", R + "x", {""}, {{"x"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReplyTable t = BuildReplyTable(Text(c.reply));
        EXPECT_EQ(Names(t), c.columns);
        ASSERT_EQ(GetReplyRowCount(t), static_cast<int>(c.rows.size()));
        for (size_t r = 0; r < c.rows.size(); ++r)
            for (size_t k = 0; k < c.columns.size(); ++k)
                EXPECT_EQ(GetReplyCell(t, static_cast<int>(r + 1), Text(c.columns[k])).Bytes(), c.rows[r][k])
                    << "row " << r + 1 << " column " << k + 1;
    }
}

TEST(ReplyTableTest, StrayTextAheadOfTheHeaderStartsTheFirstName) {
    Text reply = Text::FromUtf8("<html>ID" + C + "客人名称" + C + "留言内容" + R + "7" + C + "游客" + C + "你好");
    ReplyTable t = BuildReplyTable(reply);
    EXPECT_EQ(GetReplyColumnName(t, 1), Text("<html>ID"));
    EXPECT_EQ(GetReplyCell(t, 1, TXT("留言内容")), TXT("你好"));
    EXPECT_EQ(GetReplyCell(t, 1, TXT("客人名称")), TXT("游客"));
    EXPECT_EQ(GetReplyCell(t, 1, Text("ID")), Text());
}

TEST(ReplyTableTest, AccessorsOutOfRangeGiveZeroOrEmpty) {
    ReplyTable t = BuildReplyTable(Text("a" + C + "a" + C + "B" + R + "1" + C + "2" + C + "3" + R + "4"));
    struct Case {
        const char* what;
        int row;
        const char* column;
        const char* expected;
    };
    const Case cells[] = {
        {"row 0", 0, "a", ""},          {"row R", 3, "a", ""},       {"negative row", -1, "a", ""},
        {"leftmost of two same names", 1, "a", "1"}, {"letter case differs", 1, "b", ""},
        {"exact case", 1, "B", "3"},    {"empty name unmatched", 1, "", ""}, {"last row", 2, "a", "4"},
    };
    for (const Case& c : cells) EXPECT_EQ(GetReplyCell(t, c.row, Text(c.column)).Bytes(), c.expected) << c.what;
    EXPECT_EQ(GetReplyColumnName(t, 0), Text());
    EXPECT_EQ(GetReplyColumnName(t, 4), Text());
    EXPECT_EQ(GetReplyColumnName(t, 3), Text("B"));

    ReplyTable empty;
    EXPECT_EQ(GetReplyColumnCount(empty), 0);
    EXPECT_EQ(GetReplyRowCount(empty), 0);
    EXPECT_EQ(GetReplyColumnName(empty, 1), Text());
    EXPECT_EQ(GetReplyCell(empty, 1, Text()), Text());

    ReplyTable headerOnly;
    headerOnly.rows = {{Text("a"), Text("")}};
    headerOnly.columnCount = 2;
    EXPECT_EQ(GetReplyRowCount(headerOnly), 0);
    EXPECT_EQ(GetReplyCell(headerOnly, 1, Text("a")), Text());
    EXPECT_EQ(GetReplyCell(headerOnly, 0, Text("")), Text());
}

// A misbehaving script's reply is kept only up to the bounds, as if it had been cut there.
TEST(ReplyTableTest, KeepsRowsColumnsAndCellsWithinItsBounds) {
    const int rowsSent = kReplyMaxDataRows + 5, columnsSent = kReplyMaxColumns + 6;
    std::string reply;
    for (int c = 1; c <= columnsSent; ++c) reply += (c > 1 ? C : "") + "c" + std::to_string(c);
    for (int r = 1; r <= rowsSent; ++r) {
        reply += R;
        for (int c = 1; c <= columnsSent; ++c) reply += (c > 1 ? C : "") + std::to_string(r) + "." + std::to_string(c);
    }
    ReplyTable t = BuildReplyTable(Text(reply));
    ASSERT_EQ(GetReplyRowCount(t), kReplyMaxDataRows);
    ASSERT_EQ(GetReplyColumnCount(t), kReplyMaxColumns);
    const Text lastName("c" + std::to_string(kReplyMaxColumns));
    EXPECT_EQ(GetReplyColumnName(t, kReplyMaxColumns), lastName);
    EXPECT_EQ(GetReplyColumnName(t, kReplyMaxColumns + 1), Text());
    EXPECT_EQ(GetReplyCell(t, kReplyMaxDataRows, lastName).Bytes(),
              std::to_string(kReplyMaxDataRows) + "." + std::to_string(kReplyMaxColumns))
        << "the last row kept is whole";
    EXPECT_EQ(GetReplyCell(t, 1, Text("c" + std::to_string(columnsSent))), Text());

    // Exactly the bound, then the trailing row token: no empty row after it.
    std::string full = "a";
    for (int r = 1; r <= kReplyMaxDataRows; ++r) full += R + std::to_string(r);
    EXPECT_EQ(GetReplyRowCount(BuildReplyTable(Text(full + R))), kReplyMaxDataRows);

    // A long cell or name keeps the whole characters that fit: "x" then 中 (D6 D0) over and over.
    std::string longText = "x";
    while (longText.size() < kReplyMaxCellBytes + 100) longText += "\xD6\xD0";
    const std::string kept = longText.substr(0, kReplyMaxCellBytes - 1);  // one more 中 would pass the bound
    ReplyTable cut = BuildReplyTable(Text(longText + C + "b" + R + longText + C + longText));
    EXPECT_EQ(GetReplyColumnName(cut, 1).Bytes(), kept);
    EXPECT_EQ(GetReplyCell(cut, 1, Text("b")).Bytes(), kept);
    EXPECT_EQ(GetReplyCell(cut, 1, Text(longText)), Text()) << "the name went by what was kept";
    EXPECT_EQ(GetReplyCell(cut, 1, Text(kept)).Bytes(), kept);
}

TEST(StatementBuilderTest, InsertStatementsAndRefusedRecords) {
    struct Case {
        const char* record;
        const char* expected;  // nullptr: refused
    };
    const Case cases[] = {
        {"a=1", "insert into T (a) values (1)"},
        {"a=1|b='x y'", "insert into T (a,b) values (1,'x y')"},
        {"a=|b=2", "insert into T (a,b) values (,2)"},
        {"=1", "insert into T () values (1)"},
        {"a=1=2", nullptr},
        {"a=1|b", nullptr},
        {"a=1|", nullptr},
        {"", nullptr},
        {"a='p=q'", nullptr},
        {"a='x|b=c'", "insert into T (a,b) values ('x,c')"},
    };
    for (const Case& c : cases) {
        std::optional<Text> s = BuildInsertStatement(Text("T"), Text(c.record));
        if (!c.expected) {
            EXPECT_FALSE(s) << c.record;
        } else {
            ASSERT_TRUE(s) << c.record;
            EXPECT_EQ(s->Bytes(), c.expected) << c.record;
        }
    }
    Text board = TXT("客人名称='游客'|留言内容='张三 说: 你好'");
    EXPECT_EQ(BuildInsertStatement(TXT("留言列表"), board),
              TXT("insert into 留言列表 (客人名称,留言内容) values ('游客','张三 说: 你好')"));
}

TEST(StatementBuilderTest, DeleteStatementTakesTheConditionAsWritten) {
    EXPECT_EQ(BuildDeleteStatement(TXT("留言列表"), TXT("客人名称='游客'")),
              TXT("delete from 留言列表 where 客人名称='游客'"));
    EXPECT_EQ(BuildDeleteStatement(Text("T"), Text()), Text("delete from T where "));
}

TEST(ServerRecordTest, BaseUrlEndsWithOneAddedSlash) {
    struct Case {
        const char* given;
        const char* baseUrl;
    };
    const Case cases[] = {
        {"http://h/box/boo1", "http://h/box/boo1/"}, {"http://h/box/boo1/", "http://h/box/boo1/"},
        {"", "/"}, {"a//", "a//"}, {"a\\", "a\\/"},
    };
    for (const Case& c : cases) {
        RemoteDbServer s = MakeRemoteDbServer(Text(c.given), Text("mdb.mdb"), Text("wms.asp"), 5000);
        EXPECT_EQ(s.baseUrl.Bytes(), c.baseUrl) << c.given;
        EXPECT_EQ(s.databaseName, Text("mdb.mdb"));
        EXPECT_EQ(s.scriptName, Text("wms.asp"));
        EXPECT_EQ(s.timeoutSeconds, 5000);
    }
}

}  // namespace
