#include "editor/MainWindow.h"

#include "editor/CommonPage.h"
#include "editor/EffectsPage.h"
#include "editor/KnobsPage.h"
#include "editor/LayerEgPage.h"
#include "editor/LayerVoicePage.h"
#include "editor/LeftPanel.h"
#include "editor/LibraryModel.h"
#include "editor/Looks.h"
#include "editor/QtText.h"
#include "editor/StatusPanel.h"
#include "model/Cp1252.h"
#include "session/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QWindow>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <functional>

using namespace kw;

namespace {

// A control of `window`, or a menu entry, popup or shortcut that belongs to
// it; other windows (a box it shows) are not. Qt makes the box a child of
// the window it belongs to, so the walk up stops at any window of its own
// but a popup: else a fetch at start-up swallowed the Return and clicks
// meant for the greeting's box.
bool belongsTo(QObject* target, const QWidget* window)
{
    for (QObject* o = target; o; o = o->parent()) {
        if (o == window)
            return true;
        if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow() && w->windowType() != Qt::Popup)
            return false;
    }
    return false;
}

// Where one gesture of the user ends and the next begins: a mouse button
// pressed or released, a key pressed or let go (not its repeats while held).
// Typing in a text box is one gesture until the box is left.
class GestureWatch : public QObject {
public:
    GestureWatch(QWidget* window, EditSession& session) : QObject(window), window_(window), session_(session) {}

protected:
    bool eventFilter(QObject* target, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: break;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            if (static_cast<QKeyEvent*>(e)->isAutoRepeat() || qobject_cast<QLineEdit*>(target))
                return false;
            break;
        default: return false;
        }
        if (belongsTo(target, window_))
            session_.endGesture();
        return false;
    }

private:
    QWidget* window_;
    EditSession& session_;
};

// Swallows the user's input to one window and everything in it (its
// controls, menus, shortcuts), as disabling it would. Disabling greys every
// control out and back again: two repaints of the whole window per fetch.
class InputBlock : public QObject {
public:
    explicit InputBlock(QWidget* window) : QObject(window), window_(window) {}

protected:
    bool eventFilter(QObject* target, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: return ours(target);
        default: return false;
        }
    }

private:
    // Other windows (a box it shows) stay usable.
    bool ours(QObject* target) const { return belongsTo(target, window_); }

    QWidget* window_;
};

// Shows the window's frame whole where the screen has room for it, and
// scrolls it where not.
class PageScroll : public QScrollArea {
public:
    PageScroll(QWidget* content, std::function<QSize()> room) : room_(std::move(room))
    {
        setObjectName(QStringLiteral("PageScroll"));
        setFrameShape(QFrame::NoFrame);
        // Only the controls take the keys; Tab still scrolls to each.
        setFocusPolicy(Qt::NoFocus);
        setWidgetResizable(false);
        setWidget(content);
    }

    QSize sizeHint() const override
    {
        const QSize content = widget()->sizeHint();
        const QSize room = room_();
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        // A scroll bar one way takes room the other way.
        bool across = content.width() > room.width();
        const bool down = content.height() + (across ? bar : 0) > room.height();
        across = across || (down && content.width() + bar > room.width());
        return (content + QSize(down ? bar : 0, across ? bar : 0)).boundedTo(room).expandedTo(QSize(0, 0));
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    std::function<QSize()> room_;
};

} // namespace

QSize TMainWindow::roomOnScreen() const
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    // The window manager's frame around the window, once it is known; till
    // then a title bar and thin borders.
    QSize frame(8, 32);
    if (isVisible() && frameGeometry().size() != geometry().size())
        frame = frameGeometry().size() - geometry().size();
    const QSize menus(0, menuBar()->sizeHint().height());
    return screen->availableGeometry().size() - frame - menus;
}

void TMainWindow::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!screenWatched_ && windowHandle()) {
        screenWatched_ = true;
        // Another screen has other room; the frame is known once shown.
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { scroll_->updateGeometry(); });
        scroll_->updateGeometry();
    }
}

