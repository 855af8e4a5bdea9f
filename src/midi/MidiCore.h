#pragma once
// The receiving side wired together the way the program runs it: timers,
// receiver and dispatcher, with the senders' lamp, time-out and failure
// reports hooked up. The main window owns one and implements the Ui it is given; the
// scheduler, senders, Ui and settings must outlive it.

#include "midi/Dispatcher.h"
#include "midi/MidiTimers.h"
#include "midi/Receiver.h"
#include "midi/Senders.h"

namespace kw {

class MidiCore {
    Senders& senders_;

public:
    MidiTimers timers;
    Receiver receiver;
    Dispatcher dispatcher;

    MidiCore(Senders& senders, Ui& ui, Scheduler& sched, const Settings& settings)
        : senders_(senders),
          timers(sched, ui),
          receiver(senders, ui, sched, settings, timers),
          dispatcher(receiver, timers, senders, ui, settings, sched)
    {
        senders.setHooks({
            [this] { timers.outputActivity(); },
            [this](const Request& r, int performance) {
                timers.restartRequestTimeout();
                receiver.requestSent(r, performance);
            },
            [this](const std::string& text) { timers.sendFailed(text); },
        });
    }
    // The senders may go on without us; their hooks must not point here.
    ~MidiCore() { senders_.setHooks({}); }
    MidiCore(const MidiCore&) = delete;
    MidiCore& operator=(const MidiCore&) = delete;
};

} // namespace kw
