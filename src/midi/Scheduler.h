#pragma once
#include <cstdint>
#include <functional>

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
};

// A restartable single-shot timer on a Scheduler (lamps, time-outs, status).
class OneShot {
public:
    OneShot(Scheduler& s, std::function<void()> fn) : sched_(s), fn_(std::move(fn)) {}
    ~OneShot() { stop(); }
    OneShot(const OneShot&) = delete;
    OneShot& operator=(const OneShot&) = delete;
    void start(int ms)
    {
        stop();
        active_ = true;
        id_ = sched_.after(ms, [this] {
            active_ = false;
            fn_();
        });
    }
    void stop()
    {
        if (active_)
            sched_.cancel(id_);
        active_ = false;
    }
    bool active() const { return active_; }

private:
    Scheduler& sched_;
    std::function<void()> fn_;
    Scheduler::TimerId id_ = 0;
    bool active_ = false;
};

} // namespace kw
