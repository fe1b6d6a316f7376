// The plain HTTP GET of a URL: the body as a byte set, empty on any failure.
#pragma once

#include "common/text.h"

namespace orbiq::platform {

// Limits that keep a dead or hostile host from freezing the caller or filling memory.
struct HttpGetLimits {
    long connectTimeoutMs = 2000;  // TCP connect
    long totalTimeoutMs = 6000;    // whole transfer
    size_t maxBodyBytes = 8u << 20;  // larger bodies count as failures
};

// libcurl's global set-up, once per process; the program's start calls it before any thread.
void EnsureCurlGlobal();

// Blocks until the transfer is over. A status of 400 or above, a body over the limit,
// a time-out or any transport error give the empty byte set.
ByteSet HttpGet(const Text& url, const HttpGetLimits& limits = {});

}  // namespace orbiq::platform
