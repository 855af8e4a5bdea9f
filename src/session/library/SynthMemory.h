#pragma once
// What the editor knows the synth's 128 user memories hold: the content it
// read from each or wrote into each, and how, since it last found the synth.
// A store on the synth's own panel or by another program is never seen, so
// this is what a memory held when the editor last looked, not what it holds:
// finding the synth again (it may have been switched off and on, or be
// another one) forgets it all.

#include "store/PerformanceData.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>

namespace kw {

class SynthMemory {
public:
    enum class How {
        Fetched,   // read from the synth
        BackedUp,  // read into the library before a send replaced it
        Sent,      // written by a send (a bank, a library row, a file)
        Stored,    // "Save changes to User-Perf"
    };
    struct Known {
        PerformanceData data{};
        How how = How::Fetched;
        std::time_t when = 0;
    };

    // `now` gives the wall-clock time; the system's when empty.
    explicit SynthMemory(std::function<std::time_t()> now = {});

    // User memory `number` (0..127) holds `data`, seen now as `how`.
    void saw(int number, const PerformanceData& data, How how);
    // The synth answered a greeting: what it holds is unknown again.
    void greeted();
    // What memory `number` held when last read or written since the synth
    // was greeted; nothing when it was not.
    const Known* known(int number) const;
    // When the synth was last greeted; nothing before the first greeting.
    std::optional<std::time_t> greetedAt() const { return greetedAt_; }

private:
    std::function<std::time_t()> now_;
    std::array<std::optional<Known>, 128> memories_{};
    std::optional<std::time_t> greetedAt_;
};

} // namespace kw
