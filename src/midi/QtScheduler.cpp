#include "midi/QtScheduler.h"

#include <QThread>
#include <QTimer>

#include <algorithm>

namespace kw {

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
