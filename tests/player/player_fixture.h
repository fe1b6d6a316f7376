// MainWindow loaded from its description with a host table of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QTimer>
#include <QTemporaryDir>

#include <stdexcept>

#include "platform/ui/program.h"
#include "platform/ui/ui_widgets.h"
#include "player/globals.h"
#include "player/main_window.h"
#include "scripted_engine.h"
#include "test_support.h"
#include "update/update_window.h"

namespace orbiq::test {

struct ProgramEnded {
    int code;
};

inline int gCleanups = 0;
inline void CountingCleanup() {
    ++gCleanups;
    ReleaseGlobals();
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetExitHook([](int code) { throw ProgramEnded{code}; });
        platform::ResetCleanupForTests();
        gCleanups = 0;
        platform::RegisterCleanup(CountingCleanup);
        platform::SetProgramFolder(Text::FromUtf8(folder_.path().toStdString()));
        platform::SetMessageBoxResponder([](const Text&, int32_t, const Text&) { return platform::kIdOk; });
        engines_.clear();
        if (scripted_) {
            platform::SetMediaEngineFactory([this](QWidget* parent) {
                auto engine = std::make_unique<ScriptedEngine>(parent);
                engines_.push_back(engine.get());
                return engine;
            });
        }
    }
    void TearDown() override {
        if (gMainWindow) platform::DestroyWindow(gMainWindow);
        CloseCatalogueForTests();
        platform::SetMediaEngineFactory(nullptr);
        // Counter threads end by themselves and read gMainWindow and gHosts until they do:
        // both are cleared only once the last one has finished.
        EXPECT_TRUE(WaitFor([] { return gCounterThreads.load() == 0; }, 20000));
        gMainWindow = 0;
        QCoreApplication::processEvents();
        platform::SetExitHook(nullptr);
    }
    // Starts the program's MainWindow. The update window of the first start-up step is
    // closed as Esc would close it, after `whileUpdating` (a download's stand-in) has run.
    void Start(const RemoteHosts& hosts, std::function<void()> whileUpdating = {}) {
        InitialiseGlobals(hosts);
        QObject context;
        WhenShown(&context, gUpdateWindow, [whileUpdating] {
            if (whileUpdating) whileUpdating();
            platform::DestroyWindow(gUpdateWindow);
        });
        LoadMainWindow();
        ASSERT_TRUE(platform::WindowExists(gMainWindow));
    }
    // Runs a handler that ends the program; returns the exit code, or -1 when it did not end.
    static int ExitCodeOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const ProgramEnded& e) {
            return e.code;
        }
        return -1;
    }
    static UnitRef Window() { return UnitRef{gMainWindow, {}}; }

    // The channel player's and the overlay player's engines, when scripted.
    ScriptedEngine* Player() const { return engines_.size() > 1 ? engines_[1] : nullptr; }
    ScriptedEngine* Overlay() const { return engines_.empty() ? nullptr : engines_[0]; }
    Text Folder() const { return Text::FromUtf8(folder_.path().toStdString()); }

    QTemporaryDir folder_;
    bool scripted_ = true;
    std::vector<ScriptedEngine*> engines_;
};

}  // namespace orbiq::test
