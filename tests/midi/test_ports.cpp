// The port layer over fake device lists: which device opens, what the user
// is told, and what reaches the UI thread.

#include "midi/MidiPorts.h"
#include "midi/Senders.h"
#include "support/FakeBackend.h"
#include "support/RecordingPort.h"
#include "support/VirtualScheduler.h"

#include <gtest/gtest.h>

using namespace kw;
using kwtest::FakeBackend;
using kwtest::hex;

namespace {

struct PortsTest : ::testing::Test {
    Settings settings;
    FakeBackend::Log log;
    FakeBackend* fake = nullptr;
    kwtest::VirtualScheduler sched;
    std::vector<std::string> boxes, statuses;
    std::vector<Bytes> received;
    std::unique_ptr<MidiPorts> ports;
    PerformanceImage img;
    EditorState st;
    std::unique_ptr<Senders> senders;

    void make(std::vector<std::string> ins, std::vector<std::string> outs)
    {
        auto b = std::make_unique<FakeBackend>(std::move(ins), std::move(outs), log);
        fake = b.get();
        std::vector<std::unique_ptr<MidiBackend>> list;
        list.push_back(std::move(b));
        ports = std::make_unique<MidiPorts>(
            settings, std::move(list),
            PortHooks{[this](const std::string& t) { boxes.push_back(t); },
                      [this](const std::string& t) { statuses.push_back(t); }},
            [this](std::function<void()> fn) { sched.after(0, std::move(fn)); });
        ports->setInputSink([this](const Bytes& m) { received.push_back(m); });
        senders = std::make_unique<Senders>(img, st, ports->output());
    }
    void feed(const std::string& hexText)
    {
        const Bytes b = kwtest::bytes(hexText);
        log.input(b);
    }
};

} // namespace

TEST_F(PortsTest, NoOutputDeviceTellsTheUserAndOpensNothing)
{
    settings.midiIn = "CS1x In";
    make({"CS1x In"}, {});
    EXPECT_FALSE(ports->deviceCheck(*senders));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "You should have at least ONE MIDI-Device in your Computer I think!");
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(log.sent.empty());
    EXPECT_FALSE(ports->inputOpen());
}

TEST_F(PortsTest, NamesThatMatchNothingFillTheListsButOpenAndSendNothing)
{
    settings.midiIn = "Gone";
    settings.midiOut = "Gone too";
    make({"A in", "B in"}, {"A out", "B out", "C out"});
    EXPECT_TRUE(ports->deviceCheck(*senders));
    EXPECT_EQ(ports->inputNames(), (std::vector<std::string>{"A in", "B in"}));
    EXPECT_EQ(ports->outputNames().size(), 3u);
    EXPECT_EQ(ports->configuredInput(), -1);
    EXPECT_EQ(ports->configuredOutput(), -1);
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(log.sent.empty());
    EXPECT_FALSE(st.modified);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PortsTest, MatchingIsExactAndTheLastOfEqualNamesStaysOpen)
{
    settings.midiIn = "cs1x";       // differs in case only
    settings.midiOut = "CS1x";
    make({"CS1x"}, {"CS1x", "Other", "CS1x"});
    ASSERT_TRUE(ports->deviceCheck(*senders));
    EXPECT_FALSE(ports->inputOpen());
    EXPECT_EQ(ports->configuredInput(), -1);
    EXPECT_TRUE(ports->outputOpen());
    EXPECT_EQ(ports->configuredOutput(), 2);
    EXPECT_EQ(log.events, (std::vector<std::string>{"open out CS1x#0", "close out CS1x#0", "open out CS1x#1"}));
    // The greeting goes out through the port that stayed open.
    ASSERT_EQ(log.sent.size(), 2u);
    EXPECT_EQ(hex(log.sent[0]), "F0 43 10 4B 50 00 06 03 F7");
    EXPECT_EQ(hex(log.sent[1]), "F0 7E 00 06 01 F7");
    EXPECT_TRUE(senders->pending() == Request::identity());
}

TEST_F(PortsTest, OpenAndCloseFailuresAreReportedWithTheirCode)
{
    settings.midiIn = "In";
    settings.midiOut = "Out";
    make({"In", "In 2"}, {"Out", "Out 2"});
    ASSERT_TRUE(ports->deviceCheck(*senders));
    ASSERT_TRUE(ports->inputOpen());
    ASSERT_TRUE(ports->outputOpen());

    // A failed open leaves the direction closed: the old port went first.
    fake->openOutResult = MidiResult::Allocated;
    ports->openOutput(1);
    EXPECT_FALSE(ports->outputOpen());
    EXPECT_EQ(boxes.back(), "Unable to open MIDI-OUT-Device <Out> : 4");
    EXPECT_EQ(ports->lastResult(), MidiResult::Allocated);
    EXPECT_EQ(senders->portOpen(), false);

    fake->openInResult = MidiResult::BadDeviceId;
    ports->openInput(1);
    EXPECT_FALSE(ports->inputOpen());
    EXPECT_EQ(boxes.back(), "Unable to open MIDI-IN-Device <In> : 2");

    // A port that will not close stays open and nothing new is tried.
    fake->openInResult = MidiResult::Ok;
    ports->openInput(0);
    ASSERT_TRUE(ports->inputOpen());
    fake->closeInResult = MidiResult::InvalidHandle;
    const size_t before = log.events.size();
    ports->openInput(1);
    EXPECT_TRUE(ports->inputOpen());
    EXPECT_EQ(boxes.back(), "Unable to close MIDI-IN-Device <In> : 5");
    EXPECT_EQ(log.events.size(), before + 1);  // the close attempt only
    EXPECT_FALSE(ports->closeInput());

    fake->openOutResult = MidiResult::Ok;
    ports->openOutput(0);
    fake->closeOutResult = MidiResult::InvalidHandle;
    EXPECT_FALSE(ports->closeOutput());
    EXPECT_EQ(boxes.back(), "Unable to close MIDI-Device <Out> : 5");
    EXPECT_TRUE(ports->outputOpen());
}

