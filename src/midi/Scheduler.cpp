#include "midi/Scheduler.h"

namespace kw {

namespace {

class AfterTimer : public Scheduler::Timer {
public:
    AfterTimer(Scheduler& s, std::function<void()> fn) : sched_(s), fn_(std::move(fn)) {}
    ~AfterTimer() override { stop(); }
    void startMicros(Scheduler::Micros delay) override
    {
        stop();
        active_ = true;
        id_ = sched_.afterMicros(delay, [this] {
            active_ = false;
            fn_();
        });
    }
    void stop() override
    {
        if (active_)
            sched_.cancel(id_);
        active_ = false;
    }
    bool active() const override { return active_; }

private:
    Scheduler& sched_;
    std::function<void()> fn_;
    Scheduler::TimerId id_ = 0;
    bool active_ = false;
};

} // namespace

std::unique_ptr<Scheduler::Timer> Scheduler::timer(std::function<void()> fn)
{
    return std::make_unique<AfterTimer>(*this, std::move(fn));
}

} // namespace kw
