#pragma once
// The main window's four timers, kept out of the window so the core can drive
// them and tests can run them in virtual time: the two activity lamps, the
// request time-out and the status line's return to "OK". Also what keeps the
// user from being buried in boxes: one box at a time, and a run of failed
// sends told once.

#include "midi/Scheduler.h"

#include <functional>
#include <string>

namespace kw {

class Ui;

class MidiTimers {
public:
    static constexpr int kLampMs = 50;
    static constexpr int kRequestTimeoutMs = 1000;
    static constexpr int kStatusMs = 750;
    static constexpr int kStartStatusMs = 500;
    // How long a report (a transfer that failed, say) stays in the status line.
    static constexpr int kReportMs = 4000;
    // Failed sends closer together than this are one burst, told once.
    static constexpr int kSendFailureQuietMs = 1000;

    // Starts the status timer, so the line reads "OK" shortly after start-up.
    MidiTimers(Scheduler& sched, Ui& ui);

    // The status setter: shows a transient text, back to "OK" after `ms`.
    // "OK" means nothing is pending: while the query of setBusyQuery() says
    // something is, the text stands until settled() is called.
    void status(const std::string& text, int ms = kStatusMs);
    void setBusyQuery(std::function<bool()> busy) { busy_ = std::move(busy); }
    // Nothing is pending any more: the line reads "OK" if its text's time is over.
    void settled();
    // A text that the line comes back to instead of "OK" until
    // clearStanding() (a fetch that failed, until the user's next action).
    void stand(const std::string& text);
    void clearStanding();
    const std::string& standing() const { return standing_; }
    // How the synth's ports stand, when not as they should ("MIDI device
    // disconnected"): shown at once, and where the line would read "OK"
    // until it is cleared (empty), whatever the user does meanwhile.
    void setPortText(const std::string& text);
    const std::string& portText() const { return portText_; }
    // Lamps: bright now, dark again 50 ms after the most recent activity.
    void inputActivity();
    void outputActivity();
    // Dump-request time-out: restarted by every request; what it means when
    // it runs out is up to the handler (the receiver).
    void restartRequestTimeout();
    void stopRequestTimeout();
    bool requestTimeoutRunning() const { return request_.active(); }
    void setRequestTimeoutHandler(std::function<void()> fn) { onTimeout_ = std::move(fn); }
    // A send failed: the first of a burst is shown in a box (once the send
    // has returned), the rest only in the status line.
    void sendFailed(const std::string& text);
    // A box, one at a time: while one is up, the text goes to the status
    // line instead and stands there a while, unless `statusHasIt` (the
    // status line tells it already, in words of its own).
    void box(const std::string& text, bool statusHasIt = false);

private:
    // "OK", or the standing text; held back while something is pending.
    void rest();

    Ui& ui_;
    std::function<void()> onTimeout_;
    std::function<bool()> busy_;
    std::string standing_;
    std::string portText_;
    bool held_ = false;     // the text's time is over, but something is pending
    bool resting_ = false;  // the line shows what rest() shows
    OneShot in_;
    OneShot out_;
    OneShot request_;
    OneShot status_;
    OneShot sendQuiet_;
    OneShot sendBox_;
    std::string sendFailure_;
};

} // namespace kw
