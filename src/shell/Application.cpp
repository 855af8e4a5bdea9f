#include "shell/Application.h"

#include "editor/BankEditWindow.h"
#include "editor/EditorContext.h"
#include "editor/ExploreWindow.h"
#include "editor/LibraryWindow.h"
#include "editor/MainWindow.h"
#include "editor/MidiMonitorWindow.h"
#include "midi/MidiCore.h"
#include "midi/MidiSession.h"
#include "midi/QtScheduler.h"
#include "midi/SynthLink.h"
#include "midi/VirtualBackend.h"
#include "model/Cp1252.h"
#include "session/BankManager.h"
#include "session/BulkCommands.h"
#include "session/EditSession.h"
#include "session/Explorer.h"
#include "session/FileCommands.h"
#include "session/library/LibraryCommands.h"
#include "session/library/LibraryKeeper.h"
#include "session/Links.h"
#include "shell/AboutWindow.h"
#include "shell/MessageWindow.h"
#include "shell/MidiForm.h"
#include "shell/QtDialogs.h"
#include "shell/QuitSignals.h"
#include "shell/Settings.h"
#include "shell/ToolTips.h"
#include "shell/WindowPlace.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>
#include <random>
#include <utility>

namespace kw {

const char* const kApplicationTitle = "Orsk Knobwright V1.2 - YAMAHA-CX1x";

Application::Application(Options options) : options_(std::move(options)) {}

Application::~Application()
{
    // The commands work through the core; the core holds hooks into the
    // senders and the window. They go first, in this order.
    if (ctx_)
        ctx_->mayQuit = {};
    link_.reset();
    monitor_ = nullptr;  // goes with the window, before the ports
    delete exploreWindow_;
    exploreWindow_ = nullptr;
    delete libraryWindow_;
    libraryWindow_ = nullptr;
    libraryCommands_.reset();
    bankManager_.reset();
    bulkCommands_.reset();
    fileCommands_.reset();
    commandContext_.reset();
    keeper_.reset();
    core_.reset();
    window_.reset();
}

Scheduler& Application::scheduler() { return *sched_; }

std::filesystem::path Application::libraryPath() const
{
    if (!options_.libraryFile.empty())
        return options_.libraryFile;
    if (!options_.settingsFile.isEmpty())
        return std::filesystem::path(QFileInfo(options_.settingsFile).absolutePath().toStdString()) / "library.sqlite";
    return defaultLibraryPath();
}

TMessageWindow& Application::messageWindow()
{
    return qtDialogs_->messageWindow();
}

namespace {

// Problems met while the program ended, told at the next start.
QString exitNotesFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Knobwright/exit-problems.txt");
}

} // namespace

void Application::report(const QString& text)
{
    if (!exiting_ && !window_) {
        // Before there is a window to show it beside, it waits.
        startReports_.push_back(text.toStdString());
        return;
    }
    if (!exiting_) {
        dialogs_->inform(text.toStdString());
        return;
    }
    // No box at the end: nobody may be there to close it (a logout), and
    // the desktop would have to kill the program. Standard error has it now,
    // the status line at the next start.
    std::fprintf(stderr, "knobwright: %s\n", text.toLocal8Bit().constData());
    const QString file = exitNotesFile();
    QDir().mkpath(QFileInfo(file).path());
    QFile notes(file);
    if (notes.open(QIODevice::Append | QIODevice::Text))
        notes.write(text.simplified().toUtf8() + '\n');
}

