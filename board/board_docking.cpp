// Edge docking: the window hides at the left, right or top edge of the screen but for a
// 4-pixel strip, and comes back while the mouse is over it. Decided afresh on every tick from
// where the window really is: a window manager may keep more of it on screen than the strip.
#include <map>

#include "board/board_window.h"
#include "platform/ui/program.h"

namespace orbiq {
namespace {

// Hidden at the right edge means Left = W - 4, or where the window manager put the window
// when it was asked for W - 4 (read on the tick after the request, if still past the edge).
struct RightHide {
    bool asked = false;
    int32_t left = 0;
    bool known = false;
};
std::map<uint64_t, RightHide> gRightHides;

}  // namespace

void OnEdgeHideTimerTick(uint64_t window) {
    constexpr int32_t kStrip = 4;
    int32_t x = 0, y = 0;
    platform::CursorPosition(&x, &y);
    const UnitRef self = platform::WindowRef(window);
    const int32_t left = self.GetInt(Prop::Left);
    const int32_t top = self.GetInt(Prop::Top);
    const int32_t width = self.GetInt(Prop::Width);
    const int32_t height = self.GetInt(Prop::Height);
    const int32_t screenWidth = platform::ScreenWidth();

    for (auto it = gRightHides.begin(); it != gRightHides.end();)
        it = platform::WindowExists(it->first) ? std::next(it) : gRightHides.erase(it);
    RightHide& hide = gRightHides[window];
    if (hide.asked) hide = {false, left, left + width > screenWidth};  // not moved elsewhere meanwhile
    const bool hiddenRight = left == screenWidth - kStrip || (hide.known && left == hide.left);

    const bool over = left <= x && x <= left + width && top <= y && y <= top + height;
    if (!over) {
        if (left <= 0) self.Set(Prop::Left, kStrip - width);
        else if (left + width >= screenWidth) {
            self.Set(Prop::Left, screenWidth - kStrip);
            hide.asked = true;
        } else if (top <= 0) self.Set(Prop::Top, kStrip - height);
        return;
    }
    if (left <= 0) self.Set(Prop::Left, 0);
    else if (hiddenRight) self.Set(Prop::Left, screenWidth - width);
    else if (top <= 0) self.Set(Prop::Top, 0);
}

}  // namespace orbiq
