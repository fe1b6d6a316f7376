// The About, sponsor and channel error report windows, opened from MainWindow.
#pragma once

namespace orbiq {

void OnAboutItemClick();
void OnSponsorButtonClick();
void OnReportChannelItemClick();
void OnChannelTreeRightButtonDown();

}  // namespace orbiq
