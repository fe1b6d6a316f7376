// The board script of the local site: its Access translation, its reply codes and its tables.
#include "site/board_script.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text.h"

using namespace orbiq;
using orbiq::site::AccessFormatDate;
using orbiq::site::BoardScript;
using orbiq::site::TranslateAccessSql;

namespace {

const std::string R = "[ZOTRAMEK/row]";
const std::string C = "[ZOTRAMEK/Col]";

// The form field as the client sends it: every GBK byte escaped.
std::string Encode(const std::string& utf8) {
    std::string out;
    for (unsigned char b : Utf8ToGbk(utf8)) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", b);
        out += hex;
    }
    return out;
}

class ScriptFolder : public ::testing::Test {
protected:
    static std::string MakeFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbiq-board-test-XXXXXX").string();
        return mkdtemp(pattern.data());
    }
    ~ScriptFolder() override { std::filesystem::remove_all(folder); }
    std::string Do(const std::string& sql, const std::string& mdb = "mdb.mdb") {
        return script.Answer("ac=do&mdb=" + mdb + "&sql=" + Encode(sql));
    }
    // The reply in UTF-8.
    std::string Show(const std::string& sql) { return GbkToUtf8(script.Answer("ac=show&mdb=mdb.mdb&sql=" + Encode(sql))); }

    std::string folder = MakeFolder();
    BoardScript script{folder};
};

TEST(AccessSqlTest, TopBecomesLimit) {
    struct Case {
        const char* access;
        const char* sqlite;
    };
    const Case cases[] = {
        {"select top 50 a from t order by b desc", "select a from t order by b desc limit 50"},
        {"SELECT TOP 5 * FROM t;", "SELECT * FROM t limit 5"},
        {"  select distinct top 2 a from t", "  select distinct a from t limit 2"},
        {"select a from t", "select a from t"},
        {"select topping from t", "select topping from t"},
        {"delete from t where a='top 5'", "delete from t where a='top 5'"},
    };
    for (const Case& c : cases) EXPECT_EQ(TranslateAccessSql(c.access), c.sqlite) << c.access;
}

TEST(AccessSqlTest, FormatOfADateFollowsAccess) {
    struct Case {
        const char* value;
        const char* pattern;
        const char* expected;
    };
    const Case cases[] = {
        {"2026-03-04 05:06:07.890", "yyyy年mm月dd日 hh:ss:mm", "2026年03月04日 05:07:03"},  // mm after ss: month
        {"2026-03-04 05:06:07", "hh:mm:ss", "05:06:07"},
        {"2026-03-04 05:06:07", "yy-m-d h:n:s", "26-3-4 5:6:7"},
        {"2026-03-04", "yyyy/mm/dd", "2026/03/04"},
        {"not a date", "yyyy", "not a date"},
    };
    for (const Case& c : cases) EXPECT_EQ(AccessFormatDate(c.value, c.pattern), c.expected) << c.pattern;
}

TEST_F(ScriptFolder, BoardStatementsRunAndTheQueryAnswersATable) {
    EXPECT_EQ(Do("insert into 留言列表 (客人名称,留言内容) values ('游客','张三 说: 你好')"), "0");
    EXPECT_EQ(Do("insert into 留言列表 (客人名称,留言内容) values ('管理员','第二条')"), "0");
    std::string reply = Show(
        "select top 50 客人名称,留言内容,format(留言时间,'yyyy年mm月dd日 hh:ss:mm') as 时间 from 留言列表 "
        "order by 留言时间 desc");
    // Separators only, no terminators: with empty pieces kept the client reads exactly two rows.
    ASSERT_EQ(reply.rfind("客人名称" + C + "留言内容" + C + "时间" + R + "管理员" + C + "第二条" + C, 0), 0u) << reply;
    EXPECT_NE(reply.find(R + "游客" + C + "张三 说: 你好" + C), std::string::npos) << reply;
    EXPECT_NE(reply.back(), ']');
    EXPECT_EQ(Do("delete from 留言列表 where 客人名称='游客'"), "0");
    EXPECT_EQ(Show("select 客人名称 from 留言列表"), "客人名称" + R + "管理员");
}

