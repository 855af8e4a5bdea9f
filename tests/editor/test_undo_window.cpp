// Undo, redo and compare through the window, in virtual time against the
// virtual CS1x: the Edit menu and its keys, what counts as one step of the
// user's, the Compare button, and the wheel that no longer edits by accident.

#include "editor/MainWindow.h"
#include "midi/HexText.h"
#include "midi/MidiCore.h"
#include "model/Settings.h"
#include "session/Links.h"
#include "support/MainWindowFixture.h"
#include "support/RestoringMessages.h"
#include "support/VirtualSynthPort.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QWheelEvent>

#include <cstdlib>
#include <random>

using namespace kw;
using Strings = std::vector<std::string>;

namespace {

struct UndoWindow : ::testing::Test {
    kwtest::VirtualScheduler clock;
    Settings settings;
    PerformanceImage image;
    EditorState state;
    kwtest::VirtualSynthPort synth{clock};
    Senders senders{image, state, synth};
    kwtest::ScriptedDialogs dialogs;
    EditSession session{image, state, senders};
    EditorContext ctx{session, dialogs};
    std::unique_ptr<TMainWindow> window;
    std::unique_ptr<MidiCore> core;

    void SetUp() override
    {
        window = std::make_unique<TMainWindow>(ctx);
        core = std::make_unique<MidiCore>(senders, *window, clock, settings);
        linkToCore(session, *core, [] { return true; });
        synth.deliver = [this](const Bytes& m) { core->dispatcher.handle(m); };
        window->show();
        QApplication::setActiveWindow(window.get());
        // A performance the synth holds, as a user starts.
        synth.fillMemory(5);
        if (fetchFirst) {
            clickListRow("UserPerf", 12);
            clock.runAll();
        }
        synth.clear();
    }
    bool fetchFirst = true;
    void TearDown() override
    {
        core.reset();
        window.reset();
    }

    template <class T = QWidget>
    T* find(const char* name)
    {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QSlider* bar(const char* name) { return find<QSlider>(name); }
    QAction* action(const char* name) { return window->action(name); }
    // The text of an Edit menu entry, as the menu shows it when it opens.
    std::string shown(const char* name)
    {
        emit find<QMenu>("MenuEdit")->aboutToShow();
        // Without the marks of access keys: "&&" shows as "&", "&U" as "U".
        QString text = action(name)->text();
        text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'));
        return text.replace(QLatin1Char('\x01'), QLatin1Char('&')).toStdString();
    }
    // The status line's whole text (the label cuts a long one).
    std::string statusLine()
    {
        auto* label = find<QLabel>("StatusLabel");
        return (label->toolTip().isEmpty() ? label->text() : label->toolTip()).toStdString();
    }
    void showPage(const char* tab) { find<QTabWidget>("PageControl1")->setCurrentWidget(find(tab)); }
    void clickListRow(const char* listName, int row)
    {
        auto* list = find<QListWidget>(listName);
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    void click(const char* name)
    {
        auto* b = find<QAbstractButton>(name);
        const bool boxed = b->inherits("QCheckBox") || b->inherits("QRadioButton");
        QTest::mouseClick(b, Qt::LeftButton, {}, boxed ? QPoint(6, b->height() / 2) : b->rect().center());
    }
    void key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers m = {})
    {
        w->setFocus();
        QTest::keyClick(w, k, m);
    }
    void keys(Qt::Key k, Qt::KeyboardModifiers m) { QTest::keyClick(window.get(), k, m); }
    void wheel(QWidget* w, int notches)
    {
        const QPointF at = QPointF(w->rect().center());
        QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &e);
    }
    Strings sentFrom(size_t first) const
    {
        Strings out;
        for (size_t i = first; i < synth.sent.size(); ++i)
            out.push_back(kwtest::hex(synth.sent[i]));
        return out;
    }
    static Bytes data(const BlockSet& set)
    {
        Bytes out;
        for (int i = 0; i < kBlocksPerPerformance; ++i)
            out.insert(out.end(), set.at(i).bytes() + 9, set.at(i).bytes() + set.at(i).size() - 2);
        return out;
    }
    // The whole image and the mute memory, as one string of bytes.
    Bytes whole() const
    {
        Bytes out;
        for (int i = 0; i < kBlocksPerPerformance; ++i)
            out.insert(out.end(), image.edit.at(i).view().begin(), image.edit.at(i).view().end());
        for (const MuteMemory& m : state.mute) {
            out.push_back(m.savedVolume);
            out.push_back(m.muted);
        }
        return out;
    }
};

// Where the handle of `bar` stands, in its own coordinates.
QPoint handleOf(QSlider* bar)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = bar->orientation();
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.upsideDown = bar->invertedAppearance() != (bar->orientation() == Qt::Vertical);
    return bar->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, bar).center();
}