void Application::tellExitProblems()
{
    QFile notes(exitNotesFile());
    if (!notes.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QStringList lines = QString::fromUtf8(notes.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    notes.remove();
    if (!lines.isEmpty())
        core_->timers.stand(("When the program last ended: " + lines.join(QStringLiteral(" - "))).toStdString());
}

bool Application::start()
{
    state_.resetToStart();
    qtDialogs_ = std::make_unique<QtDialogs>();
    dialogs_ = options_.dialogs ? options_.dialogs : qtDialogs_.get();
    // A signal to end the program (a logout, Ctrl+C) is a normal exit.
    quitSignals_ = std::make_unique<QuitSignals>([this] { quitBySignal(); });
    store_ = options_.settingsFile.isEmpty() ? std::make_unique<SettingsStore>()
                                             : std::make_unique<SettingsStore>(options_.settingsFile);
    if (!store_->openProblem().isEmpty())
        report(store_->openProblem());
    settings_ = loadSettings(*store_, QCoreApplication::applicationDirPath(),
                             [this](const QString& e) { report(e); });
    setToolTipsShown(settings_.showHints);

    sched_ = std::make_unique<QtScheduler>();
    // Opened the first time something is kept or looked up, not here.
    keeper_ = std::make_unique<LibraryKeeper>(settings_, *sched_, [this] { return Store::open(libraryPath()); });
    PortHooks hooks{[this](const std::string& t) { report(QString::fromStdString(t)); },
                    [this](const std::string& t) {
                        if (core_)
                            core_->timers.status(t);
                    }};
    if (options_.backends)
        midi_ = std::make_unique<MidiSession>(settings_, std::move(*options_.backends), hooks);
    else
        midi_ = std::make_unique<MidiSession>(settings_, *sched_, hooks,
                                              options_.volatileSynth ? QString() : defaultVirtualMemoryPath());
    senders_ = std::make_unique<Senders>(image_, state_, midi_->ports().output());

    session_ = std::make_unique<EditSession>(image_, state_, *senders_);
    ctx_ = std::make_unique<EditorContext>(EditorContext{*session_, *dialogs_});
    ctx_->beforeFirstRefresh = [this] {
        loadNamesAtStart(session_->userPerfs(), settings_.aktPerfList, *dialogs_, keeper_.get());
    };
    window_ = std::make_unique<TMainWindow>(*ctx_);
    window_->setWindowTitle(QLatin1Char(' ') + QString::fromLatin1(kApplicationTitle));
    placeWindow();
    // The question window lives for the whole run and is reused by every ask.
    qtDialogs_->setParent(window_.get());
    // What the start found wrong so far (the settings): in a box that does
    // not hold the start up, beside the window.
    for (const std::string& text : std::exchange(startReports_, {}))
        dialogs_->answer(text);
    core_ = std::make_unique<MidiCore>(*senders_, *window_, *sched_, settings_);
    linkToCore(*session_, *core_, [this] { return midi_->ports().inputOpen(); });
    midi_->ports().setInputSink([this](const Bytes& m) { core_->dispatcher.handle(m); });
    QObject::connect(window_->action("MenuFilePreferences"), &QAction::triggered, window_.get(), [this] {
        TMidiWindow dialog(midi_->ports(), settings_, *senders_, *sched_, window_.get());
        dialog.exec();
        link_->check();
    });
    QObject::connect(window_->action("MenuViewMidiMonitor"), &QAction::triggered, window_.get(), [this] {
        if (!monitor_) {
            monitor_ = new MidiMonitorWindow(midi_->ports(), *sched_, *dialogs_, settings_, window_.get());
            monitor_->model().readContextFrom(&image_.edit);
            placeBeside(monitor_, window_.get());
        }
        monitor_->show();
        monitor_->raise();
        monitor_->activateWindow();
    });
    QObject::connect(window_->action("MenuAbout"), &QAction::triggered, window_.get(), [this] {
        TAboutWindow about(window_.get());
        about.exec();
    });
    keeper_->setHooks({[this](const std::string& t) { core_->timers.stand(t); },
                       [this](const std::string& t) { dialogs_->notify(t); },
                       [this] {
                           if (libraryWindow_)
                               libraryWindow_->libraryChanged();
                       }});
    connectCommands();
    tellExitProblems();
    link_ = std::make_unique<SynthLink>(
        midi_->ports(), *core_, *senders_, *window_, settings_, *sched_,
        SynthLink::Hooks{[this](const std::string& q) { return dialogs_->confirm(kApplicationTitle, q); },
                         [this] { return session_->userWork(); },
                         [this] { keeper_->synthMemory().greeted(); }});

    if (!midi_->deviceCheck(*senders_))
        return false;
    link_->start();
    return true;
}

void Application::connectCommands()
{
    commandContext_ = std::make_unique<CommandContext>(CommandContext{*session_, core_->receiver, *dialogs_, settings_,
                                                               [this] { return midi_->ports().inputOpen(); }});
    linkKeeper(*keeper_, *commandContext_);
    libraryCommands_ = std::make_unique<LibraryCommands>(*commandContext_, *keeper_);
    fileCommands_ = std::make_unique<FileCommands>(*commandContext_);
    bulkCommands_ = std::make_unique<BulkCommands>(*commandContext_);
    auto on = [this](const char* action, auto command) {
        QObject::connect(window_->action(action), &QAction::triggered, window_.get(), command);
    };
    FileCommands& file = *fileCommands_;
    on("MenuFileOpenActPerf", [&file] { file.MenuFileOpenActPerfClick(); });
    on("MenuFileOpenPerfNames", [&file] { file.MenuFileOpenPerfNamesClick(); });
    on("MenuFileSaveActPerf", [&file] { file.MenuFileSaveActPerfClick(); });
    on("MenuFileSavePerfNames", [&file] { file.MenuFileSavePerfNamesClick(); });
    BulkCommands& bulk = *bulkCommands_;
    on("MenuBulkPerfNames", [&bulk] { bulk.MenuBulkPerfNamesClick(); });
    on("MenuBulkSinglePerfSynth", [&bulk] { bulk.MenuBulkSinglePerfSynthClick(); });
    on("MenuBulkPerfBankSynth", [&bulk] { bulk.MenuBulkPerfBankSynthClick(); });
    on("MenuBulkSinglePerfHD", [&bulk] { bulk.MenuBulkSinglePerfHDClick(); });
    on("MenuBulkAllPerfHD", [&bulk] { bulk.MenuBulkAllPerfHDClick(); });
    on("SaveToSynth", [&bulk] { bulk.SaveToSynthClick(); });
    LibraryCommands& kept = *libraryCommands_;
    on("MenuFileImportLibrary", [&kept] { kept.importChosen(); });
    on("MenuFileKeepInLibrary", [&kept] { kept.keepEdited(); });
    on("MenuViewLibrary", [this] {
        if (!libraryWindow_) {
            // A window of its own rather than the main window's child: the
            // bank manager holds the main window up while open, and rows
            // are dragged from here onto its slots. It does not keep the
            // program running once the main window has closed.
            libraryWindow_ = new LibraryWindow(*libraryCommands_);
            libraryWindow_->setAttribute(Qt::WA_QuitOnClose, false);
            placeBeside(libraryWindow_, window_.get());
        }
        libraryWindow_->show();
        libraryWindow_->raise();
        libraryWindow_->activateWindow();
    });

    bank_ = std::make_unique<BankModel>();
    bankManager_ = std::make_unique<BankManager>(*commandContext_, *bank_);
    BankManager& bank = *bankManager_;
    on("MenuBulkBankEdit", [this, &bank] { MenuBulkBankEditClick(bank, window_.get()); });
    // A new random source each run: mutations are never the last run's again.
    explorer_ = std::make_unique<Explorer>(*session_, *sched_,
                                           (uint64_t(std::random_device{}()) << 32) | std::random_device{}());
    on("MenuToolsMutate", [this] { explorer_->mutate(); });
    on("MenuViewExplore", [this] {
        if (!exploreWindow_) {
            exploreWindow_ = new ExploreWindow(
                *explorer_, *dialogs_, settings_,
                [this](const std::vector<int64_t>& ids) {
                    std::vector<ExploreWindow::Named> out;
                    Store* store = libraryCommands_->store();
                    for (const int64_t id : ids) {
                        if (!store)
                            break;
                        auto record = store->record(id, 0);
                        if (!record)
                            continue;
                        ExploreWindow::Named n{cp1252ToUtf8(record->shortEntry()), {}};
                        n.image.setDefaults();
                        record->toEdit(n.image.edit);
                        out.push_back(std::move(n));
                    }
                    return out;
                },
                [this](std::function<void(ExploreWindow::Named)> take) {
                    libraryCommands_->readUserMemory(
                        "Performance B", [take = std::move(take)](const PerformanceRecord& record, int number) {
                            ExploreWindow::Named n{entryNumber(number) + " " + cp1252ToUtf8(record.shortEntry()), {}};
                            n.image.setDefaults();
                            record.toEdit(n.image.edit);
                            take(std::move(n));
                        });
                });
            // Not the main window's child: its clicks and drags are no
            // gestures of the main window's controls, which would cut a
            // slider drag or a round of candidates into several steps. It
            // does not keep the program running once the main window has
            // closed.
            exploreWindow_->setAttribute(Qt::WA_QuitOnClose, false);
            placeBeside(exploreWindow_, window_.get());
        }
        exploreWindow_->show();
        exploreWindow_->raise();
        exploreWindow_->activateWindow();
    });
    // An arranged bank lives in memory only: quitting asks to save it first.
    ctx_->mayQuit = [this] { return mayQuit(); };
    ctx_->openFromLibrary = [this](const std::vector<int64_t>& ids) { libraryCommands_->open(ids.front()); };
}

namespace {
// The longest a quit waits for a transfer to wrap up: the performance in
// flight with the long pause is seven blocks and 0.7 s; a synth that has
// stopped answering is not waited for beyond this.
constexpr int kQuitWaitMs = 1200;
constexpr int kQuitPollMs = 10;
} // namespace

bool Application::transferRunning() const
{
    const Receiver& rx = core_->receiver;
    return (rx.chainRunning() && !rx.chain()->isPerformanceFetch()) || rx.chainQueued();
}

bool Application::mayQuit()
{
    if (quitting_)
        return true;
    if (wrappingUp_)
        return false;  // on its way out already
    if (transferRunning()
        && !dialogs_->confirm(window_->windowTitle().toStdString(), kQuitDuringTransferQuestion, Dialogs::Default::No))
        return false;
    if (!bankManager_->mayQuit() || !libraryCommands_->mayQuit())
        return false;
    if (!core_->receiver.chainRunning() && !core_->receiver.chainQueued())
        return true;
    quitAfterTransfer([this] {
        quitting_ = true;
        window_->close();
    });
    return false;
}

void Application::quitBySignal()
{
    if (!core_) {
        QCoreApplication::exit(0);
        return;
    }
    quitAfterTransfer([] { QCoreApplication::exit(0); });
}

void Application::quitAfterTransfer(std::function<void()> done)
{
    // A signal while the window waits to close: the signal's way wins.
    afterWrapUp_ = std::move(done);
    if (wrappingUp_)
        return;
    wrappingUp_ = true;
    core_->receiver.wrapUp();
    watchWrapUp(kQuitWaitMs / kQuitPollMs);
}

void Application::watchWrapUp(int polls)
{
    const Receiver& rx = core_->receiver;
    if ((rx.chainRunning() || rx.chainQueued()) && polls > 0) {
        sched_->after(kQuitPollMs, [this, polls] { watchWrapUp(polls - 1); });
        return;
    }
    if (rx.chainRunning())
        std::fprintf(stderr, "knobwright: quit before the transfer had ended\n");
    // What went out last leaves the port before it closes.
    sched_->after(settings_.transferPause(), [this] {
        if (afterWrapUp_)
            afterWrapUp_();
    });
}

void Application::placeWindow()
{
    const auto left = store_->readPlace("Left");
    const auto top = store_->readPlace("Top");
    if (!left || !top)
        return;  // the window manager's choice
    window_->layout()->activate();  // its fixed size, before it is shown
    QList<QRect> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens.push_back(s->availableGeometry());
    window_->move(keptOnScreen(QPoint(*left, *top), window_->frameGeometry().size(), screens));
}

void Application::finish()
{
    exiting_ = true;
    if (link_)
        link_->stop();
    // Where the window stood, if it was ever shown (not its size: fixed).
    if (store_ && window_ && window_->windowHandle()) {
        store_->writePlace("Left", window_->pos().x());
        store_->writePlace("Top", window_->pos().y());
    }
    if (store_) {
        try {
            saveSettings(*store_, settings_);
        } catch (const SettingsError& e) {
            report(QString::fromStdString(e.what()));
        }
        store_.reset();
    }
    if (keeper_) {
        keeper_->flush();
        // Deleted entries could be brought back until now; no longer.
        if (Store* s = keeper_->storeIfOpen(); s && !s->readOnly())
            s->purgeRemoved();
    }
    if (midi_) {
        // What the user keeps is written before the ports close: closing
        // them is where a driver in trouble may take the process down.
        midi_->saveVirtualMemory();
        midi_->closePorts();
    }
}

int Application::run()
{
    if (start()) {
        window_->show();
        QApplication::exec();
    }
    finish();
    return 0;
}

} // namespace kw
