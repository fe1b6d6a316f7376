// Window rounding: a round-rectangle region set on a window once at creation.
#pragma once

#include "common/unit_ref.h"

namespace orbiq {

// (0, 0) to (width, height + 15) with 14 x 14 corners: only the top corners show rounded.
void RoundWindowTopCorners(const UnitRef& window);
// (0, 0) to (width, height) with 6 x 6 corners.
void RoundWindowAllCorners(const UnitRef& window);

}  // namespace orbiq
