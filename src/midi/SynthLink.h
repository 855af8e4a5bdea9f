#pragma once
// Keeps the editor and the synth together. Without chosen ports it looks for
// a CS1x once at start and offers the one it finds; with chosen ports it
// watches them: a port that goes away (a USB cable pulled, the JACK client
// gone) is closed at once and said so on the status line and the lamps, and
// a port of the chosen name that comes back is opened and greeted as at
// start. Once the synth answers a greeting, what it holds is fetched, so the
// window shows the synth's sound rather than the defaults.

#include "midi/Scheduler.h"
#include "midi/SynthSearch.h"

#include <functional>
#include <string>

namespace kw {

class MidiCore;
class MidiPorts;
class Senders;
class Ui;
struct Settings;

inline constexpr const char* kNoDeviceChosenText = "No MIDI device chosen - File › Preferences";
inline constexpr const char* kDisconnectedText = "MIDI device disconnected";
inline constexpr const char* kLookingText = "Looking for a CS1x...";
// The synth answered, but what the editor shows is the user's own work.
inline constexpr const char* kEditKeptText = "CS1x found - the performance you edited stays; click one to fetch it";

class SynthLink {
public:
    struct Hooks {
        // A Yes/No question; true for Yes.
        std::function<bool(const std::string&)> ask;
        // The window shows a performance the user changed (edited, or loaded
        // from a file) since it came from the synth: a fetch would replace it.
        std::function<bool()> userWork;
        // The synth answered a greeting: it may have been switched off and
        // on, or be another one, so what it holds is unknown again.
        std::function<void()> greeted{};
    };
    // How often the ports are looked at: a port that went away shows within
    // a second. Looking costs a listing of the driver's ports.
    static constexpr int kWatchMs = 500;

    SynthLink(MidiPorts& ports, MidiCore& core, Senders& senders, Ui& ui, Settings& settings, Scheduler& sched,
              Hooks hooks);
    ~SynthLink();
    SynthLink(const SynthLink&) = delete;
    SynthLink& operator=(const SynthLink&) = delete;

    // After the device check of the start.
    void start();
    // The user chose ports (Preferences): how they stand is shown at once.
    void check();
    // The program is ending: nothing is opened, asked or fetched any more.
    void stop();

    bool searching() const { return search_.running(); }
    bool connected() const { return state_ == State::Connected; }

    // "A CS1x answers on PORT. Use it?"
    static std::string question(const SynthSearch::Found& f);

private:
    enum class State { Unknown, Searching, NoneChosen, Lost, Connected };

    bool chosen() const;
    void watch();
    void reopen();
    void greet();
    void searchDone(const std::optional<SynthSearch::Found>& found);
    void fetchWhatTheSynthHolds();
    void show(State s);
    void showLamps(bool inOk, bool outOk);

    MidiPorts& ports_;
    MidiCore& core_;
    Senders& senders_;
    Ui& ui_;
    Settings& settings_;
    Scheduler& sched_;
    Hooks hooks_;
    SynthSearch search_;
    OneShot watch_;
    OneShot fetch_;
    State state_ = State::Unknown;
    int lamps_ = -1;  // what the lamps show, as a pair of states
    std::string lampPorts_;
    bool watching_ = false;
    // Both chosen ports were listed at the last look, and whether they were
    // tried since they came: a port that fails to open is tried again only
    // after it has gone and come back, not every half second.
    bool there_ = false;
    bool tried_ = false;
    bool stopped_ = false;
};

} // namespace kw
