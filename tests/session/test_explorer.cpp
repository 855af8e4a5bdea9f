// Mutate, morph and breed on the edit: one step each, only what changed
// goes out, an undo gives the synth back its edit buffer byte for byte, and
// a morph drag never builds a backlog on the wire.
#include "SessionFixture.h"
#include "midi/VirtualBackend.h"
#include "session/Explorer.h"
#include "support/RandomSounds.h"

#include <gtest/gtest.h>

#include <random>

using namespace kw;

namespace {

struct ExplorerTest : kwtest::SessionFixture {
    Explorer explorer{session, clock, 35};

    ExplorerTest()
    {
        // A performance the synth holds, fetched: noise and all.
        synth.fillMemory(35);
        session.chooseUserPerf(12);
        runAll();
        synth.clear();
        synth.sentAt.clear();
    }
    static Bytes data(const BlockSet& set) { return editData(set); }
    Bytes synthData() const { return editData(synth.synth.editBuffer()); }
    std::vector<PerformanceImage> sounds(unsigned seed, int n) const
    {
        std::mt19937 rng(seed);
        std::vector<PerformanceImage> out;
        for (int i = 0; i < n; ++i)
            out.push_back(kwtest::randomSound(rng));
        return out;
    }
    // The edit block and data offset a parameter change addresses.
    static std::pair<int, int> target(const Bytes& m)
    {
        const int mid = m[5], low = m[6];
        if (mid > 0)
            return {2 + mid, low};
        return low >= 0x50 ? std::pair{2, low - 0x50} : low >= 0x30 ? std::pair{1, low - 0x30} : std::pair{0, low};
    }
};

} // namespace

// Ctrl+M on a fetched performance: the messages name only bytes that
// changed, the synth then holds the image, and one undo gives it back what
// it held, byte for byte.
TEST_F(ExplorerTest, MutateSendsOnlyWhatChangedAndOneUndoRestoresTheSynth)
{
    explorer.options().choices = true;
    explorer.options().strength = 40;
    for (int round = 0; round < 20; ++round) {
        const Bytes before = data(img.edit), synthBefore = synthData();
        ASSERT_EQ(before, synthBefore);
        const BlockSet was = img.edit;
        const size_t steps = session.historySize(), first = synth.sent.size();
        const size_t bytes = explorer.mutate();
        ASSERT_NE(data(img.edit), before);
        EXPECT_EQ(session.historySize(), steps + 1);
        EXPECT_EQ(session.undoText(), "Mutate");
        size_t counted = 0;
        for (size_t i = first; i < synth.sent.size(); ++i) {
            const Bytes& m = synth.sent[i];
            counted += m.size();
            if (m[2] != 0x10)
                continue;  // a block: its parameters changed (a bank, a detune, a variation type)
            const auto [block, offset] = target(m);
            bool differs = false;
            for (size_t k = 0; k + 8 < m.size(); ++k)
                differs |= was.at(block).data(size_t(offset) + k) != img.edit.at(block).data(size_t(offset) + k);
            EXPECT_TRUE(differs) << "sent without a change: " << kwtest::hex(m);
        }
        EXPECT_EQ(counted, bytes);
        EXPECT_EQ(synthData(), data(img.edit));
        session.undo();
        EXPECT_EQ(data(img.edit), before);
        EXPECT_EQ(synthData(), synthBefore);
        session.redo();
        EXPECT_EQ(synthData(), data(img.edit));
    }
}

