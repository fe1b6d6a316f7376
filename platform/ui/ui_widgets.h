// What lies behind the units: their widgets and media engines, for the program's start, tests
// and screenshots. Handlers reach units through UnitRef only; this header does not compile
// in their folders.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "platform/ui/ui.h"

namespace orbiq::platform {

class MediaEngine;

// Media player units.
MediaEngine* MediaPlayerOf(const UnitRef& player);
// How media player units make their engine (tests install scripted engines).
using MediaEngineFactory = std::function<std::unique_ptr<MediaEngine>(QWidget* parent)>;
void SetMediaEngineFactory(MediaEngineFactory factory);

// The widget behind a unit or window.
QWidget* WidgetOf(const UnitRef& unit);

}  // namespace orbiq::platform
