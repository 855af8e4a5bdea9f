#pragma once
// The real main window, offscreen, in virtual time, with the in-process
// virtual CS1x as its only device, wired as the program wires them, the
// Bulk-Dump menu included. The core talks to the window through a tap that
// watches what a fetch reports.

#include "editor/EditorContext.h"
#include "editor/MainWindow.h"
#include "files/FilesFixture.h"
#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/VirtualBackend.h"
#include "session/BulkCommands.h"
#include "session/CommandContext.h"
#include "session/EditSession.h"
#include "session/Links.h"
#include "support/ScriptedDialogs.h"
#include "support/VirtualScheduler.h"
#include "support/VirtualSynthPort.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QTest>

#include <functional>
#include <memory>
#include <string>

namespace kwtest {

// Passes everything on to the window and notes what matters to the soak.
class UiTap : public kw::Ui {
public:
    explicit UiTap(kw::Ui& window) : window_(window) {}

    enum class Fetch { None, Fetched, NotFetched };
    Fetch last = Fetch::None;     // how the latest fetch ended
    int fetched = 0;
    int notFetched = 0;
    std::function<void()> onFetched;  // right after a fetch has put its performance into the window
    std::vector<std::string> statuses;  // every status text, until the soak clears them

    void showStatus(const std::string& text) override
    {
        statuses.push_back(text);
        if (text.find(" not fetched: ") != std::string::npos) {
            last = Fetch::NotFetched;
            ++notFetched;
        }
        window_.showStatus(text);
    }
    void setLamp(kw::Lamp lamp, bool bright) override { window_.setLamp(lamp, bright); }
    void messageBox(const std::string& text) override { window_.messageBox(text); }
    void answerBox(const std::string& text, const std::string& topic) override { window_.answerBox(text, topic); }
    void withdrawBox(const std::string& topic) override { window_.withdrawBox(topic); }
    bool messageBoxShown() const override { return window_.messageBoxShown(); }
    bool dialogOpen() const override { return window_.dialogOpen(); }
    void setBusy(bool busy) override { window_.setBusy(busy); }
    void refreshAll() override
    {
        window_.refreshAll();
        last = Fetch::Fetched;
        ++fetched;
        if (onFetched)
            onFetched();
    }
    void refreshLayerPage() override { window_.refreshLayerPage(); }
    void showImage() override { window_.showImage(); }
    void selectUserPerf(int index) override { window_.selectUserPerf(index); }
    void setUserPerfEntry(int index, const std::string& text) override { window_.setUserPerfEntry(index, text); }
    void followKnob(const std::string& control, int position) override { window_.followKnob(control, position); }

private:
    kw::Ui& window_;
};

struct SynthRig {
    TempDir dir;  // where the files of the Bulk-Dump commands go
    VirtualScheduler sched;
    kw::Settings settings;
    kw::PerformanceImage image;
    kw::EditorState state;
    std::unique_ptr<kw::MidiPorts> ports;
    kw::VirtualBackend* synth = nullptr;
    std::unique_ptr<kw::Senders> senders;
    ScriptedDialogs dialogs;
    std::unique_ptr<kw::EditSession> session;
    std::unique_ptr<kw::EditorContext> ctx;
    std::unique_ptr<TMainWindow> window;
    std::unique_ptr<UiTap> tap;
    std::unique_ptr<kw::MidiCore> core;
    std::unique_ptr<kw::CommandContext> commands;
    std::unique_ptr<kw::BulkCommands> bulk;

