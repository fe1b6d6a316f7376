// The About, sponsor and channel error report windows, opened modally from MainWindow.
#pragma once

#include <cstdint>

#include "platform/ui/ui.h"

namespace orbiq {

// The open windows' ids (0 while closed).
extern uint64_t gAboutWindow;
extern uint64_t gSponsorWindow;
extern uint64_t gReportWindow;

// MainWindow's triggers.
void OnAboutItemClick();
void OnSponsorButtonClick();
void OnReportChannelItemClick();
void OnChannelTreeRightButtonDown();

// AboutWindow.
platform::Handlers AboutWindowHandlers();
void OnAboutWindowCreated();
void OnAboutCloseButtonClick();

// SponsorWindow.
platform::Handlers SponsorWindowHandlers();
void OnSponsorWindowCreated();

// ChannelErrorReportWindow.
platform::Handlers ReportWindowHandlers();
void OnChannelErrorReportWindowCreated();
void OnReportButtonClick();
void OnReportCloseButtonClick();

}  // namespace orbiq
