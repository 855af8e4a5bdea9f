#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace kw {

// Every pause, time-out and lamp timer goes through this, so nothing ever
// blocks the UI thread and tests can run in virtual time.
//
// Times are microseconds underneath: a MIDI byte takes 320 us on the cable,
// and the virtual CS1x keeps that exact instead of rounding each message up
// to whole milliseconds.
class Scheduler {
public:
    using TimerId = uint64_t;
    using Micros = std::chrono::microseconds;
    virtual ~Scheduler() = default;
    // Runs `fn` once, `delay` from now, on the UI thread.
    virtual TimerId afterMicros(Micros delay, std::function<void()> fn) = 0;
    TimerId after(int ms, std::function<void()> fn) { return afterMicros(Micros(int64_t(ms) * 1000), std::move(fn)); }
    // Cancelling an unknown or already-fired timer is harmless.
    virtual void cancel(TimerId id) = 0;

    // One timer, started again and again: a lamp restarted by every message,
    // the request time-out by every request.
    class Timer {
    public:
        virtual ~Timer() = default;
        // Fires once, `delay` from now; a running timer starts over.
        virtual void startMicros(Micros delay) = 0;
        void start(int ms) { startMicros(Micros(int64_t(ms) * 1000)); }
        virtual void stop() = 0;
        virtual bool active() const = 0;
    };
    // This one runs on afterMicros() and cancel(); a scheduler that can
    // restart a timer without making a new one each time gives its own.
    virtual std::unique_ptr<Timer> timer(std::function<void()> fn);
};

// A restartable single-shot timer on a Scheduler (lamps, time-outs, status).
class OneShot {
public:
    OneShot(Scheduler& s, std::function<void()> fn) : timer_(s.timer(std::move(fn))) {}
    OneShot(const OneShot&) = delete;
    OneShot& operator=(const OneShot&) = delete;
    void start(int ms) { timer_->start(ms); }
    void startMicros(Scheduler::Micros delay) { timer_->startMicros(delay); }
    void stop() { timer_->stop(); }
    bool active() const { return timer_->active(); }

private:
    std::unique_ptr<Scheduler::Timer> timer_;
};

} // namespace kw
