#include "midi/QtScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <memory>
#include <string>

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
