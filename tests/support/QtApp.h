#pragma once
#include <QApplication>

namespace kwtest {

// Suites that link gtest_main but need widgets share one offscreen
// QApplication, made on first use and never destroyed (Qt dislikes a second).
inline QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "knobwright-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* a = [] {
        // Offscreen, on the screen the test's command chose, or a desk's.
        if (!qgetenv("QT_QPA_PLATFORM").startsWith("offscreen:"))
            qputenv("QT_QPA_PLATFORM", KW_OFFSCREEN_DESK);
        return new QApplication(argc, argv);
    }();
    return *a;
}

} // namespace kwtest
