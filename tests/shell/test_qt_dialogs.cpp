// The program's dialogs: the question window made once and reused, boxes
// titled like the main window, and a window that takes its dialogs along.
#include "shell/MessageWindow.h"
#include "shell/QtDialogs.h"
#include "support/QtApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTest>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using kw::QtDialogs;

namespace {

// Runs `act` on the modal window once it is up.
void whenModal(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

QAbstractButton* buttonOf(QWidget* box, const QString& text)
{
    for (QAbstractButton* b : box->findChildren<QAbstractButton*>())
        if (b->text().remove(QLatin1Char('&')) == text)
            return b;
    return nullptr;
}

} // namespace

TEST(QtDialogs, AsksThroughTheOneQuestionWindowOfTheMainWindow)
{
    kwtest::qtApp();
    auto* window = new QWidget;
    window->setWindowTitle(QStringLiteral(" Knobwright"));
    QtDialogs dialogs;
    dialogs.setParent(window);
    QPointer<kw::TMessageWindow> question = &dialogs.messageWindow();
    EXPECT_EQ(question->parent(), window);

    whenModal([](QWidget* w) { w->findChild<QPushButton*>("CancelButton")->click(); });
    EXPECT_EQ(dialogs.ask("Save as SysEx or as bank file?", "SysEx", "Bank"), 2);
    whenModal([](QWidget* w) { w->findChild<QPushButton*>("OKButton")->click(); });
    EXPECT_EQ(dialogs.ask("Again?", "Yes", "No"), 1);
    EXPECT_EQ(&dialogs.messageWindow(), question.data()) << "reused, not made again";

    // It goes with its window; the dialogs do not delete it a second time.
    delete window;
    EXPECT_TRUE(question.isNull());
}

TEST(QtDialogs, BoxesCarryTheWindowsTitleAndNoEndsTheQuestion)
{
    kwtest::qtApp();
    QWidget window;
    window.setWindowTitle(QStringLiteral(" Knobwright"));
    QtDialogs dialogs;
    dialogs.setParent(&window);

    QString title, text;
    whenModal([&](QWidget* box) {
        title = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
        buttonOf(box, "OK")->click();
    });
    dialogs.inform("CS1x responding...");
    EXPECT_EQ(title, " Knobwright");
    EXPECT_EQ(text, "CS1x responding...");

    whenModal([&](QWidget* box) {
        title = box->windowTitle();
        buttonOf(box, "No")->click();
    });
    EXPECT_FALSE(dialogs.confirm("Caution", "Changes on actual Performance will be lost - continue?"));
    EXPECT_EQ(title, "Caution");
    whenModal([&](QWidget* box) { buttonOf(box, "Yes")->click(); });
    EXPECT_TRUE(dialogs.confirm("Caution", "Changes on actual Performance will be lost - continue?"));

    // Return takes the default: No where Yes throws work away, else Yes.
    for (const auto byDefault : {kw::Dialogs::Default::No, kw::Dialogs::Default::Yes}) {
        whenModal([&](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
        EXPECT_EQ(dialogs.confirm("Caution", "Changes on actual Performance will be lost - continue?", byDefault),
                  byDefault == kw::Dialogs::Default::Yes);
    }
}

TEST(QtDialogs, NoticesShowWithoutWaitingInOneReusedBox)
{
    kwtest::qtApp();
    QWidget window;
    window.setWindowTitle(QStringLiteral(" Knobwright"));
    QtDialogs dialogs;
    dialogs.setParent(&window);
    auto* box = window.findChild<QMessageBox*>("NoticeBox");
    ASSERT_NE(box, nullptr) << "made with the window";
    EXPECT_FALSE(dialogs.notifying());

    dialogs.notify("CS1x responding...");  // returns with the box up
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(dialogs.notifying());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "it blocks no window";
    EXPECT_EQ(box->windowTitle(), " Knobwright");
    EXPECT_EQ(box->text(), "CS1x responding...");
    buttonOf(box, "OK")->click();
    EXPECT_FALSE(dialogs.notifying());

    dialogs.notify("Receive-Error - Wrong blocksize");
    EXPECT_EQ(window.findChildren<QMessageBox*>("NoticeBox").size(), 1);
    EXPECT_EQ(box->text(), "Receive-Error - Wrong blocksize");
    box->close();
    EXPECT_FALSE(dialogs.notifying());
}

TEST(QtDialogs, AnAnswerTakesTheBoxAndTheFocusANoticeTakesNeither)
{
    kwtest::qtApp();
    QWidget window;
    window.setWindowTitle(QStringLiteral(" Knobwright"));
    auto* list = new QListWidget(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->setFocus();
    QtDialogs dialogs;
    dialogs.setParent(&window);
    auto* box = window.findChild<QMessageBox*>("NoticeBox");

    // The synth's input while the user plays: shown without taking the
    // focus from where it is (the offscreen platform activates every window
    // it shows, so the request itself is what can be seen here).
    dialogs.notify("Receive-Error - Wrong blocksize");
    EXPECT_TRUE(box->testAttribute(Qt::WA_ShowWithoutActivating));
    box->hide();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // What answers the user takes the box's place and the focus: Return
    // closes it instead of reaching the list behind it.
    dialogs.answer("CS1x responding... Device-Code: 0F 05 - TG-Level: 01", kw::kSynthTopic);
    EXPECT_EQ(box->text(), "CS1x responding... Device-Code: 0F 05 - TG-Level: 01");
    EXPECT_FALSE(box->testAttribute(Qt::WA_ShowWithoutActivating));
    ASSERT_TRUE(QTest::qWaitForWindowActive(box));
    QAbstractButton* ok = buttonOf(box, "OK");
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == ok; }, 2000))
        << "the focus is on " << QApplication::focusWidget()->metaObject()->className();
    // A transfer's result keeps the answer before it in view; the greeting,
    // once no longer true, goes, and the box with it when nothing is left.
    dialogs.answer("128 of 128 performances sent");
    EXPECT_EQ(box->text(), "CS1x responding... Device-Code: 0F 05 - TG-Level: 01\n\n128 of 128 performances sent");
    dialogs.withdraw(kw::kSynthTopic);
    EXPECT_EQ(box->text(), "128 of 128 performances sent");
    dialogs.answer("CS1x does not respond on selected MIDI-device!", kw::kSynthTopic);
    dialogs.answer("CS1x responding... Device-Code: 0F 05 - TG-Level: 01", kw::kSynthTopic);
    EXPECT_EQ(box->text(), "128 of 128 performances sent\n\nCS1x responding... Device-Code: 0F 05 - TG-Level: 01");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(dialogs.notifying());
    EXPECT_EQ(list->count(), 0);

    dialogs.answer("CS1x responding... Device-Code: 0F 05 - TG-Level: 01", kw::kSynthTopic);
    EXPECT_EQ(box->text(), "CS1x responding... Device-Code: 0F 05 - TG-Level: 01") << "a closed box starts afresh";
    dialogs.withdraw(kw::kSynthTopic);
    EXPECT_FALSE(box->isVisible());
    EXPECT_FALSE(dialogs.notifying());
}

TEST(QtDialogs, UserPerformanceChoiceGivesTheLineOrNothing)
{
    kwtest::qtApp();
    QWidget window;
    QtDialogs dialogs;
    dialogs.setParent(&window);
    kw::UserPerfChoice choice{"Select User-Performance", "Send", 1, 0, {"001  DR umTrax2", "002  SQ Pan Seq", "003  SQ MC-Line1"}};

    whenModal([](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Select User-Performance");
        auto* list = d->findChild<QListWidget*>("UserPerfSelect");
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->currentRow(), 1);
        list->setCurrentRow(2);
        buttonOf(d, "Send")->click();
    });
    EXPECT_EQ(dialogs.chooseUserPerf(choice), 2);
    // Confirming with no line chosen is no choice.
    whenModal([](QWidget* d) {
        d->findChild<QListWidget*>("UserPerfSelect")->setCurrentRow(-1);
        buttonOf(d, "Send")->click();
    });
    EXPECT_EQ(dialogs.chooseUserPerf(choice), std::nullopt);
    whenModal([](QWidget* d) { buttonOf(d, "Cancel")->click(); });
    EXPECT_EQ(dialogs.chooseUserPerf(choice), std::nullopt);
}

