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
