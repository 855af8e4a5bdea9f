#pragma once
// The scheduler of the running program. Every timer, one-shot or restartable,
// waits in one queue ordered by its due time, and one wake-up source on the
// thread that owns the scheduler (the UI thread) runs what is due through the
// event loop, so nothing blocks it. On Linux the wake-up is a timerfd, good
// to a few microseconds: Qt's own timers count whole milliseconds and would
// add up to one to every pause, time-out and emulated reply.

#include "midi/Scheduler.h"

#include <map>
#include <memory>

class QThread;

namespace kw {

class QtScheduler : public Scheduler {
public:
    using Clock = std::chrono::steady_clock;

    QtScheduler();
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    TimerId afterMicros(Micros delay, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    // A restart moves the timer's place in the queue without allocating: a
    // lamp restarted by every message of a flood costs a few nanoseconds.
    std::unique_ptr<Timer> timer(std::function<void()> fn) override;
    // One-shots (afterMicros) started and neither fired nor cancelled.
    size_t pending() const;

    class Queue;

private:
    std::shared_ptr<Queue> queue_;
};

} // namespace kw