TEST_F(ScriptFolder, EmptyResultStillHoldsTheRowToken) {
    EXPECT_EQ(Show("select 客人名称, 留言内容 from 留言列表"), "客人名称" + C + "留言内容" + R);
}

TEST_F(ScriptFolder, CellsLoseTheTableTokensAndNullIsEmpty) {
    EXPECT_EQ(Do("insert into 留言列表 (客人名称,留言内容) values (null,'a[ZOTRAMEK/[ZOTRAMEK/row]row]b[ZOTRAMEK/Col]c')"),
              "0");
    EXPECT_EQ(Show("select 客人名称, 留言内容 from 留言列表"), "客人名称" + C + "留言内容" + R + C + "abc");
}

TEST_F(ScriptFolder, RepliesForEachFailure) {
    std::ofstream(folder + "/garbage.mdb") << "this is not a database file, only text";
    struct Case {
        const char* what;
        std::string body;
        const char* reply;
    };
    const Case cases[] = {
        {"no ac", "mdb=mdb.mdb&sql=" + Encode("select 1"), "-1"},
        {"unknown ac", "ac=run&mdb=mdb.mdb&sql=" + Encode("select 1"), "-1"},
        {"ac in capitals", "ac=DO&mdb=mdb.mdb&sql=" + Encode("select 1"), "-1"},
        {"database outside the folder", "ac=do&mdb=../mdb.mdb&sql=" + Encode("select 1"), "-1"},
        {"absolute database path", "ac=do&mdb=/etc/passwd&sql=" + Encode("select 1"), "-1"},
        {"query that deletes", "ac=show&mdb=mdb.mdb&sql=" + Encode("delete from 留言列表"), "-1"},
        {"missing database", "ac=do&mdb=none.mdb&sql=" + Encode("select 1"), "1"},
        {"empty database name", "ac=do&mdb=&sql=" + Encode("select 1"), "1"},
        {"a file that is no database", "ac=do&mdb=garbage.mdb&sql=" + Encode("select 1"), "1"},
        {"malformed", "ac=do&mdb=mdb.mdb&sql=" + Encode("insert into 留言列表 values ('it's')"), "2"},
        {"unknown table", "ac=show&mdb=mdb.mdb&sql=" + Encode("select * from 无此表"), "2"},
        {"empty sql", "ac=do&mdb=mdb.mdb&sql=", "2"},
        {"two statements", "ac=do&mdb=mdb.mdb&sql=" + Encode("select 1; delete from 留言列表"), "2"},
        {"a trailing comment is one statement", "ac=do&mdb=mdb.mdb&sql=" + Encode("select 1; -- note"), "0"},
        {"a constraint fails while running",
         "ac=do&mdb=mdb.mdb&sql=" + Encode("insert into 留言列表 (id) values (1), (1)"), "2"},
    };
    for (const Case& c : cases) EXPECT_EQ(script.Answer(c.body), c.reply) << c.what;
    EXPECT_EQ(Show("select count(*) as n from 留言列表"), "n" + R + "0") << "no failed request changed the table";
    EXPECT_FALSE(std::filesystem::exists(folder + "/none.mdb")) << "a missing database is not created";
}

TEST_F(ScriptFolder, ExistingDatabaseKeepsItsMessages) {
    EXPECT_EQ(Do("insert into 留言列表 (客人名称,留言内容) values ('游客','留着')"), "0");
    BoardScript again(folder);
    EXPECT_EQ(GbkToUtf8(again.Answer("ac=show&mdb=mdb.mdb&sql=" + Encode("select 留言内容 from 留言列表"))),
              "留言内容" + R + "留着");
}

}  // namespace
