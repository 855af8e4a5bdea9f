// Finding the ports a CS1x is cabled to, over a patch bay of fake devices in
// virtual time: which pair is found, what is asked, and that nothing the
// search opened stays open.

#include "midi/Messages.h"
#include "midi/MidiPorts.h"
#include "midi/Senders.h"
#include "midi/SynthSearch.h"
#include "support/PatchBay.h"
#include "support/RecordingPort.h"

#include <gtest/gtest.h>

using namespace kw;
using kwtest::PatchBay;

namespace {

const Bytes kIdentityRequest(std::begin(msg::kIdentityRequest), std::end(msg::kIdentityRequest));

// Another Yamaha instrument: same manufacturer, another family.
std::vector<Bytes> otherSynth(ByteView m)
{
    if (Bytes(m.begin(), m.end()) != kIdentityRequest)
        return {};
    return {kwtest::bytes("F0 7E 00 06 02 43 00 42 0F 05 00 00 00 01 F7")};
}

struct Search : ::testing::Test {
    kwtest::VirtualScheduler clock;
    Settings settings;
    PatchBay* bay = nullptr;
    PatchBay* hidden = nullptr;  // a backend that is not searched
    std::unique_ptr<MidiPorts> ports;
    std::unique_ptr<SynthSearch> search;
    std::optional<std::optional<SynthSearch::Found>> result;
    long long doneAt = -1;
    std::vector<std::string> progress;

    void make(std::vector<std::string> ins, std::vector<std::string> outs)
    {
        std::vector<std::unique_ptr<MidiBackend>> list;
        auto b = std::make_unique<PatchBay>(clock, std::move(ins), std::move(outs));
        bay = b.get();
        list.push_back(std::move(b));
        auto h = std::make_unique<PatchBay>(clock, std::vector<std::string>{"Virtual CS1x"},
                                            std::vector<std::string>{"Virtual CS1x"});
        hidden = h.get();
        hidden->searchable_ = false;
        hidden->cableSynth("Virtual CS1x", "Virtual CS1x");
        list.push_back(std::move(h));
        ports = std::make_unique<MidiPorts>(settings, std::move(list), PortHooks{},
                                            [this](std::function<void()> fn) { clock.after(0, std::move(fn)); });
        search = std::make_unique<SynthSearch>(*ports, clock);
    }
    void run()
    {
        const long long from = clock.now();
        search->start({[this](const std::string& t) { progress.push_back(t); },
                       [this, from](const std::optional<SynthSearch::Found>& f) {
                           result = f;
                           doneAt = clock.now() - from;
                       }});
        clock.advance(10000);
    }
};

struct Case {
    const char* what;
    std::function<void(PatchBay&)> cable;
    std::optional<SynthSearch::Found> found;
};

} // namespace

