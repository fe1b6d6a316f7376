// DecoderDownloadWindow: downloads the decoder installer and runs it on request.
#pragma once

#include <cstdint>

#include "common/hosts.h"

namespace orbiq {

// Loads the window modally with no parent; returns once it has been destroyed.
uint64_t OpenDecoderDownloadWindow(const RemoteHosts& hosts);

}  // namespace orbiq
