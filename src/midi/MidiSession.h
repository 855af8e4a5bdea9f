#pragma once
// What main() needs of MIDI: the ports over every backend that works on this
// machine plus the virtual CS1x, the device check of the start-up, and the
// closing of both ports at exit.
//
//     kw::MidiSession midi(settings, scheduler, {messageBox, status});
//     kw::Senders senders(image, state, midi.ports().output(), ...);
//     midi.ports().setInputSink(dispatch);
//     if (midi.deviceCheck(senders))   // false: no MIDI device, no event loop
//         app.exec();
//     ...write the settings...
//     midi.saveVirtualMemory();
//     midi.closePorts();

#include "midi/MidiPorts.h"
#include "midi/Scheduler.h"

#include <QString>

namespace kw {

class VirtualBackend;

class MidiSession {
public:
    // RtMidi's APIs that start here (ALSA sequencer, JACK, ...) and the
    // virtual CS1x, whose memory lives in `virtualMemory` (empty: this run only).
    MidiSession(Settings& settings, Scheduler& sched, PortHooks hooks, const QString& virtualMemory);
    MidiSession(Settings& settings, Scheduler& sched, PortHooks hooks);
    // Any backends (tests).
    MidiSession(Settings& settings, std::vector<std::unique_ptr<MidiBackend>> backends, PortHooks hooks,
                UiPost post = {});

    MidiPorts& ports() { return *ports_; }
    // Null when the session was built without it.
    VirtualBackend* virtualSynth() { return virtual_; }

    bool deviceCheck(Senders& senders) { return ports_->deviceCheck(senders); }
    // Writes the virtual CS1x's memory now if it changed (a failure is
    // reported); done before the ports close at exit, which may go wrong.
    bool saveVirtualMemory();
    // Input first, then output; each only when open.
    void closePorts();

private:
    VirtualBackend* virtual_ = nullptr;
    std::unique_ptr<MidiPorts> ports_;
};

} // namespace kw