void mouse(QWidget* w, QEvent::Type type, QPoint at)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

TEST_F(UndoWindow, TheEditMenuNamesWhatUndoAndRedoWouldChange)
{
    auto* menu = find<QMenu>("MenuEdit");
    Strings names;
    for (QAction* a : menu->actions())
        names.push_back(a->isSeparator() ? "|" : a->objectName().toStdString());
    EXPECT_EQ(names, (Strings{"MenuEditCopyLayer", "MenuEditPasteLayer", "|", "MenuEditUndo", "MenuEditRedo"}));
    EXPECT_EQ(action("MenuEditUndo")->shortcuts(), QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Z)});
    EXPECT_EQ(action("MenuEditRedo")->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}));
    EXPECT_FALSE(action("MenuEditUndo")->isEnabled());
    EXPECT_EQ(shown("MenuEditUndo"), "Undo");

    const uint8_t old = image.edit.layer(2).data(0x11);
    click("EditLayer2");
    showPage("TabSheet4");
    key(bar("FilterCutoff"), Qt::Key_Up);
    EXPECT_EQ(shown("MenuEditUndo"), "Undo Filter Cutoff (Layer 2)");
    EXPECT_FALSE(action("MenuEditRedo")->isEnabled());

    // Ctrl+Z from another layer: the old value goes back to layer 2, and
    // the layer pages show layer 2.
    click("EditLayer1");
    synth.clear();
    keys(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(sentFrom(0), Strings{"F0 43 10 4B 60 02 11 " + hexByte(old) + " F7"});
    EXPECT_TRUE(find<QRadioButton>("EditLayer2")->isChecked());
    EXPECT_EQ(bar("FilterCutoff")->value(), 127 - old);
    EXPECT_EQ(shown("MenuEditRedo"), "Redo Filter Cutoff (Layer 2)");
    EXPECT_FALSE(action("MenuEditUndo")->isEnabled());
    const std::pair<Qt::Key, Qt::KeyboardModifiers> redoKeys[] = {
        {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier}, {Qt::Key_Y, Qt::ControlModifier}};
    for (const auto& [k, m] : redoKeys) {
        keys(k, m);
        EXPECT_EQ(image.edit.layer(2).data(0x11), old + 1);
        keys(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(image.edit.layer(2).data(0x11), old);
    }

    // In the name box the keys are the window's too: the typed name goes
    // back as a whole, and the box shows it.
    showPage("TabSheet5");
    auto* name = find<QLineEdit>("PerformanceName");
    const QString before = name->text();
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "Organ");
    QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(name->text(), before);
    EXPECT_EQ(shown("MenuEditRedo"), "Redo Performance Name");
}

