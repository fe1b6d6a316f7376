#include "platform/ui/pending_get.h"

#include <atomic>
#include <chrono>

#include "platform/events/event_wait.h"
#include "platform/ui/program.h"

namespace orbiq::platform {
namespace {

std::atomic<bool> gGetsAhead{true};

// Past the GET's own time-out, the wait gives up: a transfer that outlives curl's limits
// counts as failed.
constexpr long kGraceMs = 2000;

}  // namespace

struct PendingGet::State {
    Text url;
    HttpGetLimits limits;
    bool started = false;
    ByteSet body;  // the worker's, until it signals
    EventWait done;
};

PendingGet::PendingGet(const Text& url, const HttpGetLimits& limits) : state_(std::make_shared<State>()) {
    state_->url = url;
    state_->limits = limits;
    if (!gGetsAhead.load()) return;
    EnsureCurlGlobal();  // on the caller's thread, never first inside a worker
    // The worker keeps its own reference: a get abandoned by its caller writes only into
    // memory that nobody reads any more.
    state_->started = StartThread(std::function<void()>([state = state_] {
        state->body = HttpGet(state->url, state->limits);
        state->done.Signal();
    }));
}

ByteSet PendingGet::Take() {
    const std::shared_ptr<State> state = std::move(state_);
    if (!state) return {};
    if (!state->started) return HttpGet(state->url, state->limits);  // no thread to run it on
    if (!state->done.Wait(std::chrono::milliseconds(state->limits.totalTimeoutMs + kGraceMs))) return {};
    return std::move(state->body);
}

void SetGetsAheadForBench(bool ahead) { gGetsAhead.store(ahead); }

}  // namespace orbiq::platform
