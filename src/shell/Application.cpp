#include "shell/Application.h"

#include "editor/EditorContext.h"
#include "editor/MainWindow.h"
#include "midi/MidiCore.h"
#include "midi/MidiSession.h"
#include "midi/QtScheduler.h"
#include "midi/VirtualBackend.h"
#include "shell/MessageWindow.h"
#include "shell/MidiForm.h"
#include "shell/QuitSignals.h"
#include "shell/Settings.h"
#include "shell/ToolTips.h"

#include <QApplication>
#include <QMessageBox>

namespace kw {

const char* const kApplicationTitle = "Orsk Knobwright V1.2 - YAMAHA-CX1x";

Application::Application(Options options) : options_(std::move(options)) {}

Application::~Application()
{
    // The core holds hooks into the senders and the window; it goes first.
    core_.reset();
    messages_.reset();
    window_.reset();
}

void Application::report(const QString& text)
{
    if (options_.messageBox)
        return options_.messageBox(text);
    QMessageBox::information(window_ ? static_cast<QWidget*>(window_.get()) : nullptr,
                             QString::fromLatin1(kApplicationTitle), text);
}

bool Application::start()
{
    state_.resetToStart();
    // A signal to end the program (a logout, Ctrl+C) is a normal exit.
    quitSignals_ = std::make_unique<QuitSignals>([] { QCoreApplication::exit(0); });
    store_ = options_.settingsFile.isEmpty() ? std::make_unique<SettingsStore>()
                                             : std::make_unique<SettingsStore>(options_.settingsFile);
    if (!store_->openProblem().isEmpty())
        report(store_->openProblem());
    settings_ = loadSettings(*store_, QCoreApplication::applicationDirPath(),
                             [this](const QString& e) { report(e); });
    setToolTipsShown(settings_.showHints);

    sched_ = std::make_unique<QtScheduler>();
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

    ctx_ = std::make_unique<EditorContext>(EditorContext{image_, state_, *senders_, settings_, {}});
    ctx_->inputOpen = [this] { return midi_->ports().inputOpen(); };
    ctx_->status = [this](const std::string& t) {
        if (core_)
            core_->timers.status(t);
    };
    window_ = std::make_unique<TMainWindow>(*ctx_);
    window_->setWindowTitle(QLatin1Char(' ') + QString::fromLatin1(kApplicationTitle));
    if (options_.messageBox)
        window_->messageHook = [this](const std::string& t) { options_.messageBox(QString::fromStdString(t)); };
    core_ = std::make_unique<MidiCore>(*senders_, *window_, *sched_, settings_);
    core_->dispatcher.setInputOpen([this] { return midi_->ports().inputOpen(); });
    midi_->ports().setInputSink([this](const Bytes& m) { core_->dispatcher.handle(m); });
    window_->startFetch = [this] { core_->receiver.startPerformanceFetch(); };
    window_->openPreferences = [this] {
        TMidiWindow dialog(midi_->ports(), settings_, *senders_, window_.get());
        dialog.exec();
    };
    // The question window lives for the whole run and is reused by every ask.
    messages_ = std::make_unique<TMessageWindow>(window_.get());

    return midi_->deviceCheck(*senders_);
}

void Application::finish()
{
    if (store_) {
        try {
            saveSettings(*store_, settings_);
        } catch (const SettingsError& e) {
            report(QString::fromStdString(e.what()));
        }
        store_.reset();
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