TEST(QtDialogs, TheFolderChooserCarriesItsCallersTitleAndGivesTheFolderOnlyWhenConfirmed)
{
    kwtest::qtApp();
    QWidget window;
    QtDialogs dialogs;
    dialogs.setParent(&window);
    const std::string home = QDir::homePath().toStdString();
    for (const char* button : {"OK", "Cancel"}) {
        QString title;
        whenModal([&](QWidget* d) {
            title = d->windowTitle();
            buttonOf(d, button)->click();
        });
        const auto chosen = dialogs.chooseFolder("Choose a folder to import", home);
        EXPECT_EQ(title, "Choose a folder to import");
        EXPECT_EQ(chosen, button == std::string("OK") ? std::optional<std::string>(home) : std::nullopt);
    }
}

TEST(QtDialogs, ProgressCancelStaysUsableWhileTheWindowIsBusy)
{
    kwtest::qtApp();
    QWidget window;
    window.resize(600, 400);
    window.show();
    QtDialogs dialogs;
    dialogs.setParent(&window);
    // A transfer keeps the window busy before and after its progress opens.
    window.setEnabled(false);
    auto progress = dialogs.progress("All User-Performances (to HD)", "Receiving performance 1 of 128", 128);
    // Reporting progress from inside a transfer step lets nothing else run.
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    progress->setValue(3);
    EXPECT_FALSE(ran);
    progress->setText("Receiving performance 4 of 128");
    window.setEnabled(true);
    window.setEnabled(false);
    QCoreApplication::processEvents();

    auto* shown = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->windowTitle(), "All User-Performances (to HD)");
    EXPECT_EQ(shown->labelText(), "Receiving performance 4 of 128");
    EXPECT_EQ(shown->findChild<QProgressBar*>()->value(), 3);
    QAbstractButton* cancel = buttonOf(shown, "Cancel");
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isEnabled());
    EXPECT_FALSE(progress->cancelled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(progress->cancelled());
    progress->close();
    EXPECT_FALSE(shown->isVisible());
}
