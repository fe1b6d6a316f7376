// A completion that another thread signals and the UI thread waits for while it goes on
// handling its events: the wait sleeps between events and wakes on the signal, never spins.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

class QAbstractEventDispatcher;

namespace orbiq::platform {

class EventWait {
public:
    // Any thread, any number of times.
    void Signal();
    bool Signalled() const { return signalled_.load(std::memory_order_acquire); }

    // Returns true once signalled, false when `limit` has passed first. A thread with an
    // event dispatcher (the UI thread) handles its events meanwhile, so a handler may run
    // and wait again inside it; any other thread sleeps on a condition variable.
    bool Wait(std::chrono::milliseconds limit);

private:
    std::atomic<bool> signalled_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<QAbstractEventDispatcher*> waiting_;  // dispatchers of the threads inside Wait
};

// Runs work on a thread of its own while the calling thread waits for it in an EventWait,
// handling its events; in place on a thread without an event loop, or when no thread can be
// started. Returns once work has returned.
void RunWhileHandlingEvents(const std::function<void()>& work);

}  // namespace orbiq::platform
