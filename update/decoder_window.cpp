#include "update/decoder_window.h"

namespace orbiq {

uint64_t OpenDecoderDownloadWindow(const RemoteHosts&) { return 0; }

}  // namespace orbiq
