// The window as a desktop user meets it: keys, focus, themes, larger fonts
// and small screens.
#include "support/MainWindowFixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>

#include <map>
#include <set>

using kwtest::MainWindowFixture;

namespace {

class Desktop : public MainWindowFixture {
protected:
    // Every menu item triggered from now on, by its name.
    std::map<std::string, int> triggered;
    void countTriggers()
    {
        for (QAction* a : window->findChildren<QAction*>())
            QObject::connect(a, &QAction::triggered, window.get(),
                             [this, a] { ++triggered[a->objectName().toStdString()]; });
    }
};

} // namespace

TEST_F(Desktop, EveryMenuItemHasItsOwnAccessKeyAndTheStandardKeysReachTheirCommands)
{
    // Whatever menus and items there are: each has an access key, and no
    // two of one menu (or of the menu bar) share one.
    std::vector<QWidget*> menus{window->menuBar()};
    for (QMenu* m : window->findChildren<QMenu*>())
        menus.push_back(m);
    int items = 0;
    for (QWidget* menu : menus) {
        std::set<int> keys;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            ++items;
            const QKeySequence key = QKeySequence::mnemonic(a->text());
            EXPECT_FALSE(key.isEmpty()) << "no access key: '" << a->text().toStdString() << "'";
            if (!key.isEmpty()) {
                EXPECT_TRUE(keys.insert(key[0].toCombined()).second)
                    << "access key used twice: '" << a->text().toStdString() << "'";
            }
        }
    }
    EXPECT_GE(items, 19);

    countTriggers();
    struct Case {
        QKeyCombination key;
        const char* action;  // null: nothing at all happens
    };
    const Case cases[] = {
        {Qt::CTRL | Qt::Key_O, "MenuFileOpenActPerf"},
        {Qt::CTRL | Qt::Key_S, "MenuFileSaveActPerf"},
        {QKeyCombination(Qt::Key_F1), "MenuAbout"},
        // Find and Help elsewhere; here they once opened File and About.
        {Qt::CTRL | Qt::Key_F, nullptr},
        {Qt::CTRL | Qt::Key_H, nullptr},
        {Qt::CTRL | Qt::Key_Q, "MenuFileExit"},
    };
    for (const Case& c : cases) {
        const std::string what = QKeySequence(c.key).toString().toStdString();
        triggered.clear();
        QTest::keyClick(window.get(), c.key.key(), c.key.keyboardModifiers());
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << what << " opened a menu";
        using Count = std::map<std::string, int>;
        const Count expected = c.action ? Count{{c.action, 1}} : Count{};
        EXPECT_EQ(triggered, expected) << what;
    }
    EXPECT_FALSE(window->isVisible()) << "Ctrl+Q closes the window";
}

TEST_F(Desktop, ABlackListShowsWhenItHasTheKeys)
{
    // The frame's colour at the list's corner, without and with the focus.
    auto corner = [](QWidget* list) { return list->grab().toImage().pixelColor(0, 0); };
    for (const char* name : {"UserPerf", "PatchVoiceNumber"}) {
        auto* list = find<QListWidget>(name);
        showPage(std::string(name) == "UserPerf" ? "TabSheet5" : "TabSheet3");
        window->findChild<QTabWidget*>("PageControl1")->tabBar()->setFocus();
        EXPECT_EQ(corner(list), QColor(Qt::black)) << name;
        list->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(corner(list), QApplication::palette().color(QPalette::Highlight)) << name;
    }
}
