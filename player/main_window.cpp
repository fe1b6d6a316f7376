#include "player/main_window.h"

#include "common/files.h"
#include "common/window_rounding.h"
#include "platform/ui/pending_get.h"
#include "platform/ui/program.h"
#include "player/globals.h"
#include "board/board_window.h"
#include "player/small_windows.h"
#include "update/decoder_window.h"
#include "update/update_window.h"

namespace orbiq {
namespace {

Text SiteFile(const char* name) { return gHosts.SiteAddress() + Text(name); }

}  // namespace

uint64_t LoadMainWindow() {
    platform::LoadOptions options;
    options.startWindow = true;
    options.hosts = &gHosts;
    options.idOut = &gMainWindow;
    return platform::LoadWindow("main_window", MainWindowHandlers(), options);
}

void OnMainWindowCreated() {
    const UnitRef window{gMainWindow, {}};
    // The update window first, modal: it refreshes the catalogue file the tree is read from.
    OpenUpdateWindow(gHosts);
    // The site's picture, heading, status words and notice are all fetched at once; each is
    // taken where it is used, so a silent site costs one time-out, not the sum of them.
    platform::PendingGet picture(SiteFile("orbiq-back.gif"));
    platform::PendingGet heading(SiteFile("rq.txt"));
    platform::PendingGet status1(SiteFile("fwq/1.txt"));
    platform::PendingGet status2(SiteFile("fwq/2.txt"));
    platform::PendingGet status3(SiteFile("fwq/3.txt"));
    platform::PendingGet notice(MainUnit("系统2").GetText(Prop::Text));
    // The full height, then the rounded corners from the size the window reads back.
    window.Set(Prop::Height, int32_t{544});
    RoundWindowTopCorners(window);
    // An empty tree until the catalogue is read; the site's picture over the player.
    platform::TreeClear(MainUnit("列表1"));
    MainUnit("图片框9").Set(Prop::Picture, picture.Take());
    // The player's settings, kept for the volume slider and its handlers.
    gPlayerSettings = std::make_unique<platform::IWMPSettings>(MainUnit("播放器1"));
    // The site's suffix to the heading and its three server status words.
    MainUnit("透明标签3").Set(Prop::Caption, TXT("ORBIQ网络电视直播列表") + Text::FromBytes(heading.Take()));
    MainUnit("透明标签8").Set(Prop::Caption, Text::FromBytes(status1.Take()));
    MainUnit("透明标签9").Set(Prop::Caption, Text::FromBytes(status2.Take()));
    MainUnit("透明标签10").Set(Prop::Caption, Text::FromBytes(status3.Take()));
    // The player's controls (stop), and the slider set from the player's volume.
    gPlayerControls = std::make_unique<platform::IWMPControls>(MainUnit("播放器1"));
    MainUnit("音量滚动条").Set(Prop::Position, gPlayerSettings->volume());
    // The ticker shows the notice as its button does, with the GET already under way; the
    // status words take their colours.
    ShowNotice(notice);
    OnColourStatusButtonClick();
    // A catalogue file must be there to open: the built-in copy is written when none is.
    WriteBuiltinCatalogueIfMissing();
    OpenCatalogue();
    FillChannelTree();
    // The first viewer count now; the counter's timer brings the later ones.
    OnCounterTimerTick();
}

void OnMenuButtonClick() { platform::PopupMenu(gMainWindow, "MainMenu"); }

void OnMinimiseButtonClick() { UnitRef{gMainWindow, {}}.Set(Prop::WindowState, int32_t{2}); }

void OnMainCloseButtonClick() { platform::EndProgram(0); }

void OnCollapseButtonClick() { UnitRef{gMainWindow, {}}.Set(Prop::Height, int32_t{514}); }

void OnWebsiteButtonClick() { platform::OpenInBrowser(gHosts.site); }

void OnAlwaysOnTopItemClick() { UnitRef{gMainWindow, {}}.Set(Prop::AlwaysOnTop, true); }

void OnDecoderDownloadItemClick() { OpenDecoderDownloadWindow(gHosts); }

void OnChatItemClick() { OpenMessageBoardWindow(); }
void OnChatRoomItemClick() { OpenMessageBoardWindow(); }

void OpenMessageBoardWindow() { LoadMessageBoardWindow(gHosts); }

void OnExitItemClick() { platform::EndProgram(0); }
void OnQuitItemClick() { platform::EndProgram(0); }

platform::Handlers MainWindowHandlers() {
    platform::Handlers h;
    h.On("OnMainWindowCreated", OnMainWindowCreated)
        .On("OnMenuButtonClick", OnMenuButtonClick)
        .On("OnMinimiseButtonClick", OnMinimiseButtonClick)
        .On("OnMainCloseButtonClick", OnMainCloseButtonClick)
        .On("OnCollapseButtonClick", OnCollapseButtonClick)
        .On("OnWebsiteButtonClick", OnWebsiteButtonClick)
        .On("OnAlwaysOnTopItemClick", OnAlwaysOnTopItemClick)
        .On("OnDecoderDownloadItemClick", OnDecoderDownloadItemClick)
        .On("OnChatItemClick", OnChatItemClick)
        .On("OnChatRoomItemClick", OnChatRoomItemClick)
        .On("OnExitItemClick", OnExitItemClick)
        .On("OnQuitItemClick", OnQuitItemClick)
        .On("OnPlayStateChange", OnPlayStateChange)
        .On("OnPlayerRightButtonDown", OnPlayerRightButtonDown)
        .On("OnPlayButtonClick", OnPlayButtonClick)
        .On("OnPauseButtonClick", OnPauseButtonClick)
        .On("OnOpenFileItemClick", OnOpenFileItemClick)
        .On("OnOpenFileButtonClick", OnOpenFileButtonClick)
        .On("OnFullScreenItemClick", OnFullScreenItemClick)
        .On("OnStopPlaybackItemClick", OnStopPlaybackItemClick)
        .On("OnVolumeSliderPositionChanged", OnVolumeSliderPositionChanged)
        .On("OnNoticeButtonClick", OnNoticeButtonClick)
        .On("OnTickerTimerTick", OnTickerTimerTick)
        .On("OnColourStatusButtonClick", OnColourStatusButtonClick)
        .On("OnCounterTimerTick", OnCounterTimerTick)
        .On("OnCounterButtonClick", OnCounterButtonClick)
        .On("OnChannelTreeSelectionChanged", OnChannelTreeSelectionChanged)
        .On("OnAboutItemClick", OnAboutItemClick)
        .On("OnSponsorButtonClick", OnSponsorButtonClick)
        .On("OnReportChannelItemClick", OnReportChannelItemClick)
        .On("OnChannelTreeRightButtonDown", OnChannelTreeRightButtonDown);
    return h;
}

}  // namespace orbiq