TEST_F(UndoWindow, HundredEditsThroughTheWindowUndoneByTheKeysRestoreEveryByteAndEveryValue)
{
    // Controls of every page and the left column, edited with the keyboard
    // and the mouse as a user does; each press is a step of its own.
    struct Edit {
        const char* page;
        const char* control;
    };
    const Edit edits[] = {
        {"TabSheet5", "CommonVolume"},   {"TabSheet5", "PortaTime"},        {"TabSheet5", "PerformanceType"},
        {"TabSheet5", "ArpModeOn"},      {"TabSheet5", "ArpTempo"},         {"TabSheet5", "PerformanceName"},
        {"TabSheet1", "Scene1Knob3"},    {"TabSheet1", "Assign2Level"},     {"TabSheet1", "Assign1Para"},
        {"TabSheet2", "ChorusToReverb"}, {"TabSheet2", "VariType"},         {"TabSheet2", "VPara1"},
        {"TabSheet3", "LayerVolume"},    {"TabSheet3", "NoteDetune"},       {"TabSheet3", "PatchVoiceNumber"},
        {"TabSheet3", "NoteLimitLow"},   {"TabSheet3", "RandomPan"},        {"TabSheet3", "VelocityDefaults"},
        {"TabSheet3", "LayerOn"},        {"TabSheet4", "FilterCutoff"},     {"TabSheet4", "AEGAtkTime"},
        {"TabSheet4", "LFOWaveSH"},      {"TabSheet4", "LFOSyncFree"},      {nullptr, "MuteLayer3"},
        {nullptr, "EditLayer2"},         {nullptr, "EditLayer4"},           {nullptr, "AffectAllLayers"},
    };
    std::mt19937 rnd(11);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rnd); };
    const Bytes start = whole();
    struct Step {
        BlockSet before, after;
        std::vector<Bytes> sent;
    };
    std::vector<Step> steps;
    for (int n = 0; n < 100; ++n) {
        const Edit& e = edits[size_t(pick(int(std::size(edits))))];
        if (e.page)
            showPage(e.page);
        const BlockSet before = image.edit;
        const Bytes was = whole();
        const size_t first = synth.sent.size();
        QWidget* w = find(e.control);
        static const Qt::Key barKeys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
        if (auto* name = qobject_cast<QLineEdit*>(w)) {
            name->setFocus();
            name->selectAll();
            QTest::keyClicks(name, QString(QChar('A' + pick(26))) + "x" + QString::number(n));
            QTest::keyClick(name, Qt::Key_Return);
        } else if (qobject_cast<QAbstractButton*>(w)) {
            click(e.control);
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            clickListRow(e.control, pick(std::min(list->count(), 12)));
        } else {
            key(w, barKeys[pick(6)]);
        }
        if (whole() == was)
            continue;
        steps.push_back({before, image.edit, {synth.sent.begin() + long(first), synth.sent.end()}});
    }
    ASSERT_GT(steps.size(), 60u);
    ASSERT_EQ(session.historySize(), steps.size());
    const Bytes edited = whole();

    size_t first = synth.sent.size();
    for (size_t i = 0; i < steps.size(); ++i)
        keys(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(action("MenuEditUndo")->isEnabled());
    EXPECT_EQ(whole(), start);
    // A name typed letter by letter went out a block a letter; its undo
    // sends the block once.
    Strings expected;
    for (auto s = steps.rbegin(); s != steps.rend(); ++s)
        for (const Bytes& m : kwtest::restoring(s->sent, s->before))
            expected.push_back(kwtest::hex(m));
    EXPECT_EQ(sentFrom(first), expected);
    EXPECT_EQ(data(synth.synth.editBuffer()), data(image.edit));

    first = synth.sent.size();
    for (size_t i = 0; i < steps.size(); ++i)
        keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(whole(), edited);
    expected.clear();
    for (const Step& s : steps)
        for (const Bytes& m : kwtest::restoring(s.sent, s.after))
            expected.push_back(kwtest::hex(m));
    EXPECT_EQ(sentFrom(first), expected);
}

