#include "update/update_window.h"

#include <algorithm>
#include <string>

#include "common/catalogue_file.h"
#include "common/files.h"
#include "common/window_rounding.h"
#include "platform/jet/jet_database.h"
#include "platform/transfer/connection_state.h"
#include "platform/ui/pending_get.h"
#include "platform/ui/program.h"
#include "update/update_globals.h"

namespace orbiq {

uint64_t gUpdateWindow = 0;
bool gUpdateCompleted = false;
RemoteHosts gUpdateHosts;

namespace {

UnitRef UpdateUnit(const char* name) { return UnitRef{gUpdateWindow, name}; }

Text CatalogueTarget() { return platform::ProgramFolder() + Text(catalogue::kPathInFolder.data()); }

Text TextOf(platform::PendingGet& get) { return Text::FromBytes(get.Take()); }

// The text form of a boolean in 透明标签5, which has room for one character.
const Text& BooleanWord(bool value) { return value ? TXT("是") : TXT("否"); }

// Far above any catalogue (some 45 to 240 KB): a download past it is stopped and removed.
constexpr int64_t kCatalogueMaxBytes = int64_t{64} << 20;

// A catalogue is a Jet 4 file that opens with the catalogue password and answers rows from
// both of its tables (a query answers no rows for a missing table as for an empty one, so
// both count as missing).
bool IsCatalogueFile(const Text& path) {
    if (FileSizeAt(path) <= 0) return false;
    platform::JetDatabase db;
    if (!db.Open(NativePath(path), Text(catalogue::kPassword))) return false;
    return !db.Query(TXT(catalogue::kSelectCategories.data())).AtEnd() &&
           !db.Query(TXT(catalogue::kSelectChannels.data())).AtEnd();
}

void ChooseServer(const Text& url) {
    StartDatabaseDownload(url, CatalogueTarget(), UpdateUnit("进度条2"));
    OnUpdateTimerTick();
}

}  // namespace

uint64_t OpenUpdateWindow(const RemoteHosts& hosts) {
    gUpdateHosts = hosts;
    gUpdateCompleted = false;
    platform::LoadOptions options;
    options.modal = true;
    options.hosts = &gUpdateHosts;
    options.idOut = &gUpdateWindow;
    uint64_t id = platform::LoadWindow("update_window", UpdateWindowHandlers(), options);
    // Closed before its bar reached 100 (Esc): a download still under way would leave a
    // part-written catalogue that the start-up then opens instead of the built-in copy.
    if (!gUpdateCompleted) {
        ByteSet discarded;
        platform::TransferStop(gDatabaseTask, discarded, 2);
    }
    return id;
}

void OnUpdateWindowCreated() {
    // Both GETs start together; each step takes its own answer when it comes to it.
    platform::PendingGet version(gUpdateHosts.SiteAddress() + Text("BB.txt"));
    platform::PendingGet status(gUpdateHosts.SiteAddress() + Text("fwq2.txt"));
    DeleteFileAt(CatalogueTarget());
    UpdateUnit("透明标签2").Set(Prop::Caption, TXT("最新程序版本号:") + TextOf(version));
    UpdateUnit("透明标签7").Set(Prop::Caption, TextOf(status));
    RoundWindowTopCorners(platform::WindowRef(gUpdateWindow));
    OnNetworkStateButtonClick();
}

void OnNetworkStateButtonClick() {
    Text name, description;
    bool connected = GetInternetConnectionState(&name, &description);
    UpdateUnit("透明标签5").Set(Prop::Caption, BooleanWord(connected));
}

bool GetInternetConnectionState(Text* connectionName, Text* description) {
    using namespace platform;
    uint32_t flags = 0;
    std::string name(513, ' ');
    bool connected = InternetGetConnectedStateEx(&flags, name.data(), 512, 0);
    name.resize(std::min(name.find('\0'), name.size()));
    if (connectionName) *connectionName = Text(name).Trimmed();
    if (description) {
        const Text crlf("\r\n");
        Text d;
        if (flags & INTERNET_CONNECTION_MODEM) d += TXT("使用modem连接到Internet");
        if (flags & INTERNET_CONNECTION_LAN) d += TXT("使用内部网连接到Internet.");
        if (flags & INTERNET_CONNECTION_PROXY) d += TXT("通过代理服务器连接到Internet.");
        if (flags & INTERNET_CONNECTION_OFFLINE) d += TXT("现在连接处于离线状态.");
        d += crlf + ((flags & INTERNET_CONNECTION_CONFIGURED) ? TXT("连接已经被设定.") : TXT("没有设定好的连接."));
        if (flags & INTERNET_RAS_INSTALLED) d += crlf + TXT("本机已经安装了远程访问服务功能.");
        *description = d;
    }
    return connected;
}

void OnServer1RadioClick() {
    ChooseServer(Text("http://") + gUpdateHosts.mirror1 + Text("/") + Text(catalogue::kMirror1Path.data()));
}
void OnServer2RadioClick() {
    ChooseServer(Text("http://") + gUpdateHosts.mirror2 + Text("/") + Text(catalogue::kMirror2Path.data()));
}
void OnServer3RadioClick() { ChooseServer(gUpdateHosts.SiteAddress() + Text(catalogue::kSitePath.data())); }

void StartDatabaseDownload(const Text& sourceUrl, const Text& targetPath, const UnitRef& progressBar) {
    gUpdateProgressBar.Store(progressBar);
    gDatabaseFilePath.Store(targetPath);
    const Text path = gDatabaseFilePath.Load();
    if (FileExists(path)) DeleteFileAt(path);
    platform::TransferTaskParams& p = gDatabaseTaskParams;
    p.field1 = 1;
    p.sourceUrl = sourceUrl;
    p.field6 = 10;
    p.field19 = Text();
    p.field17 = 4096;
    p.localPath = path;
    p.eventCallback = &OnDatabaseTransferEvent;
    // A download still running is replaced by this one.
    platform::TransferStart(gDatabaseTask, gDatabaseTaskParams, kCatalogueMaxBytes);
}

// Touches only atomics, files and queued unit writes: it must never wait for the UI thread.
// The bar reads 100, which closes the window, only once the finished file proved a catalogue.
int32_t OnDatabaseTransferEvent(int32_t code, int32_t, int32_t, int32_t, int32_t) {
    if (code == platform::kTransferSizeKnown) {
        int64_t size = FileSizeAt(gDatabaseFilePath.Load());
        gDatabaseTotalBytes.store(static_cast<int32_t>(std::clamp<int64_t>(size, -1, INT32_MAX)));
    } else if (code == platform::kTransferProgress) {
        int32_t done = platform::TransferBytesDone(gDatabaseTask);
        gDatabaseDoneBytes.store(done);
        int32_t total = gDatabaseTotalBytes.load();
        // Divides first, as written: 29 of 100 gives 28.999999999999996 and shows 28.
        int32_t position = total <= 0 ? 0 : static_cast<int32_t>(static_cast<double>(done) / total * 100.0);
        gUpdateProgressBar.Load().Set(Prop::Position, std::min(position, 99));
    } else if (code == platform::kTransferFinished) {
        // Anything else a mirror answers (an error page, a few bytes, nothing) is removed, so
        // the start-up writes the built-in copy; the bar goes back to 0 and the window stays.
        const Text path = gDatabaseFilePath.Load();
        const bool accepted = IsCatalogueFile(path);
        if (!accepted) DeleteFileAt(path);
        gUpdateProgressBar.Load().Set(Prop::Position, accepted ? 100 : 0);
    }
    return 0;
}

void OnUpdateTimerTick() {
    if (UpdateUnit("进度条2").GetInt(Prop::Position) != 100) return;
    UpdateUnit("时钟1").Set(Prop::Interval, int32_t{0});
    gUpdateCompleted = true;
    platform::DestroyWindow(gUpdateWindow);
}

void OnUpdateCloseButtonClick() { platform::EndProgram(0); }

platform::Handlers UpdateWindowHandlers() {
    platform::Handlers h;
    h.On("OnUpdateWindowCreated", OnUpdateWindowCreated)
        .On("OnNetworkStateButtonClick", OnNetworkStateButtonClick)
        .On("OnServer1RadioClick", OnServer1RadioClick)
        .On("OnServer2RadioClick", OnServer2RadioClick)
        .On("OnServer3RadioClick", OnServer3RadioClick)
        .On("OnUpdateTimerTick", OnUpdateTimerTick)
        .On("OnUpdateCloseButtonClick", OnUpdateCloseButtonClick);
    return h;
}

}  // namespace orbiq
