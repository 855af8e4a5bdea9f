// The window as a desktop user meets it: keys, focus, themes, larger fonts
// and small screens.
#include "support/MainWindowFixture.h"

#include "editor/BankEditWindow.h"
#include "editor/Looks.h"
#include "midi/MidiSession.h"
#include "model/FieldTable.h"
#include "session/BankFixture.h"
#include "shell/AboutWindow.h"
#include "shell/MessageWindow.h"
#include "shell/MidiForm.h"
#include "shell/PathWindow.h"
#include "shell/UserPerfSelectWindow.h"
#include "support/FakeBackend.h"

#include <QDir>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
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

namespace {

// A window's texts that do not fit the room they have: a label's line or
// word wider than the label, lines cut off below, a button or a group title
// cut short. Only what shows counts (a hidden page's controls do not).
std::string misfits(QWidget* root)
{
    QStringList out;
    auto name = [](const QWidget* w) {
        return (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName());
    };
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root))
            continue;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            const QString text = l->text();
            if (text.isEmpty() || l->textFormat() == Qt::RichText
                || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
                continue;
            const QFontMetrics fm(l->font());
            const int width = l->contentsRect().width() - 2 * l->margin();
            const QStringList parts = l->wordWrap() ? text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)
                                                    : text.split(QLatin1Char('\n'));
            for (const QString& part : parts)
                if (fm.horizontalAdvance(part) > width)
                    out << QStringLiteral("%1 '%2': %3 > %4").arg(name(l), part).arg(fm.horizontalAdvance(part)).arg(width);
            const int needed = l->wordWrap() ? l->heightForWidth(l->width()) : int(parts.size()) * fm.height();
            if (needed > l->height())
                out << QStringLiteral("%1 '%2': %3 high in %4").arg(name(l), text).arg(needed).arg(l->height());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->text().isEmpty())
                continue;
            const QSize hint = b->sizeHint();
            if (b->width() < hint.width() || b->height() < hint.height())
                out << QStringLiteral("%1 '%2': %3x%4 in %5x%6")
                           .arg(name(b), b->text())
                           .arg(hint.width())
                           .arg(hint.height())
                           .arg(b->width())
                           .arg(b->height());
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            if (g->width() < g->minimumSizeHint().width())
                out << QStringLiteral("%1 '%2': %3 wide in %4")
                           .arg(name(g), g->title())
                           .arg(g->minimumSizeHint().width())
                           .arg(g->width());
        }
    }
    return out.join('\n').toStdString();
}

void settle(QWidget* w)
{
    w->show();
    QApplication::processEvents();
}

// The default font two points larger, for the windows made meanwhile.
class LargerFont : public Desktop {
protected:
    QFont saved = QApplication::font();
    void SetUp() override
    {
        QFont larger = saved;
        larger.setPointSizeF(saved.pointSizeF() + 2);
        QApplication::setFont(larger);
        Desktop::SetUp();
    }
    void TearDown() override
    {
        Desktop::TearDown();
        QApplication::setFont(saved);
    }
};

struct BankRig : kwtest::BankFixture {
    void TestBody() override {}
};

} // namespace

