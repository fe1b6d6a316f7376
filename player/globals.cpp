#include "player/globals.h"

#include "update/update_globals.h"

namespace orbiq {

std::unique_ptr<platform::IWMPSettings> gPlayerSettings;
std::unique_ptr<platform::IWMPControls> gPlayerControls;
int32_t gTickerStep = 0;
uint64_t gMainWindow = 0;
RemoteHosts gHosts;
std::atomic<int> gCounterThreads{0};

void InitialiseGlobals(const RemoteHosts& hosts) {
    gPlayerSettings.reset();
    gPlayerControls.reset();
    gTickerStep = 0;
    gMainWindow = 0;
    gHosts = hosts;
    InitialiseUpdateGlobals();
}

void ReleaseGlobals() {
    gPlayerSettings.reset();
    gPlayerControls.reset();
    ReleaseUpdateGlobals();
}

}  // namespace orbiq
