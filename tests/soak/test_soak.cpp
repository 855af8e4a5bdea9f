// The editor against a synth that misbehaves on purpose: replies lost, late,
// cut or padded, with bad checksums, messages nobody asked for (a performance
// picked on the synth's panel among them), a synth that vanishes. Each task
// runs under faults of its own, drawn from one seed (KW_SOAK_SEED replays a
// run), in virtual time. After every one: nothing crashed, no chain is left
// running, the window takes input, no performance was shown that the synth
// never held whole, and a fetch that reports success shows exactly what the
// synth holds. A task that failed is followed by one without faults, which
// must succeed: the editor always recovers.

#include "SynthRig.h"
#include "midi/Messages.h"
#include "model/UserPerfList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

using namespace kw;

namespace {

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

struct Soak;

// One kind of thing the soak does again and again under faults. New kinds
// (a full backup, a bank sent to the synth) go into soakTasks() below; the
// rules every task keeps are checked by the loop. A task that changes the
// synth's user memory calls Soak::learnMemory() once it is done, so that
// the performances it stored count as whole ones.
struct SoakTask {
    std::string name;
    int count = 0;
    // Starts one under the faults already set and lets it run out; true when
    // it reported success.
    std::function<bool(Soak&)> run;
    // What must hold after it besides the common rules.
    std::function<void(Soak&, bool succeeded)> check;
};

struct Tally {
    int runs = 0;
    int succeeded = 0;
    int failedAndReported = 0;
    int notStarted = 0;  // the synth vanished before it could even be asked
    int recovered = 0;
};

struct Soak {
    kwtest::SynthRig rig;
    Dice dice;
    // Everything the synth's edit buffer can hold in this soak: the data of
    // each user performance as a whole, and the start-up buffer.
    std::set<Bytes> wholes;
    // What the window shows since the last fetch that succeeded (or since the start).
    Bytes shown;
    bool modifiedShown = false;