TEST_F(LargerFont, EveryTextFitsItsPlaceOnEveryPageAndWindow)
{
    for (const char* page : {"TabSheet5", "TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4"}) {
        showPage(page);
        QApplication::processEvents();
        EXPECT_EQ(misfits(window.get()), "") << page;
    }
    // The settings dialog with port names as long as JACK's bridge makes them.
    kw::Settings settings;
    kwtest::FakeBackend::Log log;
    std::vector<std::unique_ptr<kw::MidiBackend>> list;
    const std::string longName = "a2j:Midi Through (capture): Midi Through Port-0";
    list.push_back(std::make_unique<kwtest::FakeBackend>(std::vector<std::string>{longName, "CS1x:CS1x MIDI 1"},
                                                         std::vector<std::string>{"CS1x:CS1x MIDI 1", longName}, log));
    kw::MidiSession midi(settings, std::move(list), {}, [this](std::function<void()> fn) { scheduler.after(0, std::move(fn)); });
    kw::Senders prefsSenders(image, state, midi.ports().output());
    midi.ports().rescan();
    kw::TMidiWindow prefs(midi.ports(), settings, prefsSenders, scheduler);
    settle(&prefs);
    EXPECT_EQ(misfits(&prefs), "");
    for (const char* name : {"ListMidiInDevice", "ListMidiOutDevice"}) {
        auto* ports = prefs.findChild<QListWidget*>(name);
        const auto found = ports->findItems(QString::fromStdString(longName), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        EXPECT_GE(ports->visualItemRect(found.first()).width(),
                  ports->fontMetrics().horizontalAdvance(found.first()->text()))
            << name << ": the port name shows whole";
        EXPECT_FALSE(ports->horizontalScrollBar()->isVisible()) << name;
        EXPECT_EQ(found.first()->toolTip(), found.first()->text()) << name;
    }

    BankRig bank;
    bank.manager.opening();
    kw::TBankEditWindow manager(bank.manager);
    settle(&manager);
    EXPECT_EQ(misfits(&manager), "");
    bank.manager.closed();

    kw::TPathWindow path(QStringLiteral("Select dest. path"), QDir::homePath());
    kw::TUserPerfSelectWindow chooser(QStringList(128, QStringLiteral("001  SQ MMMMMMMM")));
    kw::TMessageWindow question;
    kw::TAboutWindow about;
    for (QDialog* d : std::initializer_list<QDialog*>{&path, &chooser, &question, &about}) {
        settle(d);
        EXPECT_EQ(misfits(d), "") << d->objectName().toStdString();
    }
}

// Run on a 1024 x 768 screen by the test editor_small_screen.
using SmallScreen = Desktop;

TEST_F(SmallScreen, TheWindowFitsTheScreenAndItsPagesScrollWithNothingOutOfReach)
{
    QApplication::processEvents();
    const QRect screen = window->screen()->availableGeometry();
    if (find<QScrollArea>("PageScroll")->widget()->width() <= screen.width())
        GTEST_SKIP() << "this screen has room for the whole window";
    EXPECT_LE(window->frameGeometry().width(), screen.width());
    EXPECT_LE(window->frameGeometry().height(), screen.height());
    auto* scroll = find<QScrollArea>("PageScroll");
    QWidget* frame = scroll->widget();
    EXPECT_EQ(frame->size(), frame->sizeHint()) << "the frame keeps its own size and scrolls";
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), frame->width() - scroll->viewport()->width());
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), frame->height() - scroll->viewport()->height());
    // The status line stays in sight, below the frame that scrolls.
    auto* status = find<QLabel>("StatusLabel");
    EXPECT_FALSE(scroll->isAncestorOf(status));
    const QRect shown(status->mapTo(window.get(), QPoint(0, 0)), status->size());
    EXPECT_TRUE(window->rect().contains(shown)) << "the status line is cut off";
}

namespace {

// The palette of many desktops' dark themes.
QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x35, 0x35, 0x35), base(0x2a, 0x2a, 0x2a), text(0xee, 0xee, 0xee);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::Window, window);
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Base, base);
        p.setColor(g, QPalette::AlternateBase, window);
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::Button, window);
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        p.setColor(g, QPalette::HighlightedText, Qt::white);
        p.setColor(g, QPalette::Light, window.lighter(150));
        p.setColor(g, QPalette::Midlight, window.lighter(120));
        p.setColor(g, QPalette::Mid, window.darker(120));
        p.setColor(g, QPalette::Dark, window.darker(150));
        p.setColor(g, QPalette::Shadow, Qt::black);
    }
    return p;
}

// What `w` paints in `area`: the colour most of it has (the background) and
// the one most of the rest has (the text; drawn without smoothing here).
std::pair<QColor, QColor> painted(QWidget* w, const QRect& area)
{
    const QImage image = w->grab(area).toImage();
    std::map<QRgb, int> count;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++count[image.pixel(x, y) | 0xff000000u];
    auto most = [&](auto keep) {
        QRgb best = 0;
        int n = -1;
        for (const auto& [rgb, times] : count)
            if (keep(rgb) && times > n) {
                best = rgb;
                n = times;
            }
        return QColor(best);
    };
    const QColor background = most([](QRgb) { return true; });
    return {background, most([&](QRgb rgb) { return QColor(rgb) != background; })};
}

// Text drawn without smoothing, so its pixels are its colour.
class Themes : public Desktop {
protected:
    QFont savedFont = QApplication::font();
    QPalette savedPalette = QApplication::palette();
    void SetUp() override
    {
        QFont sharp = savedFont;
        sharp.setStyleStrategy(QFont::NoAntialias);
        QApplication::setFont(sharp);
        Desktop::SetUp();
    }
    void TearDown() override
    {
        Desktop::TearDown();
        QApplication::setPalette(savedPalette);
        QApplication::setFont(savedFont);
    }
};

} // namespace