TEST_F(UndoWindow, ADragAHeldKeyAndATypedNameAreOneStepEach)
{
    showPage("TabSheet5");
    QSlider* volume = bar("CommonVolume");
    const uint8_t old = image.edit[BlockKind::Common00].data(0x09);
    QPoint at = handleOf(volume);
    mouse(volume, QEvent::MouseButtonPress, at);
    int positions = 0, step = 2;
    for (int i = 0; i < 400 && positions < 50; ++i) {
        const int was = volume->value();
        step = was > 110 ? -2 : was < 17 ? 2 : step;
        at.ry() += step;
        mouse(volume, QEvent::MouseMove, at);
        positions += volume->value() != was;
    }
    mouse(volume, QEvent::MouseButtonRelease, at);
    ASSERT_GE(positions, 50);
    ASSERT_GE(synth.sent.size(), 50u);
    EXPECT_EQ(session.historySize(), 1u);
    synth.clear();
    keys(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(sentFrom(0), Strings{"F0 43 10 4B 60 00 09 " + hexByte(old) + " F7"});

    // An arrow key held down: its repeats belong to the first press.
    volume->setFocus();
    const int from = volume->value();
    const Qt::Key arrow = from < 64 ? Qt::Key_Down : Qt::Key_Up;  // Down moves toward the bottom, the maximum
    auto press = [&](bool repeat) {
        QKeyEvent down(QEvent::KeyPress, arrow, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(volume, &down);
        QKeyEvent up(QEvent::KeyRelease, arrow, Qt::NoModifier, QString(), repeat);
        if (repeat)
            QApplication::sendEvent(volume, &up);
    };
    press(false);
    for (int i = 0; i < 20; ++i)
        press(true);
    QTest::keyRelease(volume, arrow);
    EXPECT_EQ(volume->value(), from + (arrow == Qt::Key_Down ? 21 : -21));
    EXPECT_EQ(session.historySize(), 1u);
    EXPECT_EQ(shown("MenuEditUndo"), "Undo Volume");
    // Pressed again, it is a new step.
    QTest::keyClick(volume, arrow);
    EXPECT_EQ(session.historySize(), 2u);

    auto* name = find<QLineEdit>("PerformanceName");
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "Warm Pad");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(session.historySize(), 3u);
    EXPECT_EQ(shown("MenuEditUndo"), "Undo Performance Name");
}

TEST_F(UndoWindow, TheWheelEditsOnlyAControlThatHasTheFocus)
{
    showPage("TabSheet3");
    QWidget* elsewhere = find("PatchBankNumber");
    for (const char* name : {"LayerVolume", "NoteLimitHigh", "EffectReverb"}) {
        SCOPED_TRACE(name);
        QSlider* b = bar(name);
        b->setValue(60);
        elsewhere->setFocus();
        synth.clear();
        wheel(b, 3);  // scrolling past it
        EXPECT_EQ(b->value(), 60);
        EXPECT_TRUE(synth.sent.empty());
        // Clicked or tabbed into, it takes the wheel, and keys as ever.
        b->setFocus();
        wheel(b, -3);
        EXPECT_NE(b->value(), 60);
        EXPECT_FALSE(synth.sent.empty());
        for (Qt::Key k : {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up}) {
            b->setValue(60);
            QTest::keyClick(b, k);
            EXPECT_NE(b->value(), 60) << k;
        }
    }
    // A drop-down list the same; a list box scrolls but chooses nothing.
    showPage("TabSheet5");
    auto* type = find<QComboBox>("PerformanceType");
    const int entry = type->currentIndex();
    synth.clear();
    wheel(type, -2);
    EXPECT_EQ(type->currentIndex(), entry);
    EXPECT_TRUE(synth.sent.empty());
    type->setFocus();
    wheel(type, -1);
    EXPECT_NE(type->currentIndex(), entry);
    showPage("TabSheet3");
    auto* voices = find<QListWidget>("PatchVoiceNumber");
    const int voice = voices->currentRow();
    synth.clear();
    wheel(voices->viewport(), -5);
    EXPECT_EQ(voices->currentRow(), voice);
    EXPECT_TRUE(synth.sent.empty());
}

TEST_F(UndoWindow, CompareShowsAndSendsTheOriginalUntilPressedAgain)
{
    const Bytes original = data(image.edit);
    showPage("TabSheet4");
    key(bar("FilterCutoff"), Qt::Key_Home);
    const Bytes edited = data(image.edit);
    auto* button = find<QPushButton>("CompareButton");
    EXPECT_FALSE(button->isChecked());

    click("CompareButton");
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(bar("FilterCutoff")->value(), 127 - image.edit.layer(1).data(0x11));
    EXPECT_EQ(data(image.edit), original);
    clock.runAll();
    EXPECT_EQ(data(synth.synth.editBuffer()), original);

    // An edit is refused: the bar goes back, nothing is sent, the status says why.
    synth.clear();
    const int shown = bar("FilterCutoff")->value();
    key(bar("FilterCutoff"), Qt::Key_End);
    EXPECT_EQ(bar("FilterCutoff")->value(), shown);
    EXPECT_TRUE(synth.sent.empty());
    EXPECT_EQ(find<QLabel>("StatusLabel")->text().toStdString(),
              "Comparing with the original - press Compare to edit again");

    keys(Qt::Key_K, Qt::ControlModifier);
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(data(image.edit), edited);
    EXPECT_EQ(bar("FilterCutoff")->value(), 0);
    clock.runAll();
    EXPECT_EQ(data(synth.synth.editBuffer()), edited);

    // A fetch while comparing ends it.
    click("CompareButton");
    clock.runAll();
    clickListRow("UserPerf", 20);
    clock.runAll();
    EXPECT_FALSE(button->isChecked());
    EXPECT_FALSE(session.comparing());
}

// The window as it starts: no performance fetched yet.
struct UndoWindowAtStart : UndoWindow {
    UndoWindowAtStart() { fetchFirst = false; }
};

TEST_F(UndoWindowAtStart, CompareUndoAndRedoSayOnTheStatusLineWhatTheyDid)
{
    showPage("TabSheet4");
    click("EditLayer2");
    key(bar("FilterCutoff"), Qt::Key_Up);
    const struct {
        std::function<void()> act;
        const char* said;
    } steps[] = {
        {[&] { click("CompareButton"); }, "Comparing with the performance the editor started with"},
        {[&] { keys(Qt::Key_K, Qt::ControlModifier); }, "Back to the edited performance"},
        {[&] { keys(Qt::Key_Z, Qt::ControlModifier); }, "Undone: Filter Cutoff (Layer 2)"},
        {[&] { keys(Qt::Key_Y, Qt::ControlModifier); }, "Redone: Filter Cutoff (Layer 2)"},
        {[&] {
             clickListRow("UserPerf", 3);
             clock.runAll();
             click("CompareButton");
         },
         "Comparing with the performance as fetched"},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(statusLine(), step.said);
        // Long enough to be read, then the line rests again.
        clock.advance(MidiTimers::kStatusMs + 100);
        EXPECT_EQ(statusLine(), step.said);
        clock.runAll();
        EXPECT_EQ(statusLine(), "OK");
    }
}

TEST_F(UndoWindow, Picture)
{
    // KW_SHOT_DIR=folder writes the left column with Compare pressed and the
    // Edit menu open, in the normal and a dark palette.
    const char* shots = std::getenv("KW_SHOT_DIR");
    if (!shots)
        GTEST_SKIP() << "KW_SHOT_DIR not set";
    showPage("TabSheet4");
    key(bar("FilterCutoff"), Qt::Key_Up);
    for (bool dark : {false, true}) {
        QPalette p = QApplication::palette();
        if (dark) {
            p.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
            p.setColor(QPalette::WindowText, Qt::white);
            p.setColor(QPalette::Button, QColor(0x40, 0x40, 0x40));
            p.setColor(QPalette::ButtonText, Qt::white);
            p.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
            p.setColor(QPalette::Text, Qt::white);
        }
        window->setPalette(p);
        const QString suffix = dark ? "-dark.png" : ".png";
        click("CompareButton");
        clock.runAll();  // the window takes input again once the original is sent
        QApplication::processEvents();
        EXPECT_TRUE(find<QPushButton>("CompareButton")->isChecked());
        EXPECT_TRUE(window->grab().save(QString::fromUtf8(shots) + "/compare" + suffix));
        click("CompareButton");
        clock.runAll();
        auto* menu = find<QMenu>("MenuEdit");
        menu->setPalette(p);
        menu->popup(window->mapToGlobal(QPoint(40, 20)));
        QApplication::processEvents();
        EXPECT_TRUE(menu->grab().save(QString::fromUtf8(shots) + "/edit-menu" + suffix));
        menu->hide();
    }
}
