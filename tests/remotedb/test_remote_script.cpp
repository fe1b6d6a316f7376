// The client against the local site's board script and its SQLite database.
#include "remotedb/remote_db.h"

#include "test_support.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <string>
#include <thread>

using namespace orbiq;

namespace {

std::atomic<int> gScriptRuns[4];
void Illegal() { ++gScriptRuns[0]; }
void Missing() { ++gScriptRuns[1]; }
void SqlError() { ++gScriptRuns[2]; }
void Unexpected() { ++gScriptRuns[3]; }

const char* const kBoardQuery =
    "select top 50 客人名称,留言内容,format(留言时间,'yyyy年mm月dd日 hh:ss:mm') as 时间 from 留言列表 order by "
    "留言时间 desc";

class BoardScriptTest : public ::testing::Test {
public:
    void SetUp() override {
        SetReplyCodeHandlers(Illegal, Missing, SqlError, Unexpected);
        for (auto& r : gScriptRuns) r = 0;
        board = MakeRemoteDbServer(Text("http://") + site.hosts.board + Text("/box/boo1"), Text("mdb.mdb"),
                                   Text("wms.asp"), 20);
    }
    // The counts of the four handlers since the set-up.
    std::vector<int> Runs() const { return {gScriptRuns[0], gScriptRuns[1], gScriptRuns[2], gScriptRuns[3]}; }
    bool Send(const std::string& utf8Record) {
        return InsertRemoteRecord(board, TXT("留言列表"), Text::FromUtf8(utf8Record));
    }
    ReplyTable Latest() { return RunRemoteQuery(board, TXT(kBoardQuery)); }
    std::string Cell(const ReplyTable& t, int row, const char* column) {
        return GetReplyCell(t, row, Text::FromUtf8(column)).ToUtf8();
    }

