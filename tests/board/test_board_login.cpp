// The board's creation, login with the remembered name, message list and refresh counter.
#include <condition_variable>
#include <filesystem>
#include <functional>

#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "board_fixture.h"
#include "listening.h"

namespace orbiq::test {
namespace {

bool PanelShown(const BoardTest& t) {
    for (const char* u : {"标签2", "标签1", "编辑框1", "用户名字编辑框2", "留言发送按钮2"})
        if (!t.U(u).GetBool(Prop::Visible)) return false;
    return true;
}
bool ChatDisabled(const BoardTest& t) {
    for (const char* u : {"留言内容编辑框1", "留言发送按钮1", "留言内容说明标签1", "超级列表框1"})
        if (!t.U(u).GetBool(Prop::Disabled)) return false;
    return true;
}
bool ChatEnabled(const BoardTest& t) {
    for (const char* u : {"留言内容编辑框1", "留言发送按钮1", "留言内容说明标签1", "超级列表框1"})
        if (t.U(u).GetBool(Prop::Disabled)) return false;
    return true;
}

TEST_F(BoardTest, WithoutANameFileTheLoginWaitsAndTheListStillFills) {
    script_.Add(TXT("李四 说: 早"), TXT("2026年12月09日 08:00:00"));
    script_.Add(TXT("王五 说: 晚"), TXT("2026年12月09日 20:00:00"));
    Open();
    EXPECT_TRUE(platform::UnboundHandlers(window_).empty());
    EXPECT_TRUE(PanelShown(*this));
    EXPECT_TRUE(ChatDisabled(*this));
    EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), Text());
    EXPECT_EQ(U("自动刷新时钟1").GetInt(Prop::Interval), 0);
    EXPECT_TRUE(Boxes().empty());

    ASSERT_TRUE(WaitFor([&] { return platform::ReportRowCount(List()) == 2; }));
    EXPECT_EQ(platform::ReportCell(List(), 0, 1), TXT("王五 说: 晚")) << "newest first";
    EXPECT_EQ(platform::ReportCell(List(), 1, 1), TXT("李四 说: 早"));
    EXPECT_EQ(platform::ReportCell(List(), 0, 0), TXT("游客"));
    EXPECT_EQ(platform::ReportCell(List(), 0, 2), TXT("2026年12月09日 20:00:00"));
    ASSERT_EQ(platform::ReportColumnCount(List()), 3);
    EXPECT_EQ(platform::ReportColumnWidth(List(), 0), 0);
    EXPECT_EQ(platform::ReportColumnWidth(List(), 1), 501);
    EXPECT_EQ(platform::ReportColumnWidth(List(), 2), 0);

    // The request the loading thread made.
    ScriptRequest first = script_.Requests().front();
    EXPECT_EQ(first.ac, "show");
    EXPECT_EQ(first.mdb, "mdb.mdb");
    EXPECT_EQ(first.sql, BoardMessageQuery());
    EXPECT_EQ(BoardServer()->baseUrl, Text("http://") + hosts_.board + Text("/box/boo1/"));
    EXPECT_EQ(BoardServer()->timeoutSeconds, 5000);
}

TEST_F(BoardTest, CreationShapesTheWindow) {
    Open();
    EXPECT_EQ(Self().GetInt(Prop::Width), 548);
    EXPECT_EQ(Self().GetInt(Prop::Height), 359);
    ASSERT_TRUE(WaitFor([&] {
        PropValue v = Self().Get(Prop::Region);
        auto r = std::get_if<RoundRegion>(&v);
        return r && *r == RoundRegion{0, 0, 548, 359, 6, 6};
    }));
    EXPECT_EQ(U("透明标签1").GetText(Prop::Caption), TXT("ORBIQ网络电视用户交流"));
    EXPECT_EQ(U("透明标签1").GetInt(Prop::TextColour), 0x808080);
    EXPECT_EQ(U("留言内容编辑框1").GetText(Prop::Text), BoardPlaceholder());
    EXPECT_EQ(U("留言发送按钮1").GetText(Prop::Caption), TXT("发送")) << "the placeholder's TextChanged";
    EXPECT_EQ(U("进度条1").GetInt(Prop::Position), 0);
    EXPECT_FALSE(U("进度条1").GetBool(Prop::Visible));
    EXPECT_TRUE(std::filesystem::is_directory(NativePath(platform::ProgramFolder() + Text("\\data\\"))));
}

