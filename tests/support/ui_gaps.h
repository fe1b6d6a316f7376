// How long the UI thread went without serving a 10 ms timer: what a click, a key or a paint
// waits for at worst.
#pragma once

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>

namespace orbiq::test {

class UiGapMeter {
public:
    using Clock = std::chrono::steady_clock;

    // onTick, if given, runs at every tick (a place to watch the windows from).
    explicit UiGapMeter(std::function<void()> onTick = {}) : onTick_(std::move(onTick)) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
            if (onTick_) onTick_();
        });
        last_ = Clock::now();
        timer_.start(10);
    }
    void Stop() { timer_.stop(); }
    double LongestMs() const { return std::chrono::duration<double, std::milli>(longest_).count(); }

private:
    QTimer timer_;
    std::function<void()> onTick_;
    Clock::time_point last_;
    Clock::duration longest_{};
};

}  // namespace orbiq::test
