// MainWindow: the start-up sequence, the chrome, playback, the ticker and the counter.
#pragma once

#include "common/text.h"
#include "platform/ui/ui.h"

namespace orbiq {

namespace platform {
class PendingGet;
}

// Every handler bound by MainWindow's description.
platform::Handlers MainWindowHandlers();
// Loads MainWindow as the start window (its Created handler runs the start-up).
uint64_t LoadMainWindow();

// Start-up and chrome.
void OnMainWindowCreated();
void OnMenuButtonClick();
void OnMinimiseButtonClick();
void OnMainCloseButtonClick();
void OnCollapseButtonClick();
void OnWebsiteButtonClick();
void OnAlwaysOnTopItemClick();
void OnDecoderDownloadItemClick();
void OnChatItemClick();
void OnChatRoomItemClick();
void OpenMessageBoardWindow();
void OnExitItemClick();
void OnQuitItemClick();

// Playback and play states.
void OnPlayStateChange();
void OnPlayerRightButtonDown();
void OnPlayButtonClick();
void OnPauseButtonClick();
void OnOpenFileItemClick();
void OnOpenFileButtonClick();
void OnFullScreenItemClick();
void OnStopPlaybackItemClick();
void OnVolumeSliderPositionChanged();

// Notice ticker, status words, viewer counter.
void OnNoticeButtonClick();
// Starts the ticker with the notice that the GET brings (OnNoticeButtonClick's second half).
void ShowNotice(platform::PendingGet& notice);
void StartTicker(const Text& notice, int32_t intervalMs = 0, int32_t stepPixels = 0);
void OnTickerTimerTick();
void OnColourStatusButtonClick();
void OnCounterTimerTick();
void OnCounterButtonClick();
void UpdateViewerCount();
Text ExtractCounterNumber(const Text& page);

// Channel catalogue.
Text CataloguePath();  // the program's folder followed by "\iead.dll"
void WriteBuiltinCatalogueIfMissing();
void OpenCatalogue();
void CloseCatalogueForTests();
void FillChannelTree();
void OnChannelTreeSelectionChanged();

}  // namespace orbiq