    SynthRig()
    {
        settings.midiIn = settings.midiOut = kw::kVirtualDeviceName;
        std::vector<std::unique_ptr<kw::MidiBackend>> list;
        auto backend = std::make_unique<kw::VirtualBackend>(sched, QString());
        synth = backend.get();
        list.push_back(std::move(backend));
        ports = std::make_unique<kw::MidiPorts>(settings, std::move(list), kw::PortHooks{},
                                                [](std::function<void()> fn) { fn(); });
        senders = std::make_unique<kw::Senders>(image, state, ports->output());
        session = std::make_unique<kw::EditSession>(image, state, *senders);
        ctx = std::make_unique<kw::EditorContext>(kw::EditorContext{*session, dialogs});
        window = std::make_unique<TMainWindow>(*ctx);
        tap = std::make_unique<UiTap>(*window);
        session->attach(*tap, dialogs);
        core = std::make_unique<kw::MidiCore>(*senders, *tap, sched, settings);
        kw::linkToCore(*session, *core, [this] { return ports->inputOpen(); });
        ports->setInputSink([this](const kw::Bytes& m) { core->dispatcher.handle(m); });
        settings.lastDir = settings.perfBankDir = dir.path().string();
        commands = std::make_unique<kw::CommandContext>(
            kw::CommandContext{*session, core->receiver, dialogs, settings, [this] { return ports->inputOpen(); }});
        bulk = std::make_unique<kw::BulkCommands>(*commands);
        using Command = void (kw::BulkCommands::*)();
        const std::pair<const char*, Command> entries[] = {
            {"MenuBulkPerfNames", &kw::BulkCommands::MenuBulkPerfNamesClick},
            {"MenuBulkSinglePerfSynth", &kw::BulkCommands::MenuBulkSinglePerfSynthClick},
            {"MenuBulkPerfBankSynth", &kw::BulkCommands::MenuBulkPerfBankSynthClick},
            {"MenuBulkSinglePerfHD", &kw::BulkCommands::MenuBulkSinglePerfHDClick},
            {"MenuBulkAllPerfHD", &kw::BulkCommands::MenuBulkAllPerfHDClick},
            {"SaveToSynth", &kw::BulkCommands::SaveToSynthClick},
        };
        for (const auto& [name, command] : entries)
            QObject::connect(window->action(name), &QAction::triggered, window.get(),
                             [this, command = command] { (bulk.get()->*command)(); });
        window->show();
        ports->deviceCheck(*senders);
        settle();
    }
    ~SynthRig()
    {
        bulk.reset();
        commands.reset();
        core.reset();
        window.reset();
    }
    SynthRig(const SynthRig&) = delete;
    SynthRig& operator=(const SynthRig&) = delete;

    kw::VirtualCs1x& cs1x() { return synth->synth(); }
    bool chainRunning() const { return core->receiver.chainRunning() || core->receiver.chainQueued(); }

    // Times the window was found refusing input while no chain ran.
    int busyWithoutChain = 0;

    // Lets virtual time pass until nothing is on its way and no chain runs
    // (or `limitMs` have passed); false when it never got there. On the way,
    // the window must take input whenever no chain runs.
    bool settle(long long limitMs = 120000)
    {
        const long long end = sched.now() + limitMs;
        while (sched.now() < end) {
            sched.advance(100);
            if (!chainRunning() && !usable())
                ++busyWithoutChain;
            if (!chainRunning() && synth->cable().inFlight() == 0 && !core->timers.requestTimeoutRunning()) {
                sched.advance(1000);  // lamps and the status line
                return !chainRunning();
            }
        }
        return false;
    }
    // The window takes input: enabled, and no busy cursor.
    bool usable() const { return window->isEnabled() && QApplication::overrideCursor() == nullptr; }

    // A menu entry chosen, as the user chooses it.
    void chooseMenu(const char* name) { window->action(name)->trigger(); }

    void clickUserPerf(int row)
    {
        auto* list = window->findChild<QListWidget*>(QStringLiteral("UserPerf"));
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
};

// Data bytes of the seven blocks, without headers and checksums.
inline kw::Bytes dataOf(const kw::BlockSet& set)
{
    kw::Bytes out;
    for (int i = 0; i < kw::kBlocksPerPerformance; ++i) {
        const kw::BulkBlock& b = set.at(i);
        out.insert(out.end(), b.bytes() + 9, b.bytes() + b.size() - 2);
    }
    return out;
}

} // namespace kwtest