    test::LocalSite site;
    RemoteDbServer board;
};

TEST_F(BoardScriptTest, InsertedMessageComesBackThroughTheBoardQuery) {
    ASSERT_TRUE(Send("客人名称='游客'|留言内容='张三 说: 你好，世界'"));
    ReplyTable t = Latest();
    ASSERT_EQ(GetReplyColumnCount(t), 3);
    EXPECT_EQ(GetReplyColumnName(t, 1), TXT("客人名称"));
    EXPECT_EQ(GetReplyColumnName(t, 2), TXT("留言内容"));
    EXPECT_EQ(GetReplyColumnName(t, 3), TXT("时间"));
    ASSERT_EQ(GetReplyRowCount(t), 1);
    EXPECT_EQ(Cell(t, 1, "客人名称"), "游客");
    EXPECT_EQ(Cell(t, 1, "留言内容"), "张三 说: 你好，世界");
    EXPECT_TRUE(std::regex_match(Cell(t, 1, "时间"), std::regex("\\d{4}年\\d\\d月\\d\\d日 \\d\\d:\\d\\d:\\d\\d")))
        << Cell(t, 1, "时间");
    EXPECT_EQ(Runs(), (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(BoardScriptTest, LatestFiftyNewestFirst) {
    for (int i = 1; i <= 52; ++i) ASSERT_TRUE(Send("客人名称='游客'|留言内容='第" + std::to_string(i) + "条'"));
    ReplyTable t = Latest();
    ASSERT_EQ(GetReplyRowCount(t), 50);
    EXPECT_EQ(Cell(t, 1, "留言内容"), "第52条");
    EXPECT_EQ(Cell(t, 50, "留言内容"), "第3条");
}

TEST_F(BoardScriptTest, DeleteRemovesTheGuestMessagesOnly) {
    ASSERT_TRUE(Send("客人名称='游客'|留言内容='a'"));
    ASSERT_TRUE(Send("客人名称='管理员'|留言内容='b'"));
    ASSERT_TRUE(Send("客人名称='游客'|留言内容='c'"));
    EXPECT_TRUE(DeleteRemoteRecords(board, TXT("留言列表"), TXT("客人名称='游客'")));
    ReplyTable t = Latest();
    ASSERT_EQ(GetReplyRowCount(t), 1);
    EXPECT_EQ(Cell(t, 1, "留言内容"), "b");
}

TEST_F(BoardScriptTest, EachFailureReachesItsHandler) {
    ASSERT_TRUE(Send("客人名称='游客'|留言内容='keep'"));
    struct Case {
        const char* what;
        std::function<bool(BoardScriptTest&)> request;  // true: the request succeeded
        std::vector<int> runs;
    };
    const Case cases[] = {
        {"a query that changes data is refused",
         [](BoardScriptTest& f) { return !RunRemoteQuery(f.board, TXT("delete from 留言列表")).rows.empty(); },
         {0, 0, 1, 0}},
        {"a database name outside the folder is illegal",
         [](BoardScriptTest& f) {
             RemoteDbServer s = f.board;
             s.databaseName = Text("../mdb.mdb");
             return ExecuteRemoteSql(s, TXT("delete from 留言列表"));
         },
         {1, 0, 0, 0}},
        {"a missing database",
         [](BoardScriptTest& f) {
             RemoteDbServer s = f.board;
             s.databaseName = Text("none.mdb");
             return ExecuteRemoteSql(s, Text("select 1"));
         },
         {0, 1, 0, 0}},
        {"an unknown column", [](BoardScriptTest& f) { return f.Send("客人名称='x'|无此列='y'"); }, {0, 0, 1, 0}},
        {"a quote in the message", [](BoardScriptTest& f) { return f.Send("客人名称='游客'|留言内容='it's'"); },
         {0, 0, 1, 0}},
        {"two statements in one",
         [](BoardScriptTest& f) {
             return ExecuteRemoteSql(f.board, TXT("insert into 留言列表 (客人名称) values ('x'); delete from 留言列表"));
         },
         {0, 0, 1, 0}},
        {"an empty statement", [](BoardScriptTest& f) { return ExecuteRemoteSql(f.board, Text()); }, {0, 0, 1, 0}},
        {"another script path gives a page that is no reply",
         [](BoardScriptTest& f) {
             RemoteDbServer s = f.board;
             s.scriptName = Text("other.asp");
             return !RunRemoteQuery(s, Text("select 1 as a")).rows.empty();
         },
         {0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        for (auto& r : gScriptRuns) r = 0;
        EXPECT_FALSE(c.request(*this)) << c.what;
        EXPECT_EQ(Runs(), c.runs) << c.what;
    }
    ReplyTable t = Latest();
    ASSERT_EQ(GetReplyRowCount(t), 1) << "no failed request changed the table";
    EXPECT_EQ(Cell(t, 1, "留言内容"), "keep");
}

TEST_F(BoardScriptTest, StoppedScriptHostGivesTheUnexpectedReply) {
    site.server.Stop();
    EXPECT_FALSE(Send("客人名称='游客'|留言内容='x'"));
    EXPECT_TRUE(Latest().rows.empty());
    EXPECT_EQ(Runs(), (std::vector<int>{0, 0, 0, 2}));
}

TEST_F(BoardScriptTest, OverlappingRequestsEachGetTheirOwnReply) {
    // The outer query keeps SQLite busy long enough for a timer and a thread to send theirs:
    // 40 rows joined four times over, one combination kept.
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(Send("客人名称='x'|留言内容='x'"));
    const Text slow = TXT(
        "select 'outer' as w from 留言列表 a, 留言列表 b, 留言列表 c, 留言列表 d where a.id * b.id * c.id * d.id = 1");
    std::string nested;
    bool nestedInserted = false;
    QTimer::singleShot(0, [&] {
        nestedInserted = Send("客人名称='游客'|留言内容='嵌套'");
        nested = Cell(RunRemoteQuery(board, Text("select 'inner' as w")), 1, "w");
    });
    std::atomic<int> threadOk{0};
    std::thread other([&] {
        for (int i = 0; i < 5; ++i) {
            Text q = Text::FromUtf8("select '线程" + std::to_string(i) + "' as w");
            if (GetReplyCell(RunRemoteQuery(board, q), 1, Text("w")) == Text::FromUtf8("线程" + std::to_string(i)))
                ++threadOk;
        }
    });
    ReplyTable outer = RunRemoteQuery(board, slow);
    other.join();
    EXPECT_EQ(GetReplyRowCount(outer), 1);
    EXPECT_EQ(Cell(outer, 1, "w"), "outer");
    EXPECT_EQ(nested, "inner") << "the timer's requests ran inside the outer wait";
    EXPECT_TRUE(nestedInserted);
    EXPECT_EQ(threadOk, 5);
    EXPECT_EQ(Runs(), (std::vector<int>{0, 0, 0, 0}));
}

}  // namespace
