// DecoderDownloadWindow: downloads the decoder installer and runs it on request.
#pragma once

#include <cstdint>

#include "common/hosts.h"
#include "common/text.h"
#include "platform/ui/ui.h"

namespace orbiq {

// The open (or last) DecoderDownloadWindow; UI thread only.
extern uint64_t gDecoderWindow;
// The path of the installer on the decoder's download host.
inline constexpr const char* kDecoderPath = "web/orbiq_zyjiema.exe";

// Every handler bound by the window's description.
platform::Handlers DecoderWindowHandlers();
// Loads the window modally with no parent; returns once it has been destroyed.
uint64_t OpenDecoderDownloadWindow(const RemoteHosts& hosts);

void OnDecoderDownloadWindowCreated();
void OnDecoderDownloadButtonClick();
// The decoder task's callbacks; they run on the transfer thread.
int32_t OnDecoderTransferEvent(int32_t code, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
void OnDecoderTransferInfo(int32_t, const Text&, const Text&, int32_t, int32_t);
void OnDecoderCancelButtonClick();
void OnDecoderProgressTimerTick();
void OnDecoderStatusTimerTick();

// The text form of a number in the window's labels: at most 15 significant digits,
// no trailing zeros ("1", "1.5", "0.01").
Text DecoderNumberText(double value);

}  // namespace orbiq
