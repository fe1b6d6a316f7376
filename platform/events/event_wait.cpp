#include "platform/events/event_wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <system_error>
#include <thread>

namespace orbiq::platform {

void EventWait::Signal() {
    std::lock_guard lock(mutex_);
    signalled_.store(true, std::memory_order_release);
    for (QAbstractEventDispatcher* dispatcher : waiting_) dispatcher->wakeUp();
    wake_.notify_all();
}

// Each pass handles the pending events, then sleeps in processEvents(WaitForMoreEvents) until
// the next event, the signal's wakeUp() or the timer set at the limit. A nested wait inside
// one of those events may swallow the wake-up meant for this one, so the flag is tested again
// right before each sleep; the flag is set before the wake-up, so no signal goes unseen.
bool EventWait::Wait(std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + limit;
    QAbstractEventDispatcher* dispatcher = QCoreApplication::instance() ? QAbstractEventDispatcher::instance() : nullptr;
    if (!dispatcher) {
        std::unique_lock lock(mutex_);
        return wake_.wait_until(lock, deadline, [this] { return Signalled(); });
    }
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(dispatcher);
    }
    struct Leave {
        EventWait* self;
        QAbstractEventDispatcher* dispatcher;
        ~Leave() {
            std::lock_guard lock(self->mutex_);
            auto& w = self->waiting_;
            w.erase(std::find(w.begin(), w.end(), dispatcher));
        }
    } leave{this, dispatcher};
    QTimer wakeAtDeadline;
    wakeAtDeadline.setSingleShot(true);
    wakeAtDeadline.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (Signalled()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (Signalled()) return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (!wakeAtDeadline.isActive()) wakeAtDeadline.start(left + std::chrono::milliseconds(1));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void RunWhileHandlingEvents(const std::function<void()>& work) {
    if (!QCoreApplication::instance() || !QAbstractEventDispatcher::instance()) {
        work();
        return;
    }
    EventWait done;
    std::thread worker;
    try {
        worker = std::thread([&] {
            work();
            done.Signal();
        });
    } catch (const std::system_error&) {
        work();
        return;
    }
    while (!done.Wait(std::chrono::hours(1))) {
    }
    worker.join();
}

}  // namespace orbiq::platform
