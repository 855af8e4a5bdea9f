// The editor against a synth that misbehaves on purpose: replies lost, late,
// cut or padded, with bad checksums, messages nobody asked for (a performance
// picked on the synth's panel among them), a synth that vanishes. The user
// fetches performances, backs up all 128 into a bank and sends banks of 128
// into the synth (transfer_tasks.cpp). Each task runs under faults of its
// own, drawn from one seed (KW_SOAK_SEED replays a run), in virtual time.
// After every one: nothing crashed, no chain is left running, the window
// takes input, no performance was shown that the synth never held whole, a
// task that reports success did what it says, and one that did not told the
// user. A task that did not succeed is followed by the same without faults,
// which must succeed: the editor always recovers.

#include "Soak.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace kw;
using namespace kwsoak;

namespace kwsoak {

SoakTask fetchTask(int count)
{
    SoakTask t;
    t.name = "fetch";
    t.count = count;
    t.run = [](Soak& s, bool) {
        const int pp = s.dice.below(kUserPerformances);
        s.rig.tap->last = kwtest::UiTap::Fetch::None;
        const int reportsBefore = s.rig.tap->notFetched;
        if (s.dice.below(2) == 0)
            s.rig.clickUserPerf(pp);
        else
            s.rig.synth->cable().sendOwn(s.rig.cs1x().selectOnPanel(pp));
        EXPECT_TRUE(s.rig.settle()) << "still running after two minutes";
        if (s.rig.tap->last == kwtest::UiTap::Fetch::Fetched)
            return Outcome::Succeeded;
        // A program change from a synth that has vanished never comes.
        return s.rig.tap->notFetched > reportsBefore ? Outcome::FailedAndReported : Outcome::NotStarted;
    };
    t.check = [](Soak& s, Outcome outcome) {
        if (outcome == Outcome::Succeeded) {
            EXPECT_EQ(kwtest::dataOf(s.rig.image.edit), kwtest::dataOf(s.rig.cs1x().editBuffer()))
                << "a fetch reported success but the image is not the synth's edit buffer";
            EXPECT_FALSE(s.rig.state.modified);
        }
    };
    return t;
}

} // namespace kwsoak

namespace {

// Everything the soak runs, with how often.
std::vector<SoakTask> soakTasks()
{
    return {fetchTask(200), backupTask(20), bankSendTask(20)};
}

uint64_t soakSeed()
{
    const char* env = std::getenv("KW_SOAK_SEED");
    return env && *env ? std::strtoull(env, nullptr, 10) : 14;
}

struct Tally {
    int runs = 0;
    int succeeded = 0;
    int failedAndReported = 0;
    int cancelled = 0;
    int notStarted = 0;
    int recovered = 0;
    FaultCounts faults;  // what the synth did during these runs and their recoveries
};

// `into` += what happened between `before` and `after`.
void addFaults(FaultCounts& into, const FaultCounts& before, const FaultCounts& after)
{
    into.handled += after.handled - before.handled;
    into.replies += after.replies - before.replies;
    into.dropped += after.dropped - before.dropped;
    into.late += after.late - before.late;
    into.wrongLength += after.wrongLength - before.wrongLength;
    into.badChecksum += after.badChecksum - before.badChecksum;
    into.unsolicited += after.unsolicited - before.unsolicited;
    into.ignored += after.ignored - before.ignored;
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
        const SynthFaults faults = soak.randomFaults(task);
        SCOPED_TRACE("KW_SOAK_SEED=" + std::to_string(seed) + ", step " + std::to_string(n) + ": " + task.name
                     + " with faults seeded " + std::to_string(faults.seed));
        const FaultCounts countsBefore = rig.synth->cable().counts();
        rig.synth->setFaults(faults);
        const Outcome outcome = task.run(soak, false);
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
        task.check(soak, outcome);
        switch (outcome) {
        case Outcome::Succeeded: ++tally.succeeded; break;
        case Outcome::FailedAndReported: ++tally.failedAndReported; break;
        case Outcome::Cancelled: ++tally.cancelled; break;
        case Outcome::NotStarted: ++tally.notStarted; break;
        case Outcome::Unreported: ADD_FAILURE() << "a " << task.name << " did not succeed and nobody was told"; break;
        }
        if (outcome != Outcome::Succeeded) {
            // Recovery: the same once more with a well-behaved synth succeeds.
            const Outcome again = task.run(soak, true);
            EXPECT_EQ(again, Outcome::Succeeded) << "no recovery after a failed " << task.name;
            task.check(soak, again);
            EXPECT_TRUE(rig.usable());
            if (again == Outcome::Succeeded)
                ++tally.recovered;
        }
        addFaults(tally.faults, countsBefore, rig.synth->cable().counts());
        if (::testing::Test::HasFatalFailure())
            return;
    }

    for (size_t t = 0; t < tasks.size(); ++t) {
        const Tally& y = tallies[t];
        std::printf("soak (KW_SOAK_SEED=%llu): %d %s: %d succeeded, %d stopped and reported, %d cancelled, %d never "
                    "reached the synth; %d of %d recovered\n  faults meanwhile: %s\n",
                    static_cast<unsigned long long>(seed), y.runs, tasks[t].name.c_str(), y.succeeded,
                    y.failedAndReported, y.cancelled, y.notStarted, y.recovered, y.runs - y.succeeded,
                    y.faults.text().c_str());
        if (tasks[t].summary && !tasks[t].summary().empty())
            std::printf("  %s\n", tasks[t].summary().c_str());
        EXPECT_EQ(y.runs, tasks[t].count);
        EXPECT_EQ(y.recovered, y.runs - y.succeeded);
    }
    const FaultCounts& c = rig.synth->cable().counts();
    std::printf("soak faults: %s\n", c.text().c_str());
    // The faults really happened, each kind of them.
    EXPECT_GT(c.dropped, 0);
    EXPECT_GT(c.late, 0);
    EXPECT_GT(c.wrongLength, 0);
    EXPECT_GT(c.badChecksum, 0);
    EXPECT_GT(c.unsolicited, 0);
    EXPECT_GT(c.ignored, 0);
}
