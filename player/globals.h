// The player's global state: each global belongs to the subsystem that names it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "common/hosts.h"
#include "common/unit_ref.h"
#include "platform/ui/media_player.h"

namespace orbiq {

// Player objects, obtained by the start-up and kept until the program ends.
extern std::unique_ptr<platform::IWMPSettings> gPlayerSettings;
extern std::unique_ptr<platform::IWMPControls> gPlayerControls;
// Pixels the ticker label moves left on every tick; written only by StartTicker.
extern int32_t gTickerStep;

// The loaded MainWindow and the remote side's hosts.
extern uint64_t gMainWindow;
extern RemoteHosts gHosts;

// Counter threads still running (they end by themselves).
extern std::atomic<int> gCounterThreads;

// The program's first act: every global empty or 0, the remote side's hosts set.
void InitialiseGlobals(const RemoteHosts& hosts);
// The clean-up routine, registered at start.
void ReleaseGlobals();

// A unit of MainWindow by its stored name.
inline UnitRef MainUnit(const char* name) { return UnitRef{gMainWindow, name}; }

}  // namespace orbiq
