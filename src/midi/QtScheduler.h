#pragma once
// The scheduler of the running program: QTimer single-shots on the thread that
// owns the scheduler (the UI thread), so every pause and time-out comes back
// through the event loop instead of blocking it.

#include "midi/Scheduler.h"

#include <unordered_map>

class QThread;
class QTimer;

namespace kw {

class QtScheduler : public Scheduler {
public:
    QtScheduler() = default;
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    TimerId after(int ms, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    // One QTimer for the life of the timer. A restart that only moves the
    // time later (a lamp restarted by every message of a flood) touches no Qt
    // timer at all: when the QTimer fires early it sleeps on for the rest.
    std::unique_ptr<Timer> timer(std::function<void()> fn) override;
    // Timers started and neither fired nor cancelled.
    size_t pending() const { return timers_.size(); }

private:
    QThread* owner_ = nullptr;
    TimerId next_ = 0;
    std::unordered_map<TimerId, QTimer*> timers_;
};

} // namespace kw
