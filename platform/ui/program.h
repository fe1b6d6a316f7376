// The program: clean-up, ending, folders, message boxes, threads, shell and time.
#pragma once

#include <cstdint>
#include <functional>

#include "common/text.h"
#include "common/unit_ref.h"

namespace orbiq::platform {

// Registers the routine that runs when the program ends, whichever way it ends.
void RegisterCleanup(RoutineRef cleanup);
// Runs the clean-up (once in a process, however often called) and ends with exitCode.
[[noreturn]] void EndProgram(int exitCode);
// Tests replace the process exit: the hook receives the code and may throw to unwind.
void SetExitHook(std::function<void(int)> hook);
// Runs the clean-up if it has not run yet (what EndProgram does first).
void RunCleanupOnce();
// For tests: forget that the clean-up ran.
void ResetCleanupForTests();

// The program's folder, without a trailing separator: the text of a native path (files.h).
Text ProgramFolder();
void SetProgramFolder(const Text& folder);
void SetNativeProgramFolder(const std::string& native);  // as the system would give it

// Message box flags and results.
constexpr int32_t kMbOk = 0;
constexpr int32_t kMbOkCancel = 1;
constexpr int32_t kIdOk = 1;
constexpr int32_t kIdCancel = 2;
int32_t MessageBox(const Text& text, int32_t flags = kMbOk, const Text& title = Text());
// Tests read and answer message boxes.
using MessageBoxResponder = std::function<int32_t(const Text& text, int32_t flags, const Text& title)>;
void SetMessageBoxResponder(MessageBoxResponder responder);

// Processes the calling thread's pending window messages.
void ProcessPendingEvents();
bool IsUiThread();
// Runs a routine on a new thread; the thread is not kept.
bool StartThread(RoutineRef routine);
bool StartThread(std::function<void()> routine);

// Opens a web address in the default browser (tests observe it through the hook).
void OpenInBrowser(const Text& address);
void SetBrowserHook(std::function<void(const Text&)> hook);

// Opens or runs a file as the desktop's file manager would, with no arguments (tests observe
// it through the hook). A Windows program is handed to whatever the desktop associates with it.
bool OpenOrRunFile(const Text& path);
void SetOpenOrRunHook(std::function<void(const Text&)> hook);

// The special folder that receives downloads (the user's download folder, created when
// missing), ending in a backslash so that a file name can be appended directly.
Text DownloadFolderPath();
void SetDownloadFolderForTests(const Text& folder);  // empty: back to the user's folder

// Switches the visual styles of the common controls on; Qt widgets always draw styled.
void EnableVisualStyles(int32_t on);
// Before the application object exists: on a Wayland desktop with an X server (Xwayland),
// windows go through the X server, where the program can place them.
void ChooseWindowSystem();

// Runs a routine on the UI thread once the current event has returned.
void PostToUiThread(std::function<void()> routine);

// The clipboard's text.
void SetClipboardText(const Text& text);
Text ClipboardText();

// The mouse cursor's position on the screen and the screen's width, in pixels.
void CursorPosition(int32_t* x, int32_t* y);
int32_t ScreenWidth();

// INI file, one key at a time (GBK, written by us). A missing file, section or key reads "".
// Section and key names match ignoring the case of A to Z; the value is kept as written.
// Only the first kIniReadLimit bytes of a file are read (a line that runs past them counts as
// missing), and a file longer than that is never rewritten. A value longer than maxLength
// bytes reads as missing (0: any length).
constexpr size_t kIniReadLimit = 64 * 1024;
Text ReadIniKey(const Text& file, const Text& section, const Text& key, int32_t maxLength = 0);
bool WriteIniKey(const Text& file, const Text& section, const Text& key, const Text& value);

// Milliseconds since some fixed point; wraps modulo 2^32.
uint32_t TickCount();

}  // namespace orbiq::platform
