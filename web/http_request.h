// The blocking HTTP request call: the WinINet transaction runs on a worker thread of its own
// while the calling thread keeps handling its events, until the body is in or time runs out.
#pragma once

#include "common/text.h"
#include "platform/events/event_wait.h"
#include "platform/inet/wininet.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace orbiq {

// One request, shared by its call and its worker. The call writes url to body before the
// worker starts; then only the worker writes headers and response.
struct HttpRequestSlot {
    Text url;
    Text verb;
    Text proxy;
    Text headers;
    Text body;
    ByteSet response;
    std::thread::id workerThread;  // written once by the call, right after the start
    platform::EventWait finished;  // the worker's last act signals it

    // Guards the fields below: how the call stops an abandoned worker.
    std::mutex handleMutex;
    bool callerGone = false;                 // the call has given up: the worker opens nothing more
    platform::HINTERNET internet = nullptr;  // the worker's open internet handle
};

// The response body whatever the status; empty on any failure, after the time-out and when
// the body runs past 16 MiB.
// timeoutSeconds 0 means 90; a negative value gives up at the first test.
ByteSet SendHttpRequest(const Text& url, const Text& verb = {}, const Text& proxy = {},
                        const Text& headers = {}, const Text& body = {}, int32_t timeoutSeconds = 0);

// The worker's routine: one GET or POST with the default headers, the whole body read, and
// the cookies that the answer sets stored.
void RunHttpWorker(std::shared_ptr<HttpRequestSlot> slot);

}  // namespace orbiq
