#pragma once
// What the end-to-end programs share: run_e2e.sh's environment and a way to
// let the event loop run until something has happened.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string>

namespace kwtest {

inline std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Lets the event loop run (input arrives through it) until `done` or the
// time is up; never blocks the thread in a sleep.
inline bool runUntil(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

} // namespace kwtest