TEST_F(BoardTest, AStoredNameLogsInAtOnceAndIsWrittenAgain) {
    WriteNameFile(TXT("张三"));
    // Another layout of the same file: the login writes it in its own.
    std::string stored = "[" + TXT("用户信息").Bytes() + "]\n " + TXT("姓名").Bytes() + " =" + TXT("张三").Bytes() + "\n";
    ASSERT_TRUE(WriteFileAt(UserNameFilePath(), ByteSet(stored.begin(), stored.end())));
    Open();
    EXPECT_FALSE(U("标签1").GetBool(Prop::Visible));
    EXPECT_FALSE(U("用户名字编辑框2").GetBool(Prop::Visible));
    EXPECT_TRUE(ChatEnabled(*this));
    EXPECT_EQ(U("自动刷新时钟1").GetInt(Prop::Interval), 100);
    EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), TXT("张三"));
    EXPECT_EQ(NameFileBytes(), "[" + TXT("用户信息").Bytes() + "]\r\n" + TXT("姓名").Bytes() + "=" + TXT("张三").Bytes() + "\r\n");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(BoardTest, TheStaffNameInTheFileIsRefusedAtCreation) {
    WriteNameFile(StaffName());
    Open();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, TXT("请输入一个用户名！"));
    EXPECT_EQ(Boxes()[0].title, Text());
    EXPECT_TRUE(PanelShown(*this));
    EXPECT_TRUE(ChatDisabled(*this));
    EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), Text());
    EXPECT_TRUE(platform::UnitHasFocus(U("用户名字编辑框2")));
    EXPECT_EQ(platform::ReadIniKey(UserNameFilePath(), TXT("用户信息"), TXT("姓名")), StaffName()) << "not rewritten";
}

TEST_F(BoardTest, AnEmptyNameIsRefusedByClickAndByEnter) {
    Open();
    platform::RaiseEvent(U("留言发送按钮2"), "Click");
    QTest::keyClick(Widget("用户名字编辑框2"), Qt::Key_Return);
    ASSERT_EQ(Boxes().size(), 2u);
    for (auto& b : Boxes()) EXPECT_EQ(b.text, TXT("请输入一个用户名！"));
    EXPECT_TRUE(PanelShown(*this));
    EXPECT_TRUE(ChatDisabled(*this));
    EXPECT_FALSE(FileExists(UserNameFilePath()));
}

TEST_F(BoardTest, TypedNamesLogInAndAreRemembered) {
    struct Case {
        const char* typed;
        bool byEnter;
    };
    for (Case c : {Case{"小明", true}, Case{" ", false}, Case{"a'=|b", true}}) {
        SCOPED_TRACE(c.typed);
        DeleteFileAt(UserNameFilePath());
        Open();
        TypeText(Widget("用户名字编辑框2"), QString::fromUtf8(c.typed));
        if (c.byEnter) QTest::keyClick(Widget("用户名字编辑框2"), Qt::Key_Return);
        else platform::RaiseEvent(U("留言发送按钮2"), "Click");
        EXPECT_TRUE(ChatEnabled(*this));
        EXPECT_FALSE(PanelShown(*this));
        EXPECT_EQ(platform::ReadIniKey(UserNameFilePath(), TXT("用户信息"), TXT("姓名")), Text::FromUtf8(c.typed));
        CloseBoard();
        // The next opening logs in with it.
        Open();
        EXPECT_TRUE(ChatEnabled(*this));
        EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), Text::FromUtf8(c.typed));
        CloseBoard();
    }
    EXPECT_TRUE(Boxes().empty());
}

// A stored name is taken as it stands, past the 12 bytes typing allows; one longer than an edit
// box holds (32,767 bytes) reads as missing, and the file is left as it is.
TEST_F(BoardTest, AStoredNameLongerThanTheBoxHoldsReadsAsMissing) {
    struct Case {
        const char* what;
        std::string name;
        bool loggedIn;
    };
    const Case cases[] = {
        {"12 bytes", TXT("一二三四五六").Bytes(), true},
        {"22 bytes", TXT("一个很长的名字来自文件").Bytes(), true},
        {"32,767 bytes", std::string(32767, 'x'), true},
        {"32,768 bytes", std::string(32768, 'x'), false},
        {"20 MB", std::string(size_t{20} << 20, 'x'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CreateFolderAt(platform::ProgramFolder() + Text("\\data\\"));
        const std::string file = "[" + TXT("用户信息").Bytes() + "]\r\n" + TXT("姓名").Bytes() + "=" + c.name + "\r\n";
        ASSERT_TRUE(WriteFileAt(UserNameFilePath(), ByteSet(file.begin(), file.end())));
        Open();
        EXPECT_EQ(ChatEnabled(*this), c.loggedIn);
        EXPECT_EQ(U("标签1").GetBool(Prop::Visible), !c.loggedIn) << "the login panel";
        EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), c.loggedIn ? Text(c.name) : Text());
        EXPECT_EQ(FileSizeAt(UserNameFilePath()), static_cast<int64_t>(file.size()));
        CloseBoard();
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(BoardTest, TheNameFieldTakesTwelveBytesAndAPressEmptiesIt) {
    Open();
    TypeText(Widget("用户名字编辑框2"), QString::fromUtf8("一二三四五六七八"));
    EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), TXT("一二三四五六"));
    QTest::mouseClick(Widget("用户名字编辑框2"), Qt::LeftButton);
    EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), Text());
}

