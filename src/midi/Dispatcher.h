#pragma once
// Every message from the synth comes through here, one at a time on the UI
// thread: lamp, replies to the receiver, status line, knob following and
// program changes.
//
// Input is handled while a dialog is up too: the status line, the lamps and
// the knobs keep following the synth. Only a program change, which would
// fetch another performance, waits while the user answers a dialog (saving
// the performance on show, say): when the dialog closes, the editor follows
// the synth's latest choice.

#include "midi/Scheduler.h"
#include "model/Block.h"

#include <functional>
#include <optional>
#include <string>

namespace kw {

class MidiTimers;
class Receiver;
class Senders;
class Ui;
struct Settings;

class Dispatcher {
public:
    Dispatcher(Receiver& rx, MidiTimers& timers, Senders& senders, Ui& ui, const Settings& settings,
               Scheduler& sched);

    // A complete System Exclusive message (F0 .. F7) or a 1-3 byte short message.
    void handle(const Bytes& message);
    // Program changes are followed only while the input port is open too.
    void setInputOpen(std::function<bool()> isOpen) { inputOpen_ = std::move(isOpen); }
    // What a program change from the synth sets off while "ProgramChanges" is
    // on and both ports are open: the editor switches to that user
    // performance and fetches it. Without it a program change only lights the lamp.
    void setProgramChangeAction(std::function<void(int program)> action) { programChange_ = std::move(action); }

    // The status-line text of a short message; empty for program changes,
    // which show nothing of their own.
    static std::string statusText(uint8_t status, uint8_t d1, uint8_t d2);

private:
    // How often a program change held back by a dialog looks whether it has closed.
    static constexpr int kDialogWatchMs = 50;

    void followKnob(uint8_t controller, uint8_t value);
    void programChange(uint8_t program);
    void programChangeAfterDialog();

    Receiver& rx_;
    MidiTimers& timers_;
    Senders& senders_;
    Ui& ui_;
    const Settings& settings_;
    std::function<bool()> inputOpen_ = [] { return true; };
    std::function<void(int)> programChange_;
    std::optional<uint8_t> heldProgram_;
    OneShot dialogWatch_;
};

} // namespace kw
