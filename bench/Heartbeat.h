#pragma once
// The event loop's pulse: a 1 ms timer that notes how long the loop went
// without turning (a stall), for the benchmarks that measure stalls.

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace kwbench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point t0, Clock::time_point t1)
{
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// The longest the event loop went without turning, while it runs.
class Heartbeat {
public:
    Heartbeat()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            const double gap = msSince(last_, now);
            worst_ = std::max(worst_, gap);
            if (gap > 2.0)
                gaps.push_back({last_, now});
            last_ = now;
        });
        timer_.start();
        reset();
    }
    void reset()
    {
        last_ = Clock::now();
        worst_ = 0;
    }
    // The gap still open counts too.
    double worst() const { return std::max(worst_, msSince(last_, Clock::now())); }
    // The longest gap that began at `from` or later (the one still open too).
    double worstSince(Clock::time_point from) const
    {
        double w = last_ >= from ? msSince(last_, Clock::now()) : 0;
        for (const auto& [a, b] : gaps)
            if (a >= from)
                w = std::max(w, msSince(a, b));
        return w;
    }
    // The length of the gap that held `t`.
    double gapHolding(Clock::time_point t) const
    {
        for (const auto& [a, b] : gaps)
            if (a <= t && t <= b)
                return msSince(a, b);
        return 0;
    }
    std::vector<std::pair<Clock::time_point, Clock::time_point>> gaps;

private:
    QTimer timer_;
    Clock::time_point last_;
    double worst_ = 0;
};

} // namespace kwbench