TEST_F(BoardTest, TheRefreshCounterRefreshesOnThe25thTickAndThenEvery51) {
    Open();
    U("用户名字编辑框2").Set(Prop::Text, TXT("张三"));
    platform::RaiseEvent(U("留言发送按钮2"), "Click");
    ASSERT_EQ(U("自动刷新时钟1").GetInt(Prop::Interval), 100);
    StopRefreshTimer();  // before it ticks: the test's ticks are the only ones
    ASSERT_EQ(U("进度条1").GetInt(Prop::Position), 0);
    const int base = script_.Count("show");
    std::vector<int> refreshedAt;
    std::vector<int32_t> positions;
    for (int tick = 1; tick <= 130; ++tick) {
        int before = script_.Count("show");
        platform::RaiseEvent(U("自动刷新时钟1"), "Tick");
        if (script_.Count("show") > before) refreshedAt.push_back(tick);
        if (tick >= 48 && tick <= 52) positions.push_back(U("进度条1").GetInt(Prop::Position));
    }
    EXPECT_EQ(refreshedAt, (std::vector<int>{25, 76, 127}));
    EXPECT_EQ(positions, (std::vector<int32_t>{96, 98, 100, 0, 2}));
    EXPECT_EQ(script_.Count("show") - base, 3);
}

TEST_F(BoardTest, AFailedQueryWarnsOnceAndEmptiesTheListUntilTheNextGoodOne) {
    script_.Add(TXT("李四 说: 早"), TXT("t1"));
    script_.SetReply(std::string());
    Open();
    ASSERT_TRUE(WaitFor([&] { return Boxes().size() == 1; }));
    EXPECT_EQ(Boxes()[0].text, TXT("您的发送速度过快，请不要刷屏"));
    EXPECT_EQ(Boxes()[0].title, TXT("警告"));
    Pump(100);
    EXPECT_EQ(platform::ReportColumnCount(List()), 0);
    EXPECT_EQ(platform::ReportRowCount(List()), 0);

    script_.SetReply(std::nullopt);
    RefreshMessageList(window_);
    EXPECT_EQ(platform::ReportColumnCount(List()), 3);
    EXPECT_EQ(platform::ReportRowCount(List()), 1);
    script_.SetReply(std::string("1"));
    RefreshMessageList(window_);
    EXPECT_EQ(Boxes().back().text, TXT("数据库文件不存在."));
    EXPECT_EQ(platform::ReportColumnCount(List()), 0);
    EXPECT_EQ(Boxes().size(), 2u);
}

