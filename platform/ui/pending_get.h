// Plain GETs started ahead of the steps that use their answers: each runs on a thread of its
// own, and taking an answer waits for it while the UI thread goes on handling its events.
#pragma once

#include <memory>

#include "platform/net/http_get.h"

namespace orbiq::platform {

class PendingGet {
public:
    PendingGet() = default;  // nothing to fetch: Take gives the empty byte set
    // Starts the GET at once.
    explicit PendingGet(const Text& url, const HttpGetLimits& limits = {});

    // The answer as HttpGet gives it (the empty byte set on any failure), once it is in; a
    // second Take gives the empty byte set. The wait ends a little after the GET's own
    // time-out whatever the thread does.
    ByteSet Take();

private:
    struct State;
    std::shared_ptr<State> state_;
};

// The start-up benchmark's stand-in for the former way: with false, each GET runs only when
// its answer is taken, on the calling thread, which handles no event until it is over.
void SetGetsAheadForBench(bool ahead);

}  // namespace orbiq::platform
