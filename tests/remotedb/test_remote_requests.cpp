// The two requests against a scripted server: the wire format and the dispatch of every
// reply to its result and its one handler.
#include "remotedb/remote_db.h"
#include "web/url.h"

#include "test_support.h"

#include <httplib.h>

#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "listening.h"

using namespace orbiq;

namespace {

// Which handler ran, counted per routine.
std::atomic<int> gRuns[4];
void CountIllegal() { ++gRuns[0]; }
void CountMissing() { ++gRuns[1]; }
void CountSqlError() { ++gRuns[2]; }
void CountUnexpected() { ++gRuns[3]; }
enum Ran { kNone = -1, kIllegal = 0, kMissing = 1, kSqlError = 2, kUnexpected = 3 };

void ResetRuns() {
    for (auto& r : gRuns) r = 0;
}
// The one handler that ran since the reset, kNone when none; fails when more than one ran.
int OnlyRun() {
    int which = kNone, total = 0;
    for (int i = 0; i < 4; ++i) {
        total += gRuns[i];
        if (gRuns[i]) which = i;
    }
    EXPECT_LE(total, 1) << "more than one handler ran";
    return which;
}

// Answers every POST with the reply set beforehand and records what it received.
struct ScriptedServer {
    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::mutex mutex;
    std::string reply;
    int delayMs = 0;
    std::vector<httplib::Request> received;

    ScriptedServer() {
        server.Post(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            int delay;
            {
                std::lock_guard lock(mutex);
                received.push_back(req);
                res.set_content(reply, "text/html");
                delay = delayMs;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = orbiq::test::ListenInBackground(server);
    }
    ~ScriptedServer() {
        server.stop();
        thread.join();
    }
    void Reply(std::string r) {
        std::lock_guard lock(mutex);
        reply = std::move(r);
    }
    RemoteDbServer Record() const {
        return MakeRemoteDbServer(Text("http://127.0.0.1:" + std::to_string(port) + "/box/boo1"), Text("mdb.mdb"),
                                  Text("wms.asp"), 10);
    }
};

class RemoteRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetReplyCodeHandlers(CountIllegal, CountMissing, CountSqlError, CountUnexpected);
        ResetRuns();
    }
    ScriptedServer script;
};

TEST_F(RemoteRequestTest, PostsTheFormBodyToTheScript) {
    script.Reply("0");
    RemoteDbServer server = script.Record();
    ASSERT_TRUE(ExecuteRemoteSql(server, TXT("delete from 留言列表 where 客人名称='游客'")));
    RunRemoteQuery(server, Text("ab"));
    RunRemoteQuery(server, Text());
    ASSERT_EQ(script.received.size(), 3u);
    const httplib::Request& statement = script.received[0];
    EXPECT_EQ(statement.method, "POST");
    EXPECT_EQ(statement.path, "/box/boo1/wms.asp");
    EXPECT_EQ(statement.get_header_value("Content-Type"), "application/x-www-form-urlencoded");
    std::string encoded;
    for (unsigned char b : TXT("delete from 留言列表 where 客人名称='游客'").Bytes()) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", b);
        encoded += hex;
    }
    EXPECT_EQ(statement.body, "ac=do&mdb=mdb.mdb&sql=" + encoded);
    EXPECT_EQ(script.received[1].body, "ac=show&mdb=mdb.mdb&sql=%61%62");
    EXPECT_EQ(script.received[2].body, "ac=show&mdb=mdb.mdb&sql=");
}

TEST_F(RemoteRequestTest, DatabaseNameGoesOutUnencoded) {
    script.Reply("0");
    RemoteDbServer server = script.Record();
    server.databaseName = Text("a b&c.mdb");
    ExecuteRemoteSql(server, Text("x"));
    ASSERT_EQ(script.received.size(), 1u);
    EXPECT_EQ(script.received[0].body, "ac=do&mdb=a b&c.mdb&sql=%78");
}

TEST_F(RemoteRequestTest, EveryReplyReachesItsResultAndOneHandler) {
    const std::string row = "[ZOTRAMEK/row]";
    struct Case {
        std::string reply;
        bool statementResult;
        int statementRan;
        int queryRows;  // -1: the empty table
        int queryRan;
    };
    const Case cases[] = {
        {"0", true, kNone, -1, kUnexpected},
        {"-1", false, kIllegal, -1, kIllegal},
        {"1", false, kMissing, -1, kMissing},
        {"2", false, kSqlError, -1, kSqlError},
        {"0\r\n", false, kUnexpected, -1, kUnexpected},
        {"0 ", false, kUnexpected, -1, kUnexpected},
        {" -1", false, kUnexpected, -1, kUnexpected},
        {"3", false, kUnexpected, -1, kUnexpected},
        {"", false, kUnexpected, -1, kUnexpected},
        {"a[ZOTRAMEK/Col]b", false, kUnexpected, -1, kUnexpected},
        {"a" + row + "1", false, kUnexpected, 1, kNone},
        {"a" + row + "1" + row + "2", false, kUnexpected, 2, kNone},
        {"<html>error [ZOTRAMEK/ROW]</html>", false, kUnexpected, -1, kUnexpected},
    };
    RemoteDbServer server = script.Record();
    for (const Case& c : cases) {
        SCOPED_TRACE("reply \"" + c.reply + "\"");
        script.Reply(c.reply);
        ResetRuns();
        EXPECT_EQ(ExecuteRemoteSql(server, Text("s")), c.statementResult);
        EXPECT_EQ(OnlyRun(), c.statementRan);
        ResetRuns();
        ReplyTable table = RunRemoteQuery(server, Text("q"));
        EXPECT_EQ(OnlyRun(), c.queryRan);
        if (c.queryRows < 0) {
            EXPECT_TRUE(table.rows.empty());
            EXPECT_EQ(GetReplyColumnCount(table), 0);
        } else {
            EXPECT_EQ(GetReplyRowCount(table), c.queryRows);
        }
    }
}