TMainWindow::TMainWindow(EditorContext& ctx, QWidget* parent) : QMainWindow(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QLatin1Char(' ') + QApplication::applicationDisplayName());
    ctx_.session.attach(*this, ctx_.dialogs);

    buildMenus();
    // Rows of the library window dropped here are opened.
    setAcceptDrops(true);

    auto* central = new QWidget;
    auto* frame = new QVBoxLayout(central);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    auto* bevel = new QFrame;
    bevel->setObjectName(QStringLiteral("TitleBevel"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    frame->addWidget(bevel);  // spans the window's width, whatever it grows to
    auto* outer = new QHBoxLayout;
    frame->addLayout(outer);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);
    left_ = new LeftPanel(ctx_, actions_.at("MenuAbout"), actions_.at("SaveToSynth"), actions_.at("Compare"));
    outer->addWidget(left_);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    auto* pages = new QTabWidget;
    pages->setObjectName(QStringLiteral("PageControl1"));
    auto addPage = [&](QWidget* page, const char* name, const char* title) {
        page->setObjectName(QString::fromLatin1(name));
        pages->addTab(page, QString::fromLatin1(title));
    };
    common_ = new CommonPage(ctx_);
    addPage(common_, "TabSheet5", "Common");
    addPage(new KnobsPage(ctx_), "TabSheet1", "Common / Knobs");
    addPage(new EffectsPage(ctx_), "TabSheet2", "Common / Effects");
    addPage(new LayerVoicePage(ctx_), "TabSheet3", "Layer Voice");
    addPage(new LayerEgPage(ctx_), "TabSheet4", "Layer EG's / LFO");
    pages->setCurrentIndex(0);
    // A page switch may hand the focus to the page's first control; the name
    // box would then send on the next click elsewhere as if the user had
    // left it. The focus goes to the page tabs instead.
    connect(pages, &QTabWidget::currentChanged, this, [this, pages] {
        if (common_->nameBox()->hasFocus())
            pages->tabBar()->setFocus(Qt::OtherFocusReason);
    });
    right->addWidget(pages, 1);
    // The status line and the lamps stay in sight below the frame, also
    // when the frame scrolls on a small screen.
    status_ = new StatusPanel;
    outer->addLayout(right, 1);
    // A fixed frame like a hardware panel, sized by its layouts so larger
    // fonts and HiDPI screens still get room; on a screen too small for it
    // (1024 x 768 with a large font) the frame scrolls inside the window.
    frame->setSizeConstraint(QLayout::SetFixedSize);
    scroll_ = new PageScroll(central, [this] { return roomOnScreen() - QSize(0, status_->sizeHint().height()); });
    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(scroll_);
    column->addWidget(status_);
    setCentralWidget(body);
    looks::boldGroupTitles(this);
    // A drop-down list scrolled past must not change: it takes the wheel
    // only once clicked or tabbed into, as the bars do.
    for (QComboBox* combo : findChildren<QComboBox*>())
        looks::wheelOnlyWhenFocused(combo);
    gestures_ = new GestureWatch(this, ctx_.session);
    qApp->installEventFilter(gestures_);
    ctx_.session.onHistoryChange([this] { showHistory(); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // The start-up performance, shown by the first full refresh.
    setDefaults(ctx_.image(), ctx_.state());
    if (ctx_.beforeFirstRefresh)
        ctx_.beforeFirstRefresh();
    RefreshAll();
    ctx_.session.startShown();
}

TMainWindow::~TMainWindow()
{
    // Children still emit while they go (the name box reports losing focus);
    // no handler may run on a window that is half gone.
    for (QObject* child : findChildren<QObject*>())
        child->blockSignals(true);
    delete gestures_;
    gestures_ = nullptr;
    ctx_.session.onHistoryChange({});
    ctx_.session.detach();
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void TMainWindow::closeEvent(QCloseEvent* e)
{
    if (ctx_.mayQuit && !ctx_.mayQuit()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}

void TMainWindow::dragEnterEvent(QDragEnterEvent* e)
{
    if (ctx_.openFromLibrary && !busy_ && !kw::libraryIds(e->mimeData()).empty())
        e->acceptProposedAction();
    else
        e->ignore();
}

void TMainWindow::dropEvent(QDropEvent* e)
{
    const auto ids = kw::libraryIds(e->mimeData());
    if (ids.empty() || !ctx_.openFromLibrary || busy_)
        return;
    e->acceptProposedAction();
    ctx_.openFromLibrary(ids);
}

void TMainWindow::buildMenus()
{
    auto add = [&](QMenu* m, const char* name, const char* text, QKeySequence key = {}) {
        QAction* a = m->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        actions_[name] = a;
        return a;
    };
    auto menu = [&](QMenu* parentMenu, const char* name, const char* title) {
        QMenu* m = parentMenu ? parentMenu->addMenu(QString::fromLatin1(title))
                              : menuBar()->addMenu(QString::fromLatin1(title));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        actions_[name] = m->menuAction();
        return m;
    };
    // Two top-level menus open with Ctrl + their key as well as Alt. File
    // and About do not: Ctrl+F and Ctrl+H mean Find and Help elsewhere, and
    // a menu or a box that opens instead takes the keys the user types next.
    auto opener = [&](QMenu* m, QKeySequence key) {
        auto* s = new QShortcut(key, this);
        connect(s, &QShortcut::activated, this, [this, m] { menuBar()->setActiveAction(m->menuAction()); });
    };

    QMenu* file = menu(nullptr, "MenuFile", " &File ");
    QMenu* open = menu(file, "MenuFileOpen", "&Open");
    add(open, "MenuFileOpenActPerf", "&Actual Performance", QKeySequence::Open);
    add(open, "MenuFileOpenPerfNames", "Performance-&names");
    QMenu* save = menu(file, "MenuFileSave", "&Save");
    add(save, "MenuFileSaveActPerf", "&Actual Performance", QKeySequence::Save);
    add(save, "MenuFileSavePerfNames", "Performance-&names");
    file->addSeparator();
    add(file, "MenuFileImportLibrary", "Import into &library...");
    add(file, "MenuFileKeepInLibrary", "&Keep in library", QKeySequence(Qt::CTRL | Qt::Key_L));
    file->addSeparator();
    add(file, "MenuFilePreferences", "&Preferences");
    connect(add(file, "MenuFileExit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_Q)), &QAction::triggered, this,
            &QWidget::close);

    QMenu* edit = menu(nullptr, "MenuEdit", " &Edit ");
    connect(edit, &QMenu::aboutToShow, this, [this] { nameHistorySteps(); });
    opener(edit, QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(add(edit, "MenuEditCopyLayer", "&Copy Layerdata", QKeySequence(Qt::CTRL | Qt::Key_C)),
            &QAction::triggered, this, [this] { MenuEditCopyLayerClick(); });
    QAction* paste = add(edit, "MenuEditPasteLayer", "&Paste Layerdata", QKeySequence(Qt::CTRL | Qt::Key_V));
    paste->setEnabled(false);
    connect(paste, &QAction::triggered, this, [this] { MenuEditPasteLayerClick(); });
    edit->addSeparator();
    undo_ = add(edit, "MenuEditUndo", "&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo_->setEnabled(false);
    connect(undo_, &QAction::triggered, this, [this] { MenuEditUndoClick(); });
    redo_ = add(edit, "MenuEditRedo", "&Redo");
    redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redo_->setEnabled(false);
    connect(redo_, &QAction::triggered, this, [this] { MenuEditRedoClick(); });

    QMenu* bulk = menu(nullptr, "MenuBulk", " &Bulk-Dump ");
    opener(bulk, QKeySequence(Qt::CTRL | Qt::Key_B));
    add(bulk, "MenuBulkPerfNames", "&Request all Performance-names");
    bulk->addSeparator();
    add(bulk, "MenuBulkSinglePerfSynth", "&Single User-Performance (to CS1x)");
    add(bulk, "MenuBulkPerfBankSynth", "Performance-&Bank          (to CS1x)");
    bulk->addSeparator();
    add(bulk, "MenuBulkSinglePerfHD", "Single User-Performance (to &HD)");
    add(bulk, "MenuBulkAllPerfHD", "&All User-Performances     (to HD)");
    bulk->addSeparator();
    add(bulk, "MenuBulkBankEdit", "&Performance-bank manager");

    // Alt+V only: Ctrl+V pastes layer data.
    QMenu* view = menu(nullptr, "MenuView", " &View ");
    add(view, "MenuViewMidiMonitor", "&MIDI monitor");
    add(view, "MenuViewLibrary", "&Library");
    add(view, "MenuViewExplore", "&Explore");

    QMenu* tools = menu(nullptr, "MenuTools", " &Tools ");
    add(tools, "MenuToolsMutate", "&Mutate", QKeySequence(Qt::CTRL | Qt::Key_M));

    QAction* about = menuBar()->addAction(QStringLiteral(" &About "));
    about->setObjectName(QStringLiteral("MenuAbout"));
    about->setShortcut(QKeySequence::HelpContents);
    addAction(about);  // so the shortcut works without the menu bar focused
    actions_["MenuAbout"] = about;

    // The button "Save changes to User-Perf" of the left column triggers it.
    auto* saveToSynth = new QAction(QStringLiteral("Save changes to User-Perf"), this);
    saveToSynth->setObjectName(QStringLiteral("SaveToSynthAction"));
    actions_["SaveToSynth"] = saveToSynth;

    // The button `CompareButton` of the left column triggers it, and so does Ctrl+K.
    auto* compare = new QAction(QStringLiteral("Compare"), this);
    compare->setObjectName(QStringLiteral("CompareAction"));
    compare->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    addAction(compare);
    connect(compare, &QAction::triggered, this, [this] { ctx_.session.compare(); });
    actions_["Compare"] = compare;
}

QAction* TMainWindow::action(const char* name) const
{
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void TMainWindow::MenuEditCopyLayerClick()
{
    ctx_.session.copyLayer();
    actions_.at("MenuEditPasteLayer")->setEnabled(true);
}

void TMainWindow::MenuEditPasteLayerClick()
{
    ctx_.session.pasteLayer();
}

void TMainWindow::MenuEditUndoClick()
{
    ctx_.session.undo();
}

void TMainWindow::MenuEditRedoClick()
{
    ctx_.session.redo();
}

void TMainWindow::showHistory()
{
    // The keys must know at once whether there is anything to undo; the
    // words are read only when the menu opens, and building them for every
    // step would double what an edit costs.
    const EditSession& s = ctx_.session;
    undo_->setEnabled(s.canUndo());
    redo_->setEnabled(s.canRedo());
    if (left_)
        left_->showComparing();
}

void TMainWindow::nameHistorySteps()
{
    const EditSession& s = ctx_.session;
    // A step's name shows as it is: an ampersand in it ("Reverb & Chorus
    // Send") is no access key.
    auto asIs = [](const std::string& name) { return qs(name).replace(QLatin1Char('&'), QStringLiteral("&&")); };
    undo_->setText(s.canUndo() ? QStringLiteral("&Undo ") + asIs(s.undoText()) : QStringLiteral("&Undo"));
    redo_->setText(s.canRedo() ? QStringLiteral("&Redo ") + asIs(s.redoText()) : QStringLiteral("&Redo"));
}

// ---------------------------------------------------------------------------
// Refreshes

void TMainWindow::RefreshLayerPage()
{
    const SendsPaused pause(ctx_.state());
    common_->showProgram(left_->selectedUserPerf());
    ctx_.bindings.refreshLayer();
}

void TMainWindow::showImage()
{
    const SendsPaused pause(ctx_.state());
    left_->showEditorState();
    common_->showProgram(left_->selectedUserPerf());
    ctx_.bindings.refreshAll();
}

void TMainWindow::RefreshAll()
{
    {
        const SendsPaused pause(ctx_.state());
        ctx_.session.resetForRefresh();
        left_->showEditorState();
        common_->showProgram(left_->selectedUserPerf());
        ctx_.bindings.refreshAll();
    }
    setBusy(false);
}

// ---------------------------------------------------------------------------
// What the core asks of the window

void TMainWindow::showStatus(const std::string& text)
{
    status_->setText(qs(text));
}

void TMainWindow::setLamp(Lamp lamp, bool bright)
{
    status_->setLamp(lamp, bright);
}

void TMainWindow::setLampState(Lamp lamp, LampState state, const std::string& port)
{
    status_->setLampState(lamp, state, qs(port));
}

void TMainWindow::messageBox(const std::string& text)
{
    ctx_.dialogs.notify(text);
}

void TMainWindow::answerBox(const std::string& text, const std::string& topic)
{
    ctx_.dialogs.answer(text, topic);
}

void TMainWindow::withdrawBox(const std::string& topic)
{
    ctx_.dialogs.withdraw(topic);
}

bool TMainWindow::messageBoxShown() const
{
    return ctx_.dialogs.notifying();
}

bool TMainWindow::dialogOpen() const
{
    return QApplication::activeModalWidget() != nullptr;
}

void TMainWindow::setBusy(bool busy)
{
    if (busy && !busy_) {
        inputBlock_ = new InputBlock(this);
        qApp->installEventFilter(inputBlock_);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (!busy && busy_) {
        delete inputBlock_;
        inputBlock_ = nullptr;
        QApplication::restoreOverrideCursor();
    }
    busy_ = busy;
}

void TMainWindow::selectUserPerf(int index)
{
    left_->selectUserPerf(index);
}

void TMainWindow::setUserPerfEntry(int index, const std::string& text)
{
    left_->setUserPerfEntry(index, qs(cp1252ToUtf8(text)));
}

void TMainWindow::followKnob(const std::string& control, int position)
{
    if (pagekit::BarBinding* bar = ctx_.bindings.bar(control))
        bar->follow(position);
}
