#pragma once
// Finds the MIDI input and output a CS1x is cabled to: asks an output for
// its identity while listening on an input, one pair at a time, the likeliest
// pairs first (an input and output of one name, then of one device), and
// tells which pair answers as a CS1x. It has one port of each direction open
// beside the editor's two at a time and closes them when it is done, found or
// not; the ports the user has stay as they are. With JACK the search's ports
// live on clients the backend keeps (see RtMidiBackend): trying a pair moves
// ports, never opens a client.

#include "midi/MidiPorts.h"
#include "midi/Scheduler.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kw {

class SynthSearch {
public:
    struct Found {
        std::string input;
        std::string output;
    };
    struct Hooks {
        std::function<void(const std::string&)> progress;  // what it is doing, for the user
        std::function<void(const std::optional<Found>&)> done;
    };

    // Between opening a pair and the question: a JACK connection is in
    // place only a cycle after it was made.
    static constexpr int kSettleMs = 40;
    // The question once more, for a connection too new to carry the first.
    static constexpr int kAskAgainMs = 120;
    // How long a pair is given to answer, from its opening.
    static constexpr int kPairMs = 250;

    SynthSearch(MidiPorts& ports, Scheduler& sched);
    ~SynthSearch();
    SynthSearch(const SynthSearch&) = delete;
    SynthSearch& operator=(const SynthSearch&) = delete;

    // Runs without blocking: every wait goes through the scheduler. `done`
    // comes once, after everything the search opened is closed again.
    void start(Hooks hooks);
    // Stops without calling `done`, closing what it opened.
    void stop();
    bool running() const { return running_; }
    // Pairs it tries in all, known once it started.
    size_t pairs() const { return pairs_.size(); }

    // An identity reply of a CS1x: manufacturer 43 (Yamaha), family 00 41.
    static bool isCs1xIdentity(ByteView message);
    // "knobwright-sim:Virtual CS1x", or "IN and OUT" when they differ.
    static std::string portText(const Found& f);

private:
    struct Channel;

    void tryNext();
    void ask();
    void finish(const std::optional<Found>& found);
    void closePorts();
    void later(int ms, std::function<void()> fn);
    void cancelTimers();

    MidiPorts& ports_;
    Scheduler& sched_;
    Hooks hooks_;
    bool running_ = false;
    std::vector<MidiPorts::Device> inDevices_, outDevices_;
    std::vector<std::pair<size_t, size_t>> pairs_;  // input, output; likeliest first
    size_t next_ = 0;
    std::unique_ptr<BackendInput> in_;
    std::unique_ptr<BackendOutput> out_;
    std::shared_ptr<Channel> channel_;
    std::unique_ptr<InputQueue> queue_;
    std::vector<Scheduler::TimerId> timers_;
    // Each pair tried gets a number of its own: an answer that comes late,
    // after the search moved on, is nobody's.
    uint64_t trial_ = 0;
};

} // namespace kw
