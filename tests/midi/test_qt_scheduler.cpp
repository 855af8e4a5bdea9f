#include "midi/QtScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

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
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::pair<int, long long>> fired;  // which, how long after the start (us)
    auto at = [&](int which) {
        return [&, which] {
            fired.emplace_back(
                which, std::chrono::duration_cast<us>(std::chrono::steady_clock::now() - start).count());
        };
    };
    // Three cable bytes and a bit: Qt's millisecond timers could tell none of these apart.
    s.afterMicros(us(1300), at(3));
    s.afterMicros(us(320), at(1));
    kw::OneShot lamp(s, at(2));
    lamp.startMicros(us(2000));
    lamp.startMicros(us(960));  // restarted earlier: its new time counts
    spinUntil([&] { return fired.size() == 3; });
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[0].first, 1);
    EXPECT_EQ(fired[1].first, 2);
    EXPECT_EQ(fired[2].first, 3);
    EXPECT_GE(fired[0].second, 320);
    EXPECT_GE(fired[1].second, 960);
    EXPECT_GE(fired[2].second, 1300);
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
        s->after(5, [&] {
            order += 'b';
            dialog.quit();
        });
        lamp.start(2);
        dialog.exec();
        order += 'c';
    });
    s->after(3, [&] { order += 'd'; });
    spinUntil([&] { return order.size() >= 5; });
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
