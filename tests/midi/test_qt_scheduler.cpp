#include "midi/QtScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>
#include <chrono>

// Counts what is allocated while a test asks for it.
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t n)
{
    if (counting)
        ++allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
// The library's temporary buffers (std::stable_sort) take the nothrow form.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    if (counting)
        ++allocations;
    return std::malloc(n ? n : 1);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_midi";
    static char* argv[] = {name, nullptr};
    static auto* instance = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)instance;
    return *QCoreApplication::instance();
}

// Runs the event loop until `done` or a generous limit, without sleeping.
template <class Pred>
void spinUntil(Pred done, int limitMs = 2000)
{
    app();
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
}

} // namespace

TEST(QtScheduler, FiresOnceInTimeOrderAndCancelledTimersNever)
{
    app();
    kw::QtScheduler s;
    std::string order;
    s.after(30, [&] { order += 'c'; });
    const auto dropped = s.after(10, [&] { order += 'x'; });
    s.after(0, [&] { order += 'a'; });
    s.after(15, [&] { order += 'b'; });
    s.cancel(dropped);
    s.cancel(dropped);   // twice is harmless
    s.cancel(987654);    // unknown too
    EXPECT_EQ(s.pending(), 3u);
    spinUntil([&] { return s.pending() == 0; });
    EXPECT_EQ(order, "abc");
    QCoreApplication::processEvents();
    EXPECT_EQ(order, "abc");
}

TEST(QtScheduler, CallbacksMayRearmAndCancelAndTheSchedulerMayGoWithTimersPending)
{
    app();
    int fired = 0;
    {
        kw::QtScheduler s;
        kw::OneShot lamp(s, [&] { ++fired; });
        kw::Scheduler::TimerId victim = 0;
        s.after(5, [&] {
            lamp.start(5);        // restart from inside a callback
            s.cancel(victim);
        });
        victim = s.after(20, [&] { fired += 100; });
        spinUntil([&] { return fired > 0; });
        EXPECT_EQ(fired, 1);
        EXPECT_EQ(s.pending(), 0u);
        s.after(10000, [&] { fired += 1000; });
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1);
}

TEST(QtScheduler, ARestartedTimerIsTheSameTimerAndFiresAtItsLatestTime)
{
    app();
    kw::QtScheduler s;
    QElapsedTimer clock;
    qint64 firedAt = -1;
    int fired = 0;
    kw::OneShot lamp(s, [&] {
        ++fired;
        firedAt = clock.elapsed();
    });
    clock.start();
    lamp.start(50);
    // A flood: every message restarts the lamp. Nothing may be made anew.
    allocations = 0;
    counting = true;
    for (int i = 0; i < 10000; ++i)
        lamp.start(50);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);

    spinUntil([&] { return clock.elapsed() >= 30; });
    lamp.start(50);  // later again: fires 50 ms from here, not before
    spinUntil([&] { return fired > 0; });
    EXPECT_EQ(fired, 1);
    EXPECT_GE(firedAt, 80);

    // An earlier time is kept too, and a stopped timer stays quiet.
    fired = 0;
    clock.restart();
    lamp.start(5000);
    lamp.start(10);
    spinUntil([&] { return fired > 0; });
    EXPECT_LT(firedAt, 1000);
    lamp.start(10);
    lamp.stop();
    EXPECT_FALSE(lamp.active());
    spinUntil([] { return false; }, 50);
    EXPECT_EQ(fired, 1);
}

TEST(QtScheduler, MicrosecondTimesKeepTheirOrderAndNeverFireEarly)
{
    app();
    kw::QtScheduler s;
    using us = std::chrono::microseconds;
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    auto since = [&](clock::time_point t) { return std::chrono::duration_cast<us>(t - start).count(); };
    // Each timer's deadline as the scheduler can have set it: between the
    // clock just before the call and just after it, plus the delay. A slow
    // call (the first one sets the queue up; a loaded machine) moves the
    // deadlines, so the order to expect is the order of these, not of the
    // delays alone.
    struct Timer {
        long long earliest = 0, latest = 0, fired = -1;
    };
    std::vector<Timer> timers(3);
    std::vector<int> order;
    auto firing = [&](int which) {
        return [&, which] {
            timers[size_t(which)].fired = since(clock::now());
            order.push_back(which);
        };
    };
    auto scheduled = [&](int which, long long delay, auto call) {
        const auto before = clock::now();
        call();
        const auto after = clock::now();
        timers[size_t(which)].earliest = since(before) + delay;
        timers[size_t(which)].latest = since(after) + delay;
    };
    // Three cable bytes and a bit: Qt's millisecond timers could tell none of these apart.
    scheduled(2, 1300, [&] { s.afterMicros(us(1300), firing(2)); });
    scheduled(0, 320, [&] { s.afterMicros(us(320), firing(0)); });
    kw::OneShot lamp(s, firing(1));
    lamp.startMicros(us(2000));
    scheduled(1, 960, [&] { lamp.startMicros(us(960)); });  // restarted earlier: its new time counts
    spinUntil([&] { return order.size() == 3; });
    ASSERT_EQ(order.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const Timer& t = timers[size_t(i)];
        EXPECT_GE(t.fired, t.earliest) << "timer " << i << " fired early";
        for (int j = 0; j < 3; ++j) {
            // Deadlines that surely come in this order fire in this order.
            if (t.latest < timers[size_t(j)].earliest) {
                EXPECT_LT(std::find(order.begin(), order.end(), i) - order.begin(),
                          std::find(order.begin(), order.end(), j) - order.begin())
                    << "timer " << i << " is due before timer " << j;
            }
        }
    }
}

TEST(QtScheduler, ACallbackThatWaitsInAnEventLoopOfItsOwnDoesNotStopTheOtherTimers)
{
    // A modal dialog opened from a timer's callback runs such a loop: the
    // pauses and time-outs must go on meanwhile.
    app();
    std::string order;
    auto s = std::make_unique<kw::QtScheduler>();
    kw::OneShot lamp(*s, [&] { order += 'l'; });
    s->after(1, [&] {
        order += 'a';
        QEventLoop dialog;
        s->after(20, [&] {
            order += 'b';
            dialog.quit();
        });
        lamp.start(2);
        dialog.exec();
        order += 'c';
    });
    s->after(3, [&] { order += 'd'; });
    spinUntil([&] { return order.size() >= 5; });
    // The lamp (2 ms after 'a') and 'd' (3 ms after the start) both fire
    // inside the loop, in an order that depends on how late 'a' came; 'b'
    // is due long after either.
    ASSERT_EQ(order.size(), 5u);
    if (order[1] == 'd')
        std::swap(order[1], order[2]);
    EXPECT_EQ(order, "aldbc");

    // A callback may end its scheduler too; what was left never runs.
    s->after(1, [&] {
        order += 'x';
        s.reset();
    });
    s->after(1, [&] { order += 'y'; });
    spinUntil([&] { return order.size() >= 6; });
    spinUntil([] { return false; }, 20);
    EXPECT_EQ(order, "aldbcx");
}
