// The notice ticker, the server status words and the viewer counter.
#include "platform/net/http_get.h"
#include "platform/ui/pending_get.h"
#include "platform/ui/program.h"
#include "player/globals.h"
#include "player/main_window.h"

namespace orbiq {
namespace {

struct StatusColour {
    const char* word;
    int32_t colour;  // COLORREF 0x00BBGGRR
};
constexpr StatusColour kStatusColours[] = {
    {"正常", 0x00FF00},  // green
    {"繁忙", 0x0000FF},  // red
    {"维护", 0xFFFFFF},  // white
    {"停机", 0x00FFFF},  // yellow
};

}  // namespace

void OnNoticeButtonClick() {
    platform::PendingGet notice(MainUnit("系统2").GetText(Prop::Text));
    ShowNotice(notice);
}

void ShowNotice(platform::PendingGet& notice) { StartTicker(Text::FromBytes(notice.Take()), 0, 2); }

void StartTicker(const Text& notice, int32_t intervalMs, int32_t stepPixels) {
    if (stepPixels <= 0) stepPixels = 1;
    if (intervalMs <= 0) intervalMs = 105;
    const UnitRef label = MainUnit("滚动条");
    label.Set(Prop::Caption, notice);
    gTickerStep = stepPixels;
    label.Set(Prop::Left, int32_t{5});
    label.Set(Prop::Width, static_cast<int32_t>(6.0 * notice.Length()));
    MainUnit("控制时钟").Set(Prop::Interval, intervalMs);
}

void OnTickerTimerTick() {
    const UnitRef label = MainUnit("滚动条");
    int32_t width = label.GetInt(Prop::Width);
    int32_t left = label.GetInt(Prop::Left);
    if (left <= -width) label.Set(Prop::Left, MainUnit("背景条").GetInt(Prop::Width));
    label.Set(Prop::Left, label.GetInt(Prop::Left) - gTickerStep);
}

void OnColourStatusButtonClick() {
    for (const char* name : {"透明标签8", "透明标签9", "透明标签10"}) {
        const UnitRef label = MainUnit(name);
        for (const StatusColour& status : kStatusColours) {
            if (label.GetText(Prop::Caption) == Text::FromUtf8(status.word))
                label.Set(Prop::TextColour, status.colour);
        }
    }
}

void OnCounterTimerTick() { OnCounterButtonClick(); }

void OnCounterButtonClick() {
    gCounterThreads.fetch_add(1);
    if (!platform::StartThread(UpdateViewerCount)) gCounterThreads.fetch_sub(1);
}

void UpdateViewerCount() {
    const Text base = gHosts.SiteAddress();
    platform::HttpGet(base + Text("ok/count.asp?id=3"));
    Text number = ExtractCounterNumber(Text::FromBytes(platform::HttpGet(base + Text("ok/count.asp?id=1"))));
    platform::HttpGet(base + Text("ok/count.asp?id=2"));
    // A safe write: the platform queues it to the UI thread, and drops it once the window is gone.
    MainUnit("透明标签2").Set(Prop::Caption, number + TXT("人与您同在"));
    gCounterThreads.fetch_sub(1);
}

// The digits after the first "none>" up to the next "<", through a 32-bit integer.
// A page without "none>" gives "0"; without a following "<" the rest of the page is read;
// bytes that do not start with a number give "0"; out-of-range numbers saturate.
Text ExtractCounterNumber(const Text& page) {
    const Text marker("none>");
    int32_t at = page.Find(marker);
    if (at == -1) return Text("0");
    Text rest = page.Mid(at + marker.Length());
    int32_t end = rest.Find(Text("<"));
    Text digits = end == -1 ? rest : rest.Left(end - 1);
    return Text::Number(digits.ToInt32());
}

}  // namespace orbiq
