#pragma once
#include "midi/Scheduler.h"

#include <map>
#include <utility>

namespace kwtest {

// A clock that only moves when the test says so.
class VirtualScheduler : public kw::Scheduler {
public:
    TimerId after(int ms, std::function<void()> fn) override
    {
        const TimerId id = ++next_;
        timers_.emplace(std::make_pair(now_ + ms, id), std::move(fn));
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
    void advance(long long ms)
    {
        const long long end = now_ + ms;
        while (!timers_.empty() && timers_.begin()->first.first <= end) {
            auto it = timers_.begin();
            now_ = it->first.first;
            auto fn = std::move(it->second);
            timers_.erase(it);
            fn();
        }
        now_ = end;
    }
    // Runs timers until none is left (bounded, so a self-rearming timer cannot hang a test).
    void runAll(int maxTimers = 100000)
    {
        while (!timers_.empty() && maxTimers-- > 0)
            advance(timers_.begin()->first.first - now_);
    }
    long long now() const { return now_; }
    size_t pending() const { return timers_.size(); }

private:
    long long now_ = 0;
    TimerId next_ = 0;
    std::map<std::pair<long long, TimerId>, std::function<void()>> timers_;
};

} // namespace kwtest