TEST_F(RemoteRequestTest, BuildersSendOnlyWellFormedRecords) {
    script.Reply("0");
    RemoteDbServer server = script.Record();
    EXPECT_FALSE(InsertRemoteRecord(server, TXT("留言列表"), TXT("客人名称='游客'|留言内容='a=b'")));
    EXPECT_TRUE(script.received.empty()) << "a refused record is not sent";
    EXPECT_EQ(OnlyRun(), kNone);

    EXPECT_TRUE(InsertRemoteRecord(server, Text("T"), Text("a=1")));
    EXPECT_TRUE(DeleteRemoteRecords(server, Text("T"), Text()));
    script.Reply("2");
    EXPECT_FALSE(InsertRemoteRecord(server, Text("T"), Text("a=1")));
    EXPECT_EQ(OnlyRun(), kSqlError);
    ASSERT_EQ(script.received.size(), 3u);
    EXPECT_EQ(Text(script.received[0].body).Find(PercentEncodeAllBytes(Text("insert into T (a) values (1)"))),
              23);
    EXPECT_EQ(script.received[1].body,
              "ac=do&mdb=mdb.mdb&sql=" + PercentEncodeAllBytes(Text("delete from T where ")).Bytes());
}

TEST_F(RemoteRequestTest, HandlerInForceWhenTheReplyArrivesRuns) {
    script.Reply("1");
    script.delayMs = 300;
    RemoteDbServer server = script.Record();
    SetReplyCodeHandlers(CountIllegal, CountIllegal, CountIllegal, CountIllegal);
    QTimer::singleShot(0, [] { SetReplyCodeHandlers(CountIllegal, CountMissing, CountSqlError, CountUnexpected); });
    EXPECT_FALSE(ExecuteRemoteSql(server, Text("x")));
    EXPECT_EQ(OnlyRun(), kMissing);
}

TEST_F(RemoteRequestTest, HandlerRunsOnTheRequestingThreadBeforeTheRequestReturns) {
    static std::atomic<std::thread::id> ranOn;
    static std::atomic<bool> returned{false};
    static std::atomic<bool> ranBeforeReturn{false};
    SetReplyCodeHandlers(nullptr, nullptr, nullptr, [] {
        ranOn = std::this_thread::get_id();
        ranBeforeReturn = !returned;
    });
    script.Reply("unexpected");
    RemoteDbServer server = script.Record();
    std::thread::id worker;
    std::thread t([&] {
        worker = std::this_thread::get_id();
        ExecuteRemoteSql(server, Text("x"));
        returned = true;
    });
    t.join();
    EXPECT_EQ(ranOn.load(), worker);
    EXPECT_TRUE(ranBeforeReturn);
}

TEST_F(RemoteRequestTest, FailedConnectionCountsAsUnexpected) {
    RemoteDbServer dead = MakeRemoteDbServer(Text("http://" + test::Loopback(test::ClosedPort()) + "/box/boo1"),
                                             Text("mdb.mdb"), Text("wms.asp"), 5);
    EXPECT_FALSE(ExecuteRemoteSql(dead, Text("x")));
    EXPECT_EQ(OnlyRun(), kUnexpected);
    ResetRuns();
    EXPECT_TRUE(RunRemoteQuery(dead, Text("x")).rows.empty());
    EXPECT_EQ(OnlyRun(), kUnexpected);
}

TEST_F(RemoteRequestTest, TimeOutGivesTheEmptyReply) {
    script.Reply("0");
    script.delayMs = 2500;
    RemoteDbServer server = script.Record();
    server.timeoutSeconds = 1;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ExecuteRemoteSql(server, Text("x")));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 1.0);
    EXPECT_LT(seconds, 2.4);
    EXPECT_EQ(OnlyRun(), kUnexpected);
}

TEST_F(RemoteRequestTest, NoHandlerInstalledRunsNothing) {
    SetReplyCodeHandlers(nullptr, nullptr, nullptr, nullptr);
    script.Reply("2");
    EXPECT_FALSE(ExecuteRemoteSql(script.Record(), Text("x")));
    EXPECT_EQ(OnlyRun(), kNone);
}

}  // namespace
