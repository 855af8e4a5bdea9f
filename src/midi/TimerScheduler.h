#pragma once
// kw::Scheduler on Qt timers, for programs that run a Qt event loop.

#include "midi/Scheduler.h"

#include <QObject>

#include <unordered_map>

class QTimer;

namespace kw {

class TimerScheduler : public QObject, public Scheduler {
    Q_OBJECT
public:
    explicit TimerScheduler(QObject* parent = nullptr) : QObject(parent) {}
    ~TimerScheduler() override;
    TimerId after(int ms, std::function<void()> fn) override;
    void cancel(TimerId id) override;

private:
    TimerId next_ = 0;
    std::unordered_map<TimerId, QTimer*> timers_;
};

} // namespace kw
