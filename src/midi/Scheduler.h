#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace kw {

// Every pause, time-out and lamp timer goes through this, so nothing ever
// blocks the UI thread and tests can run in virtual time.
class Scheduler {
public:
    using TimerId = uint64_t;
    virtual ~Scheduler() = default;
    // Runs `fn` once, `ms` milliseconds from now, on the UI thread.
    virtual TimerId after(int ms, std::function<void()> fn) = 0;
    // Cancelling an unknown or already-fired timer is harmless.
    virtual void cancel(TimerId id) = 0;

    // One timer, started again and again: a lamp restarted by every message,
    // the request time-out by every request.
    class Timer {
    public:
        virtual ~Timer() = default;
        // Fires once, `ms` from now; a running timer starts over.
        virtual void start(int ms) = 0;
        virtual void stop() = 0;
        virtual bool active() const = 0;
    };
    // This one runs on after() and cancel(); a scheduler that can restart a
    // timer without making a new one each time gives its own.
    virtual std::unique_ptr<Timer> timer(std::function<void()> fn);
};

// A restartable single-shot timer on a Scheduler (lamps, time-outs, status).
class OneShot {
public:
    OneShot(Scheduler& s, std::function<void()> fn) : timer_(s.timer(std::move(fn))) {}
    OneShot(const OneShot&) = delete;
    OneShot& operator=(const OneShot&) = delete;
    void start(int ms) { timer_->start(ms); }
    void stop() { timer_->stop(); }
    bool active() const { return timer_->active(); }

private:
    std::unique_ptr<Scheduler::Timer> timer_;
};

} // namespace kw
