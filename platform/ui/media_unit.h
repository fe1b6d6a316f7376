// The media player unit: hosts a media engine (libmpv) in the window.
#pragma once

#include <memory>

#include "platform/ui/units.h"

namespace orbiq::platform {

std::unique_ptr<Unit> CreateMediaPlayerUnit(Window* window, const QJsonObject& description);

}  // namespace orbiq::platform
