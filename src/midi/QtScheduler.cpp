#include "midi/QtScheduler.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace kw {

namespace {

class QtTimer : public Scheduler::Timer {
public:
    using Clock = std::chrono::steady_clock;

    explicit QtTimer(std::function<void()> fn) : fn_(std::move(fn))
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);  // lamps and pauses are tens of ms
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { fired(); });
    }
    void start(int ms) override
    {
        const Clock::time_point due = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
        due_ = due;
        active_ = true;
        // Already set to go off no later than that: it will sleep on then.
        if (timer_.isActive() && armedFor_ <= due)
            return;
        arm(due);
    }
    void stop() override
    {
        active_ = false;
        timer_.stop();
    }
    bool active() const override { return active_; }

private:
    void arm(Clock::time_point due)
    {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
        armedFor_ = due;
        timer_.start(int(std::max<decltype(left)>(left, 0)));
    }
    void fired()
    {
        if (!active_)
            return;
        if (Clock::now() < due_) {
            arm(due_);  // restarted meanwhile
            return;
        }
        active_ = false;
        fn_();
    }

    std::function<void()> fn_;
    QTimer timer_;
    Clock::time_point due_{};
    Clock::time_point armedFor_{};
    bool active_ = false;
};

} // namespace

std::unique_ptr<Scheduler::Timer> QtScheduler::timer(std::function<void()> fn)
{
    Q_ASSERT(!owner_ || owner_ == QThread::currentThread());
    if (!owner_)
        owner_ = QThread::currentThread();
    return std::make_unique<QtTimer>(std::move(fn));
}

QtScheduler::~QtScheduler()
{
    for (auto& [id, timer] : timers_)
        delete timer;
}

Scheduler::TimerId QtScheduler::after(int ms, std::function<void()> fn)
{
    // Timers belong to the thread that starts them; everything here runs on
    // the UI thread, and MIDI input reaches it only through a queued hop.
    Q_ASSERT(!owner_ || owner_ == QThread::currentThread());
    if (!owner_)
        owner_ = QThread::currentThread();
    const TimerId id = ++next_;
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);  // lamps and pauses are tens of ms
    QObject::connect(timer, &QTimer::timeout, timer, [this, id, timer, fn = std::move(fn)] {
        // Forget the timer before running the callback: the callback may start
        // new timers or cancel others, and must not find this one still pending.
        timers_.erase(id);
        timer->deleteLater();
        fn();
    });
    timers_.emplace(id, timer);
    timer->start(std::max(ms, 0));
    return id;
}

void QtScheduler::cancel(TimerId id)
{
    const auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

} // namespace kw
