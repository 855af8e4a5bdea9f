#pragma once
// The editor without its window, wired as the program wires it, on a real
// MIDI backend (JACK, or the virtual CS1x on Qt timers): ports, senders, the
// receiving core, the edit session and the Bulk-Dump commands. The window's
// part is played by a recording Ui, the user's by scripted dialogs.

#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/QtScheduler.h"
#include "model/Settings.h"
#include "session/BulkCommands.h"
#include "session/EditSession.h"
#include "session/Links.h"
#include "support/RecordingUi.h"
#include "support/ScriptedDialogs.h"

#include <memory>

namespace kwtest {

class EditorRig {
public:
    kw::Settings settings;  // set the ports and pauses before start()
    kw::QtScheduler sched;
    kw::PerformanceImage img;
    kw::EditorState st;
    RecordingUi ui;
    ScriptedDialogs dialogs;
    std::unique_ptr<kw::MidiPorts> ports;
    std::unique_ptr<kw::Senders> senders;
    std::unique_ptr<kw::MidiCore> core;
    std::unique_ptr<kw::EditSession> session;
    std::unique_ptr<kw::CommandContext> ctx;
    std::unique_ptr<kw::BulkCommands> bulk;

    // Opens the ports `settings` name on `backend` and greets the synth;
    // false when either port stayed closed.
    bool start(std::unique_ptr<kw::MidiBackend> backend)
    {
        std::vector<std::unique_ptr<kw::MidiBackend>> list;
        list.push_back(std::move(backend));
        ports = std::make_unique<kw::MidiPorts>(settings, std::move(list),
                                                kw::PortHooks{[this](const std::string& t) { ui.messageBox(t); }, {}});
        kw::setDefaults(img, st);
        senders = std::make_unique<kw::Senders>(img, st, ports->output());
        core = std::make_unique<kw::MidiCore>(*senders, ui, sched, settings);
        session = std::make_unique<kw::EditSession>(img, st, *senders);
        session->attach(ui, dialogs);
        auto inputOpen = [this] { return ports->inputOpen(); };
        kw::linkToCore(*session, *core, inputOpen);
        ctx = std::make_unique<kw::CommandContext>(
            kw::CommandContext{*session, core->receiver, dialogs, settings, inputOpen});
        bulk = std::make_unique<kw::BulkCommands>(*ctx);
        ports->setInputSink([this](const kw::Bytes& m) { core->dispatcher.handle(m); });
        return ports->deviceCheck(*senders) && ports->inputOpen() && ports->outputOpen();
    }
    // A bank is read in slices before its send starts, so reading counts.
    bool transferRunning() const
    {
        return core->receiver.chainRunning() || core->receiver.chainQueued() || (ctx && ctx->readingBank);
    }

    ~EditorRig()
    {
        if (session)
            session->detach();
        bulk.reset();
        ctx.reset();
        core.reset();
        if (ports) {
            ports->closeInput();
            ports->closeOutput();
        }
    }
};

} // namespace kwtest
