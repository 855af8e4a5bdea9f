#include "shell/MessageWindow.h"
#include "support/QtApp.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using kw::TMessageWindow;

namespace {
// Does `act` on the window once its modal run has started.
int askAndThen(TMessageWindow& w, const std::function<void()>& act)
{
    QTimer::singleShot(0, &w, act);
    return w.ask("Save as SysEx or as bank file?", "SysEx", "Bank");
}
} // namespace

TEST(MessageWindow, AnswersByButtonAndZeroWhenClosedAndCanBeAskedAgain)
{
    kwtest::qtApp();
    TMessageWindow w;
    EXPECT_EQ(w.windowTitle(), " Knobwright Message");
    auto* ok = w.findChild<QPushButton*>("OKButton");
    auto* cancel = w.findChild<QPushButton*>("CancelButton");
    ASSERT_TRUE(ok && cancel);

    EXPECT_EQ(askAndThen(w, [&] { ok->click(); }), 1);
    EXPECT_EQ(ok->text(), "SysEx");
    EXPECT_EQ(cancel->text(), "Bank");
    EXPECT_EQ(w.findChild<QLabel*>("TextLabel")->text(), "Save as SysEx or as bank file?");
    EXPECT_EQ(askAndThen(w, [&] { cancel->click(); }), 2);
    // Closed by the window's own close button: no choice at all.
    EXPECT_EQ(askAndThen(w, [&] { w.close(); }), 0);
    EXPECT_EQ(askAndThen(w, [&] { ok->click(); }), 1);
}
