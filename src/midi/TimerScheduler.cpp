#include "midi/TimerScheduler.h"

#include <QTimer>

namespace kw {

TimerScheduler::~TimerScheduler()
{
    for (auto& [id, t] : timers_)
        delete t;
}

Scheduler::TimerId TimerScheduler::after(int ms, std::function<void()> fn)
{
    const TimerId id = ++next_;
    auto* t = new QTimer(this);
    t->setSingleShot(true);
    t->setTimerType(Qt::PreciseTimer);
    connect(t, &QTimer::timeout, this, [this, id, t, fn = std::move(fn)] {
        timers_.erase(id);
        t->deleteLater();
        fn();
    });
    timers_.emplace(id, t);
    t->start(std::max(0, ms));
    return id;
}

void TimerScheduler::cancel(TimerId id)
{
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

} // namespace kw
