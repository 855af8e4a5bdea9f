#pragma once
// What the soak is made of: the dice every random choice comes from, the
// tasks it runs again and again under faults, and what it knows about the
// synth while they run.

#include "SynthRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

namespace kwsoak {

using kw::Bytes;

// splitmix64, so a seed means the same run everywhere.
class Dice {
public:
    explicit Dice(uint64_t seed) : state_(seed) {}
    uint64_t next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % uint64_t(n)); }
    double chance() { return double(next() >> 11) * 0x1.0p-53; }

private:
    uint64_t state_;
};

// How one run of a task ended, as the user was told.
enum class Outcome {
    Succeeded,
    FailedAndReported,
    Cancelled,   // the user pressed Cancel
    NotStarted,  // the synth vanished before it could even ask for anything
    Unreported,  // it did not succeed and nobody said so: a fault
};

struct Soak;

// One kind of thing the soak does again and again under faults. The rules
// every task keeps are checked by the loop; `check` adds its own.
struct SoakTask {
    std::string name;
    int count = 0;
    // Starts one under the faults already set and lets it run out. `again`:
    // the user tries the same once more, after a run that did not succeed.
    std::function<Outcome(Soak&, bool again)> run;
    // What must hold after it besides the common rules.
    std::function<void(Soak&, Outcome)> check;
    // The faults it meets. A transfer hears a thousand messages where a
    // fetch hears seven: at a fetch's rates nearly every one would stop
    // within its first performances, and the later ones would never be
    // tried under faults.
    double faultScale = 1;    // the chances of a lost, damaged or unasked message
    int lateWithinMs = 1600;  // now and then beyond the request time-out
    double vanishChance = 0.06;
    int vanishWithin = 10;    // messages the synth hears before it goes
    // What else to say in the tally ("stopped after 3, 57 performances").
    std::function<std::string()> summary;
};

SoakTask fetchTask(int count);
SoakTask backupTask(int count);
SoakTask bankSendTask(int count);

// Virtual time a transfer of all 128 performances may take under the worst
// faults: every reply late, many asked for twice.
inline constexpr long long kTransferLimitMs = 60LL * 60 * 1000;

struct Soak {
    kwtest::SynthRig rig;
    Dice dice;
    // Every performance the synth's edit buffer has held, whole: what a
    // fetch may show. Watched as it changes, so a performance that a bank
    // send has just stored counts as soon as the synth's panel picks it.
    std::set<Bytes> wholes;
    // What the window shows since the last fetch that succeeded (or since the start).
    Bytes shown;
    bool modifiedShown = false;
    // Where the texts of the run under way begin.
    size_t boxesFrom = 0;
    size_t answersFrom = 0;

    explicit Soak(uint64_t seed) : dice(seed)
    {
        // Every block of every user performance its own data, so a
        // performance pieced together from two would show.
        Dice data(seed ^ 0x5EED);
        for (int pp = 0; pp < kw::kUserPerformances; ++pp) {
            for (int i = 0; i < kw::kBlocksPerPerformance; ++i) {
                kw::BulkBlock b(kw::BlockKind(kw::kBlocksPerPerformance + i));
                for (size_t k = 0; k < b.dataLength(); ++k)
                    b.data(k) = uint8_t(data.below(128));
                rig.cs1x().handle(b.outgoing(pp));
            }
        }
        // The rig keeps the synth's memory for this run only, so its memory
        // file has no use for the hook.
        rig.cs1x().setOnChange([this] { wholes.insert(kwtest::dataOf(rig.cs1x().editBuffer())); });
        wholes.insert(kwtest::dataOf(rig.cs1x().editBuffer()));
        shown = kwtest::dataOf(rig.image.edit);
        modifiedShown = rig.state.modified;
        rig.tap->onFetched = [this] {
            const Bytes now = kwtest::dataOf(rig.image.edit);
            EXPECT_EQ(wholes.count(now), 1u) << "a performance shown as fetched that the synth never held whole";
            shown = now;
            modifiedShown = rig.state.modified;
        };
    }

    // A run begins: what the user is told from here on is its own.
    void startRun()
    {
        boxesFrom = rig.dialogs.boxes.size();
        answersFrom = rig.dialogs.answers.size();
        rig.tap->statuses.clear();
    }
    // The results the run under way showed in a box (one, for a transfer
    // that showed its progress or did not succeed).
    std::vector<std::string> answersOfRun() const
    {
        return {rig.dialogs.answers.begin() + long(answersFrom), rig.dialogs.answers.end()};
    }
    kw::SynthFaults randomFaults(const SoakTask& task)
    {
        kw::SynthFaults f;
        f.seed = dice.next();
        const double scale = task.faultScale;
        if (dice.chance() < 0.5)
            f.drop = 0.2 * scale * dice.chance();
        if (dice.chance() < 0.4)
            f.lateMs = dice.below(task.lateWithinMs);
        if (dice.chance() < 0.5)
            f.wrongLength = 0.15 * scale * dice.chance();
        if (dice.chance() < 0.5)
            f.badChecksum = 0.15 * scale * dice.chance();
        if (dice.chance() < 0.5)
            f.unsolicited = 0.4 * scale * dice.chance();
        if (dice.chance() < task.vanishChance)
            f.vanishAfter = 1 + dice.below(task.vanishWithin);
        return f;
    }
};

} // namespace kwsoak