// Random operations of all three tools with random locks, on the synth:
// each one exactly one step (or none, for candidates given back), whose undo
// puts image and synth back byte for byte and whose redo does it again.
TEST_F(ExplorerTest, EveryOperationIsOneStepThatUndoesByteForByte)
{
    const std::vector<PerformanceImage> partners = sounds(5, 16);
    std::mt19937 rng(77);
    const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    for (int op = 0; op < 20000; ++op) {
        SCOPED_TRACE(op);
        explorer.options() = {.locks = explore::Locks(pick(128)), .choices = pick(2) == 1, .strength = 1 + pick(100)};
        if (op % 5000 == 0)
            session.startNewHistory();  // below the history's limit, where old steps are forgotten
        if (pick(20) == 0)
            session.mute(1 + pick(4), pick(2) == 1);
        session.endGesture();
        const Bytes before = data(img.edit);
        const auto mute = st.mute;
        const size_t steps = session.historySize();
        bool givenBack = false;
        switch (pick(3)) {
        case 0: explorer.mutate(); break;
        case 1:
            explorer.setPartner(partners[size_t(pick(16))], "B");
            for (int moves = 1 + pick(12); moves > 0; --moves) {
                explorer.morphTo(pick(101));
                clock.advanceMicros(pick(4000));
            }
            explorer.morphReleased();
            break;
        default: {
            std::vector<PerformanceImage> parents;
            for (int n = 2 + pick(7); n > 0; --n)
                parents.push_back(partners[size_t(pick(16))]);
            explorer.setParents(parents);
            explorer.breed();
            for (int tries = 1 + pick(3); tries > 0; --tries)
                explorer.tryCandidate(pick(Explorer::kCandidates));
            givenBack = pick(3) == 0;
            givenBack ? explorer.giveBack() : explorer.keep();
        }
        }
        runAll();
        ASSERT_EQ(synthData(), data(img.edit));
        if (givenBack || data(img.edit) == before) {
            ASSERT_EQ(data(img.edit), before);
            ASSERT_EQ(session.historySize(), steps);
            continue;
        }
        ASSERT_EQ(session.historySize(), steps + 1);
        const Bytes after = data(img.edit);
        for (int l = 0; l < 4; ++l) {
            ASSERT_EQ(st.mute[size_t(l)].muted, mute[size_t(l)].muted);
            if (mute[size_t(l)].muted) {
                ASSERT_EQ(img.edit.layer(l + 1).data(0x07), 0) << "a muted layer stays silent";
            }
        }
        session.undo();
        ASSERT_EQ(data(img.edit), before);
        ASSERT_EQ(synthData(), before);
        session.redo();
        ASSERT_EQ(data(img.edit), after);
        ASSERT_EQ(synthData(), after);
    }
}

// A drag faster than the wire: the first position goes out at once, the
// ones that come while it is on the wire wait and only the newest follows;
// the release makes the whole drag one step back to where it began.
TEST_F(ExplorerTest, MorphDragIsPacedToTheWireAndOneStep)
{
    const PerformanceImage b = sounds(9, 1)[0];
    const Bytes a = data(img.edit);
    explorer.setPartner(b, "B");
    explorer.morphTo(1);
    const size_t afterFirst = synth.sent.size();
    ASSERT_GT(afterFirst, 0u);
    for (int p = 2; p <= 100; ++p)
        explorer.morphTo(p);  // no time passes: the wire is still busy
    EXPECT_EQ(synth.sent.size(), afterFirst);
    explorer.morphReleased();
    long long wire = 0;
    for (const Bytes& m : synth.sent)
        wire += kw::midiWireTime(m.size()).count();
    clock.advanceMicros(wire);
    EXPECT_GT(synth.sent.size(), afterFirst) << "the newest position followed";
    runAll();
    EXPECT_EQ(session.historySize(), 1u);
    EXPECT_EQ(session.undoText(), "Morph");
    for (const Parameter& p : performanceParameters())
        if (p.key == "layer1.lfo.wave" && explore::mayChange(p, session.image(), 0)) {
            EXPECT_EQ(p.value(img), p.value(b)) << "at 100 % the choices are B's";
        }
    session.undo();
    EXPECT_EQ(data(img.edit), a);
    EXPECT_EQ(synthData(), a);
}

// Trying candidates is one step until one is kept; giving back leaves no
// step and the edit as it was.
TEST_F(ExplorerTest, CandidatesTriedAreOneStepKeptOrGivenBack)
{
    const Bytes a = data(img.edit);
    explorer.setParents(sounds(3, 3));
    explorer.breed();
    ASSERT_EQ(explorer.candidates().size(), size_t(Explorer::kCandidates));
    explorer.tryCandidate(0);
    explorer.tryCandidate(5);
    explorer.tryCandidate(2);
    EXPECT_EQ(session.historySize(), 1u);
    explorer.giveBack();
    EXPECT_EQ(data(img.edit), a);
    EXPECT_EQ(synthData(), a);
    EXPECT_EQ(session.historySize(), 0u);

    explorer.tryCandidate(4);
    explorer.tryCandidate(7);
    explorer.keep();
    const Bytes kept = data(img.edit);
    EXPECT_EQ(session.historySize(), 1u);
    EXPECT_EQ(session.undoText(), "Bred Sound");
    explorer.breedAgain({7, 1});  // a kept candidate stays
    EXPECT_EQ(data(img.edit), kept);
    EXPECT_EQ(explorer.parentCount(), 2u);
    session.undo();
    EXPECT_EQ(data(img.edit), a);
    EXPECT_EQ(synthData(), a);
}