TEST_F(Themes, FixedTextColoursStayOnALightPaletteAndReadOnADarkOne)
{
    BankRig bank;
    bank.manager.opening();
    kw::TBankEditWindow manager(bank.manager);
    kw::Settings settings;
    kwtest::FakeBackend::Log log;
    std::vector<std::unique_ptr<kw::MidiBackend>> list;
    list.push_back(std::make_unique<kwtest::FakeBackend>(std::vector<std::string>{"In"}, std::vector<std::string>{"Out"}, log));
    kw::MidiSession midi(settings, std::move(list), {}, [this](std::function<void()> fn) { scheduler.after(0, std::move(fn)); });
    kw::Senders prefsSenders(image, state, midi.ports().output());
    kw::TMidiWindow prefs(midi.ports(), settings, prefsSenders, scheduler);
    kw::TUserPerfSelectWindow chooser(QStringList(128, QStringLiteral("001  SQ MMMMMMMM")));
    for (QWidget* w : std::initializer_list<QWidget*>{&manager, &prefs, &chooser})
        settle(w);
    showPage("TabSheet1");
    QApplication::processEvents();

    struct Text {
        QWidget* widget;
        QRect area;     // where its text is drawn
        QColor light;   // its colour on a light palette; invalid: the theme's own
    };
    std::vector<Text> texts;
    const QColor navy(0x00, 0x00, 0x80);
    const size_t layerOn = size_t(kw::findField("LayerOn")->offset);
    for (int n = 1; n <= 4; ++n)
        image.edit.layer(n).data(layerOn) = n % 2;  // 1 and 3 on, 2 and 4 off
    window->RefreshAll();
    for (int n = 1; n <= 4; ++n) {
        auto* b = find<QAbstractButton>(("EditLayer" + std::to_string(n)).c_str());
        QStyleOptionButton o;
        o.initFrom(b);
        o.text = b->text();
        const bool on = image.edit.layer(n).data(layerOn) != 0;
        texts.push_back({b, b->style()->subElementRect(QStyle::SE_RadioButtonContents, &o, b),
                         on ? QColor(Qt::blue) : QColor(Qt::black)});
    }
    auto* tabs = find<QTabBar>("Assign2Tab");
    for (int t = 0; t < tabs->count(); ++t)
        texts.push_back({tabs, tabs->tabRect(t).adjusted(4, 4, -4, -2), QColor()});
    for (QWidget* label : {prefs.findChild<QWidget*>("Label1"), prefs.findChild<QWidget*>("Label2"),
                           chooser.findChild<QWidget*>("Label32")})
        texts.push_back({label, label->rect(), navy});
    for (QGroupBox* g : manager.findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox o;
        o.initFrom(g);
        o.text = g->title();
        o.textAlignment = g->alignment();
        o.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        texts.push_back({g, g->style()->subControlRect(QStyle::CC_GroupBox, &o, QStyle::SC_GroupBoxLabel, g), navy});
    }
    ASSERT_GE(texts.size(), 12u);

    std::set<QRgb> layerColours;
    for (const Text& t : texts) {
        const auto [background, text] = painted(t.widget, t.area);
        const std::string what = t.widget->objectName().toStdString();
        if (t.light.isValid()) {
            EXPECT_EQ(text, t.light) << what << " on a light palette";
        }
        EXPECT_GE(kw::looks::contrast(text, background), kw::looks::kTextContrast) << what << " on a light palette";
    }
    // The desktop turns dark while the windows are up.
    QApplication::setPalette(darkPalette());
    QApplication::processEvents();
    for (const Text& t : texts) {
        const auto [background, text] = painted(t.widget, t.area);
        const std::string what = t.widget->objectName().toStdString();
        EXPECT_LT(background.lightness(), 100) << what;
        EXPECT_GE(kw::looks::contrast(text, background), kw::looks::kTextContrast)
            << what << ": " << text.name().toStdString() << " on " << background.name().toStdString();
        if (what.rfind("EditLayer", 0) == 0)
            layerColours.insert(text.rgb());
    }
    EXPECT_EQ(layerColours.size(), 2u) << "a layer that is on still looks other than one that is off";
    bank.manager.closed();
}
