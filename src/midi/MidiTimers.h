#pragma once
// The main window's four timers, kept out of the window so the core can drive
// them and tests can run them in virtual time: the two activity lamps, the
// request time-out and the status line's return to "OK".

#include "midi/Scheduler.h"

#include <string>

namespace kw {

class Senders;
class Ui;

class MidiTimers {
public:
    static constexpr int kLampMs = 50;
    static constexpr int kRequestTimeoutMs = 1000;
    static constexpr int kStatusMs = 750;
    static constexpr int kStartStatusMs = 500;

    // Starts the status timer, so the line reads "OK" shortly after start-up.
    MidiTimers(Scheduler& sched, Ui& ui, const Senders& senders);

    // The status setter: shows a transient text, back to "OK" after 750 ms.
    void status(const std::string& text);
    // Lamps: bright now, dark again 50 ms after the most recent activity.
    void inputActivity();
    void outputActivity();
    // Dump-request time-out: restarted by every request, stopped by any reply.
    void restartRequestTimeout();
    void stopRequestTimeout();
    bool requestTimeoutRunning() const { return request_.active(); }

private:
    void requestTimedOut();

    Ui& ui_;
    const Senders& senders_;
    OneShot in_;
    OneShot out_;
    OneShot request_;
    OneShot status_;
};

// Hooks the senders to the lamp, the time-out and the message box.
void connectSenders(Senders& senders, MidiTimers& timers, Ui& ui);

} // namespace kw