TEST_F(Search, FindsThePairThatAnswersAsACs1xAmongOtherDevices)
{
    const std::vector<std::string> ins = {"Keyboard:MIDI 1", "Other:MIDI 1", "Interface:In A", "UM-ONE:MIDI 1"};
    const std::vector<std::string> outs = {"Keyboard:MIDI 1", "Other:MIDI 1", "Interface:Out B", "UM-ONE:MIDI 1"};
    const Case cases[] = {
        {"a CS1x on both ports of one interface",
         [](PatchBay& b) {
             b.cable("Other:MIDI 1", "Other:MIDI 1", otherSynth);
             b.cableSynth("UM-ONE:MIDI 1", "UM-ONE:MIDI 1");
         },
         SynthSearch::Found{"UM-ONE:MIDI 1", "UM-ONE:MIDI 1"}},
        {"a CS1x that answers on one port of a device and listens on another",
         [](PatchBay& b) { b.cableSynth("Interface:Out B", "Interface:In A"); },
         SynthSearch::Found{"Interface:In A", "Interface:Out B"}},
        {"a CS1x on ports of two devices",
         [](PatchBay& b) { b.cableSynth("Keyboard:MIDI 1", "UM-ONE:MIDI 1"); },
         SynthSearch::Found{"UM-ONE:MIDI 1", "Keyboard:MIDI 1"}},
        {"a CS1x that misses the first question (a connection not yet in place)",
         [](PatchBay& b) {
             auto synth = std::make_shared<VirtualCs1x>();
             auto asked = std::make_shared<int>(0);
             b.cable("UM-ONE:MIDI 1", "UM-ONE:MIDI 1", [synth, asked](ByteView m) {
                 return ++*asked == 1 ? std::vector<Bytes>{} : synth->handle(m);
             });
         },
         SynthSearch::Found{"UM-ONE:MIDI 1", "UM-ONE:MIDI 1"}},
        {"only another instrument answers", [](PatchBay& b) { b.cable("Other:MIDI 1", "Other:MIDI 1", otherSynth); },
         std::nullopt},
        {"nothing is cabled (the emulation is not searched)", [](PatchBay&) {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        make(ins, outs);
        c.cable(*bay);
        result.reset();
        progress.clear();
        run();
        ASSERT_TRUE(result.has_value()) << "never done";
        ASSERT_EQ(result->has_value(), c.found.has_value());
        if (c.found) {
            EXPECT_EQ((*result)->input, c.found->input);
            EXPECT_EQ((*result)->output, c.found->output);
        } else {
            // Every pair was asked (twice) and given its time.
            EXPECT_EQ(doneAt, long(ins.size() * outs.size()) * SynthSearch::kPairMs);
            EXPECT_EQ(bay->sent.size(), 2 * ins.size() * outs.size());
        }
        for (const auto& [port, m] : bay->sent)
            EXPECT_EQ(m, kIdentityRequest) << "the search asks, and sends nothing else";
        EXPECT_TRUE(hidden->sent.empty()) << "the emulation is chosen by name only";
        EXPECT_EQ(bay->openInputs(), 0);
        EXPECT_EQ(bay->openOutputs(), 0);
        EXPECT_EQ(bay->mostInputs(), 1) << "one port of each direction at a time";
        EXPECT_EQ(bay->mostOutputs(), 1);
        EXPECT_FALSE(search->running());
        // The likeliest pairs (one name for both) come first.
        EXPECT_EQ(progress.front(), "Asking Keyboard:MIDI 1 (1 of 16)...");
    }
}

TEST_F(Search, TheUsersPortsStayAsTheyAreAndAStoppedSearchClosesWhatItOpened)
{
    settings.midiIn = settings.midiOut = "Keyboard:MIDI 1";
    make({"Keyboard:MIDI 1", "UM-ONE:MIDI 1"}, {"Keyboard:MIDI 1", "UM-ONE:MIDI 1"});
    bay->cableSynth("UM-ONE:MIDI 1", "UM-ONE:MIDI 1");
    PerformanceImage img;
    EditorState st;
    Senders senders(img, st, ports->output());
    ASSERT_TRUE(ports->deviceCheck(senders));
    ASSERT_TRUE(ports->inputOpen() && ports->outputOpen());
    bay->sent.clear();

    // Stopped while it asks: everything it opened closes, and it never says done.
    search->start({{}, [this](const std::optional<SynthSearch::Found>& f) { result = f; }});
    clock.advance(SynthSearch::kSettleMs + 1);
    EXPECT_EQ(bay->openInputs(), 2);
    search->stop();
    EXPECT_EQ(bay->openInputs(), 1);
    EXPECT_EQ(bay->openOutputs(), 1);
    clock.advance(5000);
    EXPECT_FALSE(result.has_value());

    run();
    ASSERT_TRUE(result && *result);
    EXPECT_EQ((*result)->output, "UM-ONE:MIDI 1");
    EXPECT_EQ(bay->openInputs(), 1);
    EXPECT_EQ(bay->openOutputs(), 1);
    EXPECT_TRUE(ports->inputWorking() && ports->outputWorking());
    EXPECT_EQ(settings.midiOut, "Keyboard:MIDI 1");
}

TEST(SearchTexts, ACs1xIsKnownByItsManufacturerAndFamily)
{
    EXPECT_TRUE(SynthSearch::isCs1xIdentity(ByteView(msg::kIdentityReply, sizeof msg::kIdentityReply)));
    EXPECT_TRUE(SynthSearch::isCs1xIdentity(kwtest::bytes("F0 7E 10 06 02 43 00 41 11 22 00 00 00 02 F7")));
    for (const char* other : {"F0 7E 00 06 02 43 00 42 0F 05 00 00 00 01 F7", "F0 7E 00 06 02 41 00 41 0F 05 00 00 00 01 F7",
                              "F0 7E 00 06 02 43 00 41 0F 05 00 00 00 01", "F0 7E 00 06 01 F7"})
        EXPECT_FALSE(SynthSearch::isCs1xIdentity(kwtest::bytes(other))) << other;
    EXPECT_EQ(SynthSearch::portText({"A:1", "A:1"}), "A:1");
    EXPECT_EQ(SynthSearch::portText({"A:in", "B:out"}), "A:in and B:out");
}