    explicit Soak(uint64_t seed) : dice(seed)
    {
        // Every block of every user performance its own data, so a
        // performance pieced together from two would show.
        Dice data(seed ^ 0x5EED);
        for (int pp = 0; pp < kUserPerformances; ++pp) {
            for (int i = 0; i < kBlocksPerPerformance; ++i) {
                BulkBlock b(BlockKind(kBlocksPerPerformance + i));
                for (size_t k = 0; k < b.dataLength(); ++k)
                    b.data(k) = uint8_t(data.below(128));
                rig.cs1x().handle(b.outgoing(pp));
            }
        }
        learnMemory();
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

    // Every user performance the synth holds now, as its edit buffer holds
    // it once picked, counts as a whole performance.
    void learnMemory()
    {
        for (int pp = 0; pp < kUserPerformances; ++pp) {
            BlockSet edit(false);
            PerformanceImage::userToEdit(rig.cs1x().user(pp), edit);
            wholes.insert(kwtest::dataOf(edit));
        }
    }

    SynthFaults randomFaults()
    {
        SynthFaults f;
        f.seed = dice.next();
        if (dice.chance() < 0.5)
            f.drop = 0.2 * dice.chance();
        if (dice.chance() < 0.4)
            f.lateMs = dice.below(1600);  // now and then beyond the request time-out
        if (dice.chance() < 0.5)
            f.wrongLength = 0.15 * dice.chance();
        if (dice.chance() < 0.5)
            f.badChecksum = 0.15 * dice.chance();
        if (dice.chance() < 0.5)
            f.unsolicited = 0.4 * dice.chance();
        if (dice.chance() < 0.06)
            f.vanishAfter = 1 + dice.below(10);
        return f;
    }
};

SoakTask fetchTask(int count)
{
    SoakTask t;
    t.name = "fetch";
    t.count = count;
    t.run = [](Soak& s) {
        const int pp = s.dice.below(kUserPerformances);
        s.rig.tap->last = kwtest::UiTap::Fetch::None;
        if (s.dice.below(2) == 0)
            s.rig.clickUserPerf(pp);
        else
            s.rig.synth->cable().sendOwn(s.rig.cs1x().selectOnPanel(pp));
        EXPECT_TRUE(s.rig.settle()) << "still running after two minutes";
        return s.rig.tap->last == kwtest::UiTap::Fetch::Fetched;
    };
    t.check = [](Soak& s, bool succeeded) {
        if (succeeded) {
            EXPECT_EQ(kwtest::dataOf(s.rig.image.edit), kwtest::dataOf(s.rig.cs1x().editBuffer()))
                << "a fetch reported success but the image is not the synth's edit buffer";
            EXPECT_FALSE(s.rig.state.modified);
        }
    };
    return t;
}

// Everything the soak runs, with how often.
std::vector<SoakTask> soakTasks()
{
    return {fetchTask(200)};
}

uint64_t soakSeed()
{
    const char* env = std::getenv("KW_SOAK_SEED");
    return env && *env ? std::strtoull(env, nullptr, 10) : 14;
}

} // namespace

TEST(Soak, EveryTaskUnderRandomFaultsEndsCleanlyAndTheEditorAlwaysRecovers)
{
    const uint64_t seed = soakSeed();
    Soak soak(seed);
    kwtest::SynthRig& rig = soak.rig;
    ASSERT_TRUE(rig.usable());

    std::vector<SoakTask> tasks = soakTasks();
    std::vector<size_t> order;
    for (size_t t = 0; t < tasks.size(); ++t)
        order.insert(order.end(), size_t(tasks[t].count), t);
    for (size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[size_t(soak.dice.below(int(i)))]);

    std::vector<Tally> tallies(tasks.size());
    for (size_t n = 0; n < order.size(); ++n) {
        SoakTask& task = tasks[order[n]];
        Tally& tally = tallies[order[n]];
        const SynthFaults faults = soak.randomFaults();
        SCOPED_TRACE("KW_SOAK_SEED=" + std::to_string(seed) + ", step " + std::to_string(n) + ": " + task.name
                     + " with faults seeded " + std::to_string(faults.seed));
        rig.synth->setFaults(faults);
        const int reportsBefore = rig.tap->notFetched;
        const bool succeeded = task.run(soak);
        // The synth behaves again; whatever it still had to say arrives.
        rig.synth->setFaults({});
        rig.synth->cable().revive();
        ASSERT_TRUE(rig.settle());

        ++tally.runs;
        ASSERT_FALSE(rig.chainRunning());
        EXPECT_TRUE(rig.usable()) << "the window does not take input after the task";
        EXPECT_EQ(rig.busyWithoutChain, 0) << "the window refused input while no chain ran";
        EXPECT_EQ(soak.wholes.count(kwtest::dataOf(rig.image.edit)), 1u) << "the window shows a mixed performance";
        EXPECT_EQ(kwtest::dataOf(rig.image.edit), soak.shown) << "the image changed without a fetch";
        EXPECT_EQ(rig.state.modified, soak.modifiedShown) << "the modified flag changed without a fetch";
        task.check(soak, succeeded);
        if (succeeded) {
            ++tally.succeeded;
            continue;
        }
        if (rig.tap->notFetched > reportsBefore)
            ++tally.failedAndReported;
        else
            ++tally.notStarted;

        // Recovery: the same task with a well-behaved synth succeeds.
        rig.tap->last = kwtest::UiTap::Fetch::None;
        const bool again = task.run(soak);
        EXPECT_TRUE(again) << "no recovery after a failed " << task.name;
        task.check(soak, again);
        EXPECT_TRUE(rig.usable());
        if (again)
            ++tally.recovered;
        if (::testing::Test::HasFatalFailure())
            return;
    }

    const FaultCounts& c = rig.synth->cable().counts();
    for (size_t t = 0; t < tasks.size(); ++t) {
        const Tally& y = tallies[t];
        std::printf("soak (KW_SOAK_SEED=%llu): %d %s: %d succeeded, %d stopped and reported, %d never reached the "
                    "synth; %d of %d recovered\n",
                    static_cast<unsigned long long>(seed), y.runs, tasks[t].name.c_str(), y.succeeded,
                    y.failedAndReported, y.notStarted, y.recovered, y.runs - y.succeeded);
        EXPECT_EQ(y.runs, tasks[t].count);
        EXPECT_EQ(y.recovered, y.runs - y.succeeded);
    }
    std::printf("soak faults: %s\n", c.text().c_str());
    // The faults really happened, each kind of them.
    EXPECT_GT(c.dropped, 0);
    EXPECT_GT(c.late, 0);
    EXPECT_GT(c.wrongLength, 0);
    EXPECT_GT(c.badChecksum, 0);
    EXPECT_GT(c.unsolicited, 0);
    EXPECT_GT(c.ignored, 0);
}
