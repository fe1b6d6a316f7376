// Playback: the channel player, the overlay player and picture, and the play-state texts.
#include "platform/ui/program.h"
#include "platform/ui/ui.h"
#include "player/globals.h"
#include "player/main_window.h"

namespace orbiq {
namespace {

// The animation address: "orbiq.swf" at the root of the product web site.
Text AnimationAddress() { return gHosts.SiteAddress() + Text("orbiq.swf"); }

void Show(const char* unit, bool visible) { MainUnit(unit).Set(Prop::Visible, visible); }
void Status(const Text& text) { MainUnit("显示_标签").Set(Prop::Caption, text); }
void Overlay(const Text& url) { MainUnit("FLASH播放器").Set(Prop::URL, url); }

}  // namespace

void OnPlayStateChange() {
    const UnitRef player = MainUnit("播放器1");
    Show("图片框9", false);
    // Thirteen tests, each reading the state afresh: a state that changes between two reads
    // applies the rows of both values, in table order.
    if (player.GetInt(Prop::PlayState) == 0) Status(TXT(" 未知状态..."));
    if (player.GetInt(Prop::PlayState) == 1) {
        Status(TXT("开心每一天,享受精彩TV时间.欢迎使用ORBIQ网络电视"));
        Show("播放媒体", true);
        Show("暂停播放", false);
        Show("FLASH播放器", true);
        Overlay(platform::ProgramFolder());
        Show("图片框9", true);
    }
    if (player.GetInt(Prop::PlayState) == 2) {
        Status(TXT(" 播放暂停..."));
        Show("播放媒体", true);
        Show("暂停播放", false);
        Show("FLASH播放器", true);
        Overlay(platform::ProgramFolder());
        Show("图片框9", true);
    }
    if (player.GetInt(Prop::PlayState) == 3) {
        Status(TXT("正在直播:") + MainUnit("标签2").GetText(Prop::Caption));
        Show("播放媒体", false);
        Show("暂停播放", true);
        Show("FLASH播放器", false);
        Overlay(Text());
        Show("图片框9", false);
    }
    if (player.GetInt(Prop::PlayState) == 4) Status(TXT(" 向前搜索..."));
    if (player.GetInt(Prop::PlayState) == 5) Status(TXT(" 向后搜索..."));
    if (player.GetInt(Prop::PlayState) == 6) {
        Status(TXT("频道缓存中,请稍等..."));
        Show("播放媒体", false);
        Show("暂停播放", true);
        Show("FLASH播放器", true);
        Overlay(AnimationAddress());
        Show("图片框9", false);
    }
    if (player.GetInt(Prop::PlayState) == 7) Status(TXT(" 等待加载..."));
    if (player.GetInt(Prop::PlayState) == 8) Status(Text());
    if (player.GetInt(Prop::PlayState) == 9) {
        Show("播放媒体", false);
        Show("暂停播放", true);
        Show("FLASH播放器", true);
        Overlay(AnimationAddress());
        Status(TXT(" 正在连接频道..."));
        Show("图片框9", false);
    }
    if (player.GetInt(Prop::PlayState) == 10) {
        Status(Text(" "));
        Overlay(platform::ProgramFolder());
        Show("图片框9", true);
    }
    if (player.GetInt(Prop::PlayState) == 11) Status(TXT(" 尝试重新连接..."));
    if (player.GetInt(Prop::PlayState) == 12) Status(TXT(" 上一次状态"));
}

void OnOpenFileItemClick() {
    const UnitRef dialog = MainUnit("通用对话框1");
    platform::ShowOpenFileDialog(dialog);
    // The outcome is not examined: a cancel writes the dialog's FileName too.
    MainUnit("播放器1").Set(Prop::URL, dialog.GetText(Prop::FileName));
}

void OnOpenFileButtonClick() { OnOpenFileItemClick(); }
void OnPlayButtonClick() { OnOpenFileItemClick(); }

void OnPauseButtonClick() {
    if (gPlayerControls) gPlayerControls->stop();
    Show("播放媒体", true);
    Show("暂停播放", false);
}

void OnVolumeSliderPositionChanged() {
    if (gPlayerSettings) gPlayerSettings->put_volume(MainUnit("音量滚动条").GetInt(Prop::Position));
}

void OnFullScreenItemClick() { MainUnit("播放器1").Set(Prop::FullScreen, true); }

void OnStopPlaybackItemClick() { MainUnit("播放器1").Set(Prop::URL, Text()); }

void OnPlayerRightButtonDown() { platform::PopupMenu(gMainWindow, "PlayMenu"); }

}  // namespace orbiq
