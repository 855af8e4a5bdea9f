#include "midi/MidiTimers.h"

#include "midi/Ui.h"

#include <algorithm>
#include <utility>

namespace kw {

MidiTimers::MidiTimers(Scheduler& sched, Ui& ui)
    : ui_(ui),
      in_(sched, [this] { ui_.setLamp(Lamp::In, false); }),
      out_(sched, [this] { ui_.setLamp(Lamp::Out, false); }),
      request_(sched,
               [this] {
                   if (onTimeout_)
                       onTimeout_();
               }),
      status_(sched, [this] { rest(); }),
      sendQuiet_(sched, [] {}),
      sendBox_(sched, [this] { box(std::exchange(sendFailure_, {})); })
{
    status_.start(kStartStatusMs);
}

void MidiTimers::status(const std::string& text, int ms)
{
    held_ = resting_ = false;
    ui_.showStatus(text);
    status_.start(ms);
}

void MidiTimers::rest()
{
    if (busy_ && busy_()) {
        held_ = true;
        return;
    }
    held_ = false;
    resting_ = true;
    // A standing text goes first: it stands only until the user acts.
    ui_.showStatus(!standing_.empty() ? standing_ : !portText_.empty() ? portText_ : std::string("OK"));
}

void MidiTimers::setPortText(const std::string& text)
{
    if (text == portText_)
        return;
    portText_ = text;
    if (!text.empty() && standing_.empty()) {
        // Said now, whatever the line showed: everything that needs the
        // synth stops working at this moment.
        status_.stop();
        held_ = false;
        resting_ = true;
        ui_.showStatus(text);
    } else if (resting_ || held_) {
        rest();
    }
}

void MidiTimers::settled()
{
    if (held_)
        rest();
}

void MidiTimers::stand(const std::string& text)
{
    standing_ = text;
    status(text, kReportMs);
}

void MidiTimers::clearStanding()
{
    if (standing_.empty())
        return;
    standing_.clear();
    if (resting_)
        rest();
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
    // The port works again, so the next failure starts a burst of its own.
    sendQuiet_.stop();
}

void MidiTimers::restartRequestTimeout() { request_.start(kRequestTimeoutMs); }

void MidiTimers::stopRequestTimeout() { request_.stop(); }

void MidiTimers::sendFailed(const std::string& text)
{
    const bool first = !sendQuiet_.active();
    sendQuiet_.start(kSendFailureQuietMs);
    if (!first) {
        status(text);
        return;
    }
    sendFailure_ = text;
    sendBox_.start(0);
}

void MidiTimers::box(const std::string& text, bool statusHasIt)
{
    if (!ui_.messageBoxShown()) {
        ui_.messageBox(text);
        return;
    }
    if (statusHasIt)
        return;
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    status(line, kReportMs);
}

} // namespace kw
