#include "player/small_windows.h"

namespace orbiq {

void OnAboutItemClick() {}
void OnSponsorButtonClick() {}
void OnReportChannelItemClick() {}
void OnChannelTreeRightButtonDown() {}

}  // namespace orbiq
