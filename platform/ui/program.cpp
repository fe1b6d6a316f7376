#include "platform/ui/program.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "common/files.h"
#include "platform/ui/units.h"

namespace orbiq::platform {
namespace {

std::mutex gMutex;
RoutineRef gCleanup = nullptr;
std::atomic<bool> gCleanupRan{false};
std::function<void(int)> gExitHook;
Text gProgramFolder;
MessageBoxResponder gResponder;
std::function<void(const Text&)> gBrowserHook;
std::function<void(const Text&)> gOpenOrRunHook;
Text gDownloadFolder;

}  // namespace

void RegisterCleanup(RoutineRef cleanup) {
    std::lock_guard lock(gMutex);
    gCleanup = cleanup;
}

void RunCleanupOnce() {
    if (gCleanupRan.exchange(true)) return;
    RoutineRef cleanup;
    {
        std::lock_guard lock(gMutex);
        cleanup = gCleanup;
    }
    if (cleanup) cleanup();
}

void ResetCleanupForTests() { gCleanupRan.store(false); }

void SetExitHook(std::function<void(int)> hook) {
    std::lock_guard lock(gMutex);
    gExitHook = std::move(hook);
}

void EndProgram(int exitCode) {
    RunCleanupOnce();
    std::function<void(int)> hook;
    {
        std::lock_guard lock(gMutex);
        hook = gExitHook;
    }
    if (hook) hook(exitCode);  // a test hook throws to unwind back to the test
    std::fflush(nullptr);
    // Threads that may still run (counter fetches, transfers) must not see static destruction.
    ::_exit(exitCode);
}

Text ProgramFolder() {
    std::lock_guard lock(gMutex);
    if (gProgramFolder.Empty() && QCoreApplication::instance())
        gProgramFolder = TextOfNativePath(QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    return gProgramFolder;
}

void SetProgramFolder(const Text& folder) {
    std::lock_guard lock(gMutex);
    gProgramFolder = folder;
}

void SetNativeProgramFolder(const std::string& native) { SetProgramFolder(TextOfNativePath(native)); }

void SetMessageBoxResponder(MessageBoxResponder responder) {
    std::lock_guard lock(gMutex);
    gResponder = std::move(responder);
}

int32_t MessageBox(const Text& text, int32_t flags, const Text& title) {
    MessageBoxResponder responder;
    {
        std::lock_guard lock(gMutex);
        responder = gResponder;
    }
    if (responder) return responder(text, flags, title);
    auto show = [&]() -> int32_t {
        QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text));
        QPushButton* ok = box.addButton(QString::fromUtf8("确定"), QMessageBox::AcceptRole);
        if (flags == kMbOkCancel) box.addButton(QString::fromUtf8("取消"), QMessageBox::RejectRole);
        box.setDefaultButton(ok);
        StackLikeOwnWindows(&box, true, nullptr);
        box.exec();
        return box.clickedButton() == ok ? kIdOk : kIdCancel;
    };
    if (IsUiThread()) return show();
    int32_t result = kIdCancel;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { result = show(); },
                              Qt::BlockingQueuedConnection);
    return result;
}

bool IsUiThread() {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void ProcessPendingEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool StartThread(std::function<void()> routine) {
    try {
        std::thread(std::move(routine)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

bool StartThread(RoutineRef routine) {
    if (!routine) return false;
    return StartThread(std::function<void()>(routine));
}

void PostToUiThread(std::function<void()> routine) {
    if (auto* app = QCoreApplication::instance()) QMetaObject::invokeMethod(app, std::move(routine), Qt::QueuedConnection);
}

void SetBrowserHook(std::function<void(const Text&)> hook) {
    std::lock_guard lock(gMutex);
    gBrowserHook = std::move(hook);
}

void OpenInBrowser(const Text& address) {
    std::function<void(const Text&)> hook;
    {
        std::lock_guard lock(gMutex);
        hook = gBrowserHook;
    }
    if (hook) { hook(address); return; }
    // A bare host name is handed over as the user's browser would take a typed address.
    QUrl url = QUrl::fromUserInput(Q(address));
    QDesktopServices::openUrl(url);
}

void SetOpenOrRunHook(std::function<void(const Text&)> hook) {
    std::lock_guard lock(gMutex);
    gOpenOrRunHook = std::move(hook);
}

bool OpenOrRunFile(const Text& path) {
    std::function<void(const Text&)> hook;
    {
        std::lock_guard lock(gMutex);
        hook = gOpenOrRunHook;
    }
    if (hook) { hook(path); return true; }
    if (path.Empty()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(NativePath(path)))));
}

void SetDownloadFolderForTests(const Text& folder) {
    std::lock_guard lock(gMutex);
    gDownloadFolder = folder;
}

Text DownloadFolderPath() {
    Text folder;
    {
        std::lock_guard lock(gMutex);
        folder = gDownloadFolder;
    }
    if (folder.Empty()) {
        QString location = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        if (location.isEmpty()) return Text();
        QDir().mkpath(location);
        folder = TextOfNativePath(QFile::encodeName(QDir::cleanPath(location)).toStdString());
    }
    if (folder.Right(1) != Text("\\")) folder += Text("\\");
    return folder;
}

void EnableVisualStyles(int32_t) {}

void ChooseWindowSystem() {
    // Every window opens centred and the board docks at the screen's edges: a Wayland client
    // can neither place its windows nor learn where they are, a client of Xwayland can.
    const QByteArray asked = qgetenv("QT_QPA_PLATFORM");
    const bool wayland = !qgetenv("WAYLAND_DISPLAY").isEmpty() || qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (wayland && !qgetenv("DISPLAY").isEmpty() && (asked.isEmpty() || asked.startsWith("wayland")))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace orbiq::platform
