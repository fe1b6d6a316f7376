// The board script of the local site: its Access translation, its reply codes and its tables.
#include "site/board_script.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text.h"
#include "site/site_server.h"

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
        {"query that deletes", "ac=show&mdb=mdb.mdb&sql=" + Encode("delete from 留言列表"), "2"},
        {"missing database", "ac=do&mdb=none.mdb&sql=" + Encode("select 1"), "1"},
        {"empty database name", "ac=do&mdb=&sql=" + Encode("select 1"), "1"},
        {"a file that is no database", "ac=do&mdb=garbage.mdb&sql=" + Encode("select 1"), "1"},
        {"malformed", "ac=do&mdb=mdb.mdb&sql=" + Encode("insert into 留言列表 values ('it's')"), "2"},
        {"unknown table", "ac=show&mdb=mdb.mdb&sql=" + Encode("select * from 无此表"), "2"},
        {"empty sql", "ac=do&mdb=mdb.mdb&sql=", "2"},
        {"two statements", "ac=do&mdb=mdb.mdb&sql=" + Encode("delete from 留言列表 where id=0; delete from 留言列表"),
         "2"},
        {"a trailing comment is one statement",
         "ac=do&mdb=mdb.mdb&sql=" + Encode("delete from 留言列表 where id=0; -- note"), "0"},
        {"a constraint fails while running",
         "ac=do&mdb=mdb.mdb&sql=" + Encode("insert into 留言列表 (id) values (1), (1)"), "2"},
    };
    for (const Case& c : cases) EXPECT_EQ(script.Answer(c.body), c.reply) << c.what;
    EXPECT_EQ(Show("select 留言内容 from 留言列表"), "留言内容" + R) << "no failed request changed the table";
    EXPECT_FALSE(std::filesystem::exists(folder + "/none.mdb")) << "a missing database is not created";
}

TEST_F(ScriptFolder, ExistingDatabaseKeepsItsMessages) {
    EXPECT_EQ(Do("insert into 留言列表 (客人名称,留言内容) values ('游客','留着')"), "0");
    BoardScript again(folder);
    EXPECT_EQ(GbkToUtf8(again.Answer("ac=show&mdb=mdb.mdb&sql=" + Encode("select 留言内容 from 留言列表"))),
              "留言内容" + R + "留着");
}

}  // namespace

namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class ScriptLimits : public ScriptFolder {
protected:
    void SetUp() override {
        ASSERT_EQ(Do("insert into 留言列表 (客人名称,留言内容) values ('游客','留着')"), "0");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((folder + "/mdb.mdb").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "create table 秘密 (口令 text); insert into 秘密 values ('x');", nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    ~ScriptLimits() override { std::filesystem::remove_all(elsewhere); }
    std::string elsewhere = MakeFolder();
};

TEST_F(ScriptLimits, OnlyTheBoardsStatementsRun) {
    const std::string copy = elsewhere + "/copy.db";
    struct Case {
        const char* ac;
        std::string sql;
    };
    const Case cases[] = {
        {"do", "drop table 留言列表"},
        {"do", "attach database '" + elsewhere + "/a.db' as a"},
        {"do", "vacuum into '" + copy + "'"},
        {"do", "vacuum"},
        {"do", "update 留言列表 set 留言内容='改了'"},
        {"do", "delete from 秘密"},
        {"do", "create table t (a)"},
        {"do", "pragma user_version=5"},
        {"do", "select * from 留言列表"},
        {"do", "insert into 留言列表 (客人名称,留言内容) values ('游客',(select group_concat(name) from sqlite_master))"},
        {"do", "insert into 留言列表 (客人名称,留言内容) values ('游客',sqlite_version())"},
        {"do", "insert into 留言列表 (客人名称,留言内容) select 'a', 口令 from 秘密"},
        {"do", "delete from 留言列表 where 留言内容 in (select 口令 from 秘密)"},
        {"do", "explain delete from 留言列表"},
        {"show", "select * from 秘密"},
        {"show", "select name from sqlite_master"},
        {"show", "select sqlite_version()"},
        {"show", "select 留言内容 from 留言列表 union select 口令 from 秘密"},
        {"show", "with recursive c(x) as (select 1 union all select x+1 from c) select x from c"},
        {"show", "insert into 留言列表 (留言内容) values ('x')"},
    };
    const std::string before = FileBytes(folder + "/mdb.mdb");
    const std::vector<std::string> files = Listing(folder);
    for (const Case& c : cases) {
        EXPECT_EQ(script.Answer(std::string("ac=") + c.ac + "&mdb=mdb.mdb&sql=" + Encode(c.sql)), "2") << c.sql;
    }
    EXPECT_EQ(FileBytes(folder + "/mdb.mdb"), before) << "the database is unchanged";
    EXPECT_EQ(Listing(folder), files);
    EXPECT_TRUE(Listing(elsewhere).empty()) << "no file written elsewhere";
    EXPECT_EQ(Show("select 客人名称,留言内容 from 留言列表"), "客人名称" + C + "留言内容" + R + "游客" + C + "留着");
}

TEST_F(ScriptLimits, TheBoardsOwnStatementsStillRun) {
    EXPECT_EQ(Do("insert into 留言列表 (客人名称,留言内容) values ('游客','张三 说: it''s')"), "0");
    std::string reply = Show(
        "select top 50 客人名称,留言内容,format(留言时间,'yyyy年mm月dd日 hh:ss:mm') as 时间 from 留言列表 "
        "order by 留言时间 desc");
    EXPECT_EQ(reply.rfind("客人名称" + C + "留言内容" + C + "时间" + R + "游客" + C + "张三 说: it's" + C, 0), 0u) << reply;
    EXPECT_EQ(Do("delete from 留言列表 where 客人名称='游客'"), "0");
    EXPECT_EQ(Show("select 留言内容 from 留言列表"), "留言内容" + R);
}

class SiteBoardHost : public ::testing::Test {
protected:
    SiteBoardHost() {
        folder = (std::filesystem::temp_directory_path() / "orbiq-site-test-XXXXXX").string();
        mkdtemp(folder.data());
        site.SetBoardFolder(folder);
    }
    ~SiteBoardHost() override {
        site.Stop();
        std::filesystem::remove_all(folder);
    }
    std::string folder;
    orbiq::site::SiteServer site;
};

TEST_F(SiteBoardHost, ARequestFromAWebPageIsRefused) {
    ASSERT_TRUE(site.Start());
    httplib::Client client("127.0.0.1", site.boardPort());
    const std::string body = "ac=do&mdb=mdb.mdb&sql=" + Encode("insert into 留言列表 (留言内容) values ('页面')");
    auto refused = client.Post("/box/boo1/wms.asp", {{"Origin", "http://example.com"}}, body,
                               "application/x-www-form-urlencoded");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
    EXPECT_EQ(refused->body, "-1");
    auto list = client.Post("/box/boo1/wms.asp", "ac=show&mdb=mdb.mdb&sql=" + Encode("select 留言内容 from 留言列表"),
                            "application/x-www-form-urlencoded");
    ASSERT_TRUE(list);
    EXPECT_EQ(GbkToUtf8(list->body), "留言内容" + R) << "nothing was inserted";
    auto plain = client.Post("/box/boo1/wms.asp", body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->body, "0") << "the player's own request, with no Origin, runs";
}

TEST_F(SiteBoardHost, APortTakenByAnotherProcessFailsTheWholeStart) {
    orbiq::site::SiteServer first;
    ASSERT_TRUE(first.Start());
    // Only the board's port is taken: the other hosts got theirs and let them go again.
    orbiq::site::SitePorts ports;
    ports.board = first.boardPort();
    EXPECT_FALSE(site.Start(ports));
    ASSERT_GT(site.sitePort(), 0);
    httplib::Client client("127.0.0.1", site.sitePort());
    client.set_connection_timeout(2);
    EXPECT_FALSE(client.Get("/rq.txt")) << "nothing keeps listening after a failed start";
    first.Stop();
}

}  // namespace
