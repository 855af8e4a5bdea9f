#include "midi/MidiTimers.h"

#include "midi/Senders.h"
#include "midi/Ui.h"

namespace kw {

MidiTimers::MidiTimers(Scheduler& sched, Ui& ui, const Senders& senders)
    : ui_(ui), senders_(senders),
      in_(sched, [this] { ui_.setLamp(Lamp::In, false); }),
      out_(sched, [this] { ui_.setLamp(Lamp::Out, false); }),
      request_(sched, [this] { requestTimedOut(); }),
      status_(sched, [this] { ui_.showStatus("OK"); })
{
    status_.start(kStartStatusMs);
}

void MidiTimers::status(const std::string& text)
{
    ui_.showStatus(text);
    status_.start(kStatusMs);
}

void MidiTimers::inputActivity()
{
    ui_.setLamp(Lamp::In, true);
    in_.start(kLampMs);
}

void MidiTimers::outputActivity()
{
    ui_.setLamp(Lamp::Out, true);
    out_.start(kLampMs);
}

void MidiTimers::restartRequestTimeout() { request_.start(kRequestTimeoutMs); }

void MidiTimers::stopRequestTimeout() { request_.stop(); }

void MidiTimers::requestTimedOut()
{
    // The pending request and any chain stay as they are: a late reply still
    // completes what was started.
    ui_.setBusy(false);
    const Request& pending = senders_.pending();
    if (pending.isNone())
        return;
    const char* detail = pending.type == Request::Type::Identity ? "Please check cabling and/or device-settings"
                                                                 : "MIDI-Data receive-timeout!";
    ui_.messageBox(std::string("CS1x does not respond on selected MIDI-device!\n") + detail);
}

void connectSenders(Senders& senders, MidiTimers& timers, Ui& ui)
{
    senders.setHooks({
        [&timers] { timers.outputActivity(); },
        [&timers] { timers.restartRequestTimeout(); },
        [&ui](const std::string& text) { ui.messageBox(text); },
    });
}

} // namespace kw
