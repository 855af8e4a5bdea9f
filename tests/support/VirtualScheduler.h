#pragma once
#include "midi/Scheduler.h"

#include <algorithm>
#include <map>
#include <utility>

namespace kwtest {

// A clock that only moves when the test says so. It keeps microseconds, as
// the real scheduler does; now() and advance() speak milliseconds.
class VirtualScheduler : public kw::Scheduler {
public:
    TimerId afterMicros(Micros delay, std::function<void()> fn) override
    {
        const TimerId id = ++next_;
        timers_.emplace(std::make_pair(nowUs_ + std::max<long long>(delay.count(), 0), id), std::move(fn));
        return id;
    }
    void cancel(TimerId id) override
    {
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->first.second == id) {
                timers_.erase(it);
                return;
            }
    }
    // Runs every timer due within `ms`, in time order (ties in creation order).
    void advance(long long ms) { advanceMicros(ms * 1000); }
    void advanceMicros(long long us)
    {
        const long long end = nowUs_ + us;
        while (!timers_.empty() && timers_.begin()->first.first <= end) {
            auto it = timers_.begin();
            nowUs_ = it->first.first;
            auto fn = std::move(it->second);
            timers_.erase(it);
            fn();
        }
        nowUs_ = end;
    }
    // Runs timers until none is left (bounded, so a self-rearming timer cannot hang a test).
    void runAll(int maxTimers = 100000)
    {
        while (!timers_.empty() && maxTimers-- > 0)
            advanceMicros(timers_.begin()->first.first - nowUs_);
    }
    // Whole milliseconds gone by.
    long long now() const { return nowUs_ / 1000; }
    long long nowMicros() const { return nowUs_; }
    size_t pending() const { return timers_.size(); }

private:
    long long nowUs_ = 0;
    TimerId next_ = 0;
    std::map<std::pair<long long, TimerId>, std::function<void()>> timers_;
};

} // namespace kwtest