TEST_F(PortsTest, ClosedOutputSendsNothingThroughTheFacade)
{
    make({"In"}, {"Out"});
    ASSERT_TRUE(ports->deviceCheck(*senders));
    EXPECT_FALSE(ports->output().isOpen());
    EXPECT_EQ(ports->output().send(kwtest::bytes("F0 7E 00 06 01 F7")), MidiResult::InvalidHandle);
    ports->openOutput(0);
    senders->parameterChange(0x60, 0, 0x11, 5);
    ASSERT_EQ(log.sent.size(), 1u);
    ASSERT_TRUE(ports->closeOutput());
    senders->parameterChange(0x60, 0, 0x11, 6);
    EXPECT_EQ(log.sent.size(), 1u);
}

TEST_F(PortsTest, InputReachesTheSinkWholeInOrderAndOnlyFromTheOpenPort)
{
    settings.midiIn = "In";
    make({"In", "In 2"}, {"Out"});
    ASSERT_TRUE(ports->deviceCheck(*senders));
    ASSERT_TRUE(ports->inputOpen());

    feed("90 3C 64");
    feed("FE");                 // active sensing: never seen
    feed("F0 43 00 4B 00");     // a SysEx in three driver packets
    feed("09 60 00 50");
    EXPECT_TRUE(received.empty()) << "nothing is handled inside the driver's call";
    feed("01 02 03 04 05 06 07 08 09 30 F7");
    feed("C0 05");
    sched.runAll();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(hex(received[0]), "90 3C 64");
    EXPECT_EQ(received[1].size(), 20u);
    EXPECT_EQ(hex(received[2]), "C0 05");

    // Too long for the input buffer: dropped with a status text, and the
    // next message arrives intact.
    Bytes huge(9000, 0x11);
    huge.front() = 0xF0;
    huge.back() = 0xF7;
    log.input(huge);
    feed("B0 4A 40");
    sched.runAll();
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0], kSysExTooLongText);
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(hex(received[3]), "B0 4A 40");

    // What the old port queued before it closed is not dispatched.
    feed("90 40 40");
    ASSERT_TRUE(ports->closeInput());
    sched.runAll();
    EXPECT_EQ(received.size(), 4u);
}

TEST_F(PortsTest, RescanFindsDevicesAddedLaterWithoutClosingOpenPorts)
{
    settings.midiOut = "Out";
    make({"In"}, {"Out"});
    ASSERT_TRUE(ports->deviceCheck(*senders));
    ASSERT_TRUE(ports->outputOpen());
    settings.midiOut = "Nope";
    ports->rescan();
    EXPECT_EQ(ports->configuredOutput(), -1);
    EXPECT_TRUE(ports->outputOpen());
}

TEST_F(PortsTest, EveryTapSeesBothWaysInTheOrderTheEditorHandledThem)
{
    settings.midiIn = "In";
    settings.midiOut = "Out";
    make({"In"}, {"Out"});
    ASSERT_TRUE(ports->deviceCheck(*senders));  // the greeting goes out
    std::vector<std::string> first, second;
    const auto into = [](std::vector<std::string>& log) {
        return [&log](Direction d, ByteView m) { log.push_back((d == Direction::In ? "in " : "out ") + hex(m)); };
    };
    const int a = ports->addTap(into(first));
    ports->addTap(into(second));
    // What the input makes the editor send comes after that input.
    ports->setInputSink([this](const Bytes&) { ports->output().send(kwtest::bytes("C0 05")); });
    ports->output().send(kwtest::bytes("B0 4A 40"));
    feed("90 3C 64");
    sched.runAll();
    const std::vector<std::string> both = {"out B0 4A 40", "in 90 3C 64", "out C0 05"};
    EXPECT_EQ(first, both);
    EXPECT_EQ(second, both);
    ports->removeTap(a);
    ports->closeOutput();
    ports->output().send(kwtest::bytes("C0 06"));  // never went out: not seen
    feed("90 3E 64");
    sched.runAll();
    EXPECT_EQ(first.size(), 3u);
    EXPECT_EQ(second.back(), "in 90 3E 64");
    EXPECT_EQ(second.size(), 4u);
}