TEST_F(BoardTest, CellsGoByColumnNameWhateverTheHeaderOrder) {
    Open();
    const std::string col = "[ZOTRAMEK/Col]", row = "[ZOTRAMEK/row]";
    script_.SetReply(TXT("时间").Bytes() + col + TXT("留言内容").Bytes() + col + TXT("客人名称").Bytes() + row + "T" + col +
                     "C" + col + "G");
    RefreshMessageList(window_);
    ASSERT_EQ(platform::ReportColumnCount(List()), 3);
    EXPECT_EQ(platform::ReportColumnTitle(List(), 1), TXT("留言内容"));
    EXPECT_EQ(platform::ReportCell(List(), 0, 0), Text("G"));
    EXPECT_EQ(platform::ReportCell(List(), 0, 1), Text("C"));
    EXPECT_EQ(platform::ReportCell(List(), 0, 2), Text("T"));

    // The header alone: three columns, no rows (a header with no row token is no table).
    script_.SetReply(TXT("客人名称").Bytes() + col + TXT("留言内容").Bytes() + col + TXT("时间").Bytes() + row);
    RefreshMessageList(window_);
    EXPECT_EQ(platform::ReportColumnCount(List()), 3);
    EXPECT_EQ(platform::ReportRowCount(List()), 0) << "no blank row to select";
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(BoardTest, ARefreshDueWhileAnotherWaitsRunsAfterIt) {
    for (int i = 0; i < 3; ++i) script_.Add(Text::Number(i), Text("t"));
    Open();
    StopRefreshTimer();
    script_.SetQueryDelayMs(300);
    const int before = script_.Count("show");
    // Two more refreshes come due while the first one waits for its reply.
    QTimer::singleShot(50, [this] { RefreshMessageList(window_); });
    QTimer::singleShot(100, [this] {
        script_.Add(Text("late"), Text("t"));
        RefreshMessageList(window_);
    });
    RefreshMessageList(window_);
    EXPECT_EQ(script_.Count("show") - before, 2) << "the two that came due ran as one, afterwards";
    EXPECT_EQ(script_.MostQueriesAtOnce(), 1);
    EXPECT_EQ(platform::ReportRowCount(List()), 4);
    EXPECT_EQ(platform::ReportCell(List(), 0, 1), Text("late"));
}

// A board script that holds every reply until it is released, then answers with an empty list.
class HeldScript {
public:
    HeldScript() {
        server_.Post("/box/boo1/wms.asp", [this](const httplib::Request&, httplib::Response& res) {
            std::unique_lock lock(mutex_);
            ++waiting_;
            released_.wait(lock, [this] { return released; });
            --waiting_;
            res.set_content("a[ZOTRAMEK/row]", "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = orbiq::test::ListenInBackground(server_);
    }
    ~HeldScript() {
        Release();
        WaitFor([this] { return Waiting() == 0; });
        server_.stop();
        thread_.join();
    }
    Text Host() const { return Text(Loopback(port_)); }
    int Waiting() {
        std::lock_guard lock(mutex_);
        return waiting_;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released = true;
        released_.notify_all();
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable released_;
    bool released = false;
    int waiting_ = 0;
};

TEST_F(BoardTest, AHungRefreshOfAClosedWindowHoldsBackNoOtherWindow) {
    HeldScript held;
    hosts_.board = held.Host();
    Open(false);
    StopRefreshTimer();
    const uint64_t first = window_;
    bool ranInside = false;
    int polls = 0;
    // Runs inside the first window's refresh once its request waits beside the loading thread's.
    std::function<void()> inside = [&] {
        if (held.Waiting() < 2 && ++polls < 2000) {
            QTimer::singleShot(5, inside);
            return;
        }
        struct ReleaseAtEnd {
            HeldScript& script;
            ~ReleaseAtEnd() { script.Release(); }
        } releaseAtEnd{held};
        ASSERT_EQ(held.Waiting(), 2) << "the loading thread's request and the refresh's";
        CloseBoard();
        hosts_.board = script_.Host();
        script_.Add(Text("early"), Text("t"));
        Open();
        StopRefreshTimer();
        script_.Add(Text("late"), Text("t"));
        const int before = script_.Count("show");
        RefreshMessageList(window_);
        EXPECT_EQ(script_.Count("show"), before + 1) << "the new window's refresh ran at once";
        EXPECT_EQ(platform::ReportCell(List(), 0, 1), Text("late"));
        ranInside = true;
    };
    QTimer::singleShot(0, inside);
    RefreshMessageList(first);  // hangs until released
    EXPECT_TRUE(ranInside);
    EXPECT_EQ(platform::ReportCell(List(), 0, 1), Text("late")) << "the closed window's reply touched nothing";
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(BoardTest, AListArrivingAfterTheWindowClosedTouchesNothing) {
    script_.SetQueryDelayMs(300);
    Open(false);
    uint64_t first = window_;
    CloseBoard();
    Open(false);
    EXPECT_NE(window_, first);
    ASSERT_TRUE(WaitFor([&] { return script_.Count("show") == 2; }));
    Pump(100);
    EXPECT_EQ(platform::ReportColumnCount(List()), 3);
}

TEST_F(BoardTest, ReopeningInstallsTheWarningsAndTheRecordAgain) {
    Open();
    auto firstRecord = BoardServer();
    CloseBoard();
    SetReplyCodeHandlers(nullptr, nullptr, nullptr, nullptr);
    Open();
    EXPECT_NE(BoardServer(), firstRecord) << "a new record";
    EXPECT_EQ(gIllegalOperationHandler.load(), &WarnIllegalOperation);
    EXPECT_EQ(gDatabaseMissingHandler.load(), &WarnDatabaseMissing);
    EXPECT_EQ(gSqlErrorHandler.load(), &WarnSqlError);
    EXPECT_EQ(gUnexpectedReplyHandler.load(), &WarnSendingTooFast);
}

}  // namespace
}  // namespace orbiq::test
