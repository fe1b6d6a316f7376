#include "board/board_window.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "board/board_units.h"
#include "common/files.h"
#include "common/window_rounding.h"
#include "platform/ui/program.h"

namespace orbiq {

uint64_t gMessageBoardWindow = 0;

namespace {

std::mutex gServerMutex;
// Empty texts and time-out 0 until the first opening.
std::shared_ptr<const RemoteDbServer> gBoardServer = std::make_shared<const RemoteDbServer>();

// One refresh at a time per window on the UI thread: a refresh that comes due while one of
// the same window waits for its reply runs once that one has ended, instead of nesting another
// wait inside it. Other windows' refreshes are not held back. Keyed by window id (never reused).
struct RefreshState {
    bool pending = false;
};
std::map<uint64_t, RefreshState> gRefreshRunning;

void StoreBoardServer(RemoteDbServer server) {
    auto record = std::make_shared<const RemoteDbServer>(std::move(server));
    std::lock_guard lock(gServerMutex);
    gBoardServer = std::move(record);  // the previous record goes once no request holds it
}

// Steps 3 to 7 of a refresh: always on the UI thread and in one pass, so two refills never
// interleave and the list is not repainted between its steps. The table is already bounded
// (kReplyMaxDataRows, kReplyMaxColumns), so is the work here.
void RefillMessageList(uint64_t window, ReplyTable table) {
    if (!platform::WindowExists(window)) return;
    std::vector<Text> titles;
    for (int32_t c = 1; c <= GetReplyColumnCount(table); ++c) titles.push_back(GetReplyColumnName(table, c));
    std::vector<std::vector<Text>> rows;
    rows.reserve(static_cast<size_t>(GetReplyRowCount(table)));
    const Text* const names[] = {&TXT("客人名称"), &TXT("留言内容"), &TXT("时间")};  // columns 0, 1, 2
    for (int32_t r = 1; r <= GetReplyRowCount(table); ++r) {
        std::vector<Text>& cells = rows.emplace_back();
        cells.reserve(std::size(names));
        for (const Text* name : names) cells.push_back(GetReplyCell(table, r, *name));
    }
    table = {};
    platform::ReportReplaceAll(BoardUnit(window, "超级列表框1"), std::move(titles), 100, std::move(rows));
    FitMessageListColumns(window);
    GiveBackFreedMemory();  // what the reply, its table and the list's previous rows took
}

// The loading thread's refresh: the query here, the refill handed to the UI thread.
void LoadOnThread(uint64_t window, std::shared_ptr<const RemoteDbServer> server) {
    auto table = std::make_shared<ReplyTable>(RunRemoteQuery(*server, BoardMessageQuery()));
    platform::PostToUiThread([window, table] { RefillMessageList(window, std::move(*table)); });
}

void ShowRoundedRegion(uint64_t window) { RoundWindowAllCorners(platform::WindowRef(window)); }

}  // namespace

std::shared_ptr<const RemoteDbServer> BoardServer() {
    std::lock_guard lock(gServerMutex);
    return gBoardServer;
}

const Text& BoardMessageQuery() {
    return TXT("select top 50 客人名称,留言内容,format(留言时间,'yyyy年mm月dd日 hh:ss:mm') as 时间 "
               "from 留言列表 order by 留言时间 desc");
}
const Text& BoardPlaceholder() { return TXT("每次只能发送30个汉字"); }
const Text& ModeratorCode() { return TXT("*746"); }
const Text& StaffName() { return TXT("ORBIQ管理员"); }
Text UserNameFilePath() { return platform::ProgramFolder() + Text("\\data\\\\server.dat"); }

uint64_t LoadMessageBoardWindow(const RemoteHosts& hosts) {
    auto id = std::make_shared<uint64_t>(0);
    auto bind = [id](void (*f)(uint64_t)) { return [id, f] { f(*id); }; };
    auto bindArgs = [id](void (*f)(uint64_t, const platform::EventArgs&)) {
        return [id, f](const platform::EventArgs& args) { f(*id, args); };
    };
    platform::Handlers handlers;
    handlers.On("OnMessageBoardWindowCreated", [id, hosts] { OnMessageBoardWindowCreated(*id, hosts); })
        .On("OnMessageBoardWindowMoved", bind(OnMessageBoardWindowMoved))
        .On("OnMessageBoardWindowResized", bind(OnMessageBoardWindowResized))
        .On("OnLoginButtonClick", bind(OnLoginButtonClick))
        .OnArgs("OnUserNameBoxKeyDown", bindArgs(OnUserNameBoxKeyDown))
        .On("OnUserNameBoxLeftButtonDown", bind(OnUserNameBoxLeftButtonDown))
        .On("OnAutoRefreshTimerTick", bind(OnAutoRefreshTimerTick))
        .On("OnBoardCloseButtonClick", bind(OnBoardCloseButtonClick))
        .On("OnSendButtonClick", bind(OnSendButtonClick))
        .OnArgs("OnMessageEditKeyDown", bindArgs(OnMessageEditKeyDown))
        .On("OnMessageEditTextChanged", bind(OnMessageEditTextChanged))
        .On("OnMessageEditLeftButtonDown", bind(OnMessageEditLeftButtonDown))
        .On("OnChatLabelLeftButtonDown", bind(OnChatLabelLeftButtonDown))
        .On("OnCannedTextButtonClick", bind(OnCannedTextButtonClick))
        .On("OnCannedTextComboSelectionChanged", bind(OnCannedTextComboSelectionChanged))
        .On("OnMessageListDoubleClick", bind(OnMessageListDoubleClick))
        .On("OnMessageListSelectionChanged", bind(OnMessageListSelectionChanged))
        .On("OnEdgeHideTimerTick", bind(OnEdgeHideTimerTick));
    platform::LoadOptions options;
    options.hosts = &hosts;
    options.idOut = id.get();
    return platform::LoadWindow("message_board_window", handlers, options);
}

void OnMessageBoardWindowCreated(uint64_t window, const RemoteHosts& hosts) {
    gMessageBoardWindow = window;
    ShowRoundedRegion(window);
    FitMessageListColumns(window);
    SetReplyCodeHandlers(WarnIllegalOperation, WarnDatabaseMissing, WarnSqlError, WarnSendingTooFast);
    StoreBoardServer(MakeRemoteDbServer(Text("http://") + hosts.board + Text("/box/boo1"), Text("mdb.mdb"),
                                        Text("wms.asp"), 5000));
    auto server = BoardServer();
    platform::StartThread([window, server] { LoadOnThread(window, server); });

    CreateFolderAt(platform::ProgramFolder() + Text("\\data\\"));
    // A stored name is taken as it stands, up to what an edit box holds at all (32,767
    // bytes); a longer one reads as missing, so a huge file never turns into a login.
    constexpr int32_t kNameBoxCapacity = 32767;
    const UnitRef nameBox = BoardUnit(window, "用户名字编辑框2");
    const Text name = platform::ReadIniKey(UserNameFilePath(), TXT("用户信息"), TXT("姓名"), kNameBoxCapacity);
    nameBox.Set(Prop::Text, name);
    BoardUnit(window, "留言内容编辑框1").Set(Prop::Text, BoardPlaceholder());

    const UnitRef self = platform::WindowRef(window);
    self.Set(Prop::Width, 548);
    self.Set(Prop::Height, 359);

    BoardUnit(window, "透明标签1").Set(Prop::TextColour, 0x808080);
    BoardUnit(window, "透明标签1").Set(Prop::Caption, TXT("ORBIQ网络电视用户交流"));
    for (const char* unit : kChatUnits) BoardUnit(window, unit).Set(Prop::Disabled, true);

    if (!BoardUnit(window, "用户名字编辑框2").GetText(Prop::Text).Empty()) OnLoginButtonClick(window);
}

void OnMessageBoardWindowMoved(uint64_t window) { FitMessageListColumns(window); }

void OnMessageBoardWindowResized(uint64_t window) { ShowRoundedRegion(window); }

void OnLoginButtonClick(uint64_t window) {
    const UnitRef nameBox = BoardUnit(window, "用户名字编辑框2");
    const Text name = nameBox.GetText(Prop::Text);
    if (name.Empty()) {
        platform::MessageBox(TXT("请输入一个用户名！"));
        return;
    }
    if (name == StaffName()) {
        platform::MessageBox(TXT("请输入一个用户名！"));
        nameBox.Set(Prop::Text, Text());
        platform::SetUnitFocus(nameBox);
        return;
    }
    for (const char* unit : kLoginPanelUnits) BoardUnit(window, unit).Set(Prop::Visible, false);
    for (const char* unit : kChatUnits) BoardUnit(window, unit).Set(Prop::Disabled, false);
    BoardUnit(window, "自动刷新时钟1").Set(Prop::Interval, 100);
    platform::WriteIniKey(UserNameFilePath(), TXT("用户信息"), TXT("姓名"), nameBox.GetText(Prop::Text));
}

void OnUserNameBoxKeyDown(uint64_t window, const platform::EventArgs& args) {
    if (!args.empty() && args[0] == 13) OnLoginButtonClick(window);
}

void OnUserNameBoxLeftButtonDown(uint64_t window) { BoardUnit(window, "用户名字编辑框2").Set(Prop::Text, Text()); }

void OnAutoRefreshTimerTick(uint64_t window) {
    const UnitRef counter = BoardUnit(window, "进度条1");
    const int32_t position = counter.GetInt(Prop::Position);
    counter.Set(Prop::Position, position == 100 ? 0 : position + 2);
    if (counter.GetInt(Prop::Position) == 50) RefreshMessageList(window);
}

void OnBoardCloseButtonClick(uint64_t window) { platform::DestroyWindow(window); }

void RefreshMessageList(uint64_t window) {
    if (!platform::IsUiThread()) {
        LoadOnThread(window, BoardServer());
        return;
    }
    if (auto running = gRefreshRunning.find(window); running != gRefreshRunning.end()) {
        running->second.pending = true;
        return;
    }
    gRefreshRunning[window] = {};
    for (bool again = true; again && platform::WindowExists(window);) {
        platform::ProcessPendingEvents();
        const auto server = BoardServer();
        RefillMessageList(window, RunRemoteQuery(*server, BoardMessageQuery()));
        platform::ProcessPendingEvents();
        again = std::exchange(gRefreshRunning[window].pending, false);
    }
    gRefreshRunning.erase(window);
}

void FitMessageListColumns(uint64_t window) {
    const UnitRef list = BoardUnit(window, "超级列表框1");
    const int32_t width = list.GetInt(Prop::Width) - 17;
    platform::ReportSetColumnWidth(list, 0, 0);
    platform::ReportSetColumnWidth(list, 2, 0);
    platform::ReportSetColumnWidth(list, 1, width);
}

void WarnIllegalOperation() { platform::MessageBox(TXT("非法操作."), platform::kMbOk, TXT("警告")); }
void WarnDatabaseMissing() { platform::MessageBox(TXT("数据库文件不存在."), platform::kMbOk, TXT("警告")); }
void WarnSqlError() { platform::MessageBox(TXT("SQL命令出错."), platform::kMbOk, TXT("警告")); }
void WarnSendingTooFast() { platform::MessageBox(TXT("您的发送速度过快，请不要刷屏"), platform::kMbOk, TXT("警告")); }

}  // namespace orbiq
