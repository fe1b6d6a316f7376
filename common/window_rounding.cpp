#include "common/window_rounding.h"


namespace orbiq {

void RoundWindowTopCorners(const UnitRef& window) {
    int32_t height = window.GetInt(Prop::Height);
    int32_t width = window.GetInt(Prop::Width);
    int32_t bottom = static_cast<int32_t>(static_cast<double>(height) + 15.0);
    window.Set(Prop::Region, RoundRegion{0, 0, width, bottom, 14, 14});
}

void RoundWindowAllCorners(const UnitRef& window) {
    int32_t height = window.GetInt(Prop::Height);
    int32_t width = window.GetInt(Prop::Width);
    window.Set(Prop::Region, RoundRegion{0, 0, width, height, 6, 6});
}

}  // namespace orbiq
