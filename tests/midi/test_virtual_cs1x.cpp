// The virtual CS1x answers as the instrument does, and keeps its memory.

#include "support/RecordingPort.h"
#include "support/VirtualScheduler.h"
#include "midi/MidiPorts.h"
#include "midi/MidiSession.h"
#include "midi/RtMidiBackend.h"
#include "midi/Senders.h"
#include "midi/VirtualBackend.h"
#include "model/UserPerfList.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kw;
using kwtest::bytes;
using kwtest::hex;

namespace {

Bytes request(BlockKind k, int pp = 0) { return msg::dumpRequest(k, pp); }

// A well-formed bulk dump of `kind` with every data byte `fill`.
Bytes bulkOf(BlockKind kind, int pp, uint8_t fill)
{
    BulkBlock b(kind);
    for (size_t i = 0; i < b.dataLength(); ++i)
        b.data(i) = uint8_t((fill + i) & 0x7F);
    return b.outgoing(pp);
}

std::string nameOf(const BlockSet& s)
{
    const BulkBlock& c = s.at(0);
    return std::string(reinterpret_cast<const char*>(c.bytes() + 9), 8);
}

} // namespace

TEST(VirtualCs1x, AnswersIdentityAndEveryDumpRequestWithAWellFormedBlock)
{
    VirtualCs1x synth;
    auto r = synth.handle(msg::kIdentityRequest);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(hex(r[0]), "F0 7E 00 06 02 43 00 41 0F 05 00 00 00 01 F7");
    EXPECT_EQ(synth.handle(bytes("F0 7E 7F 06 01 F7")).size(), 1u);   // "all devices"
    EXPECT_TRUE(synth.handle(bytes("F0 7E 05 06 01 F7")).empty());    // another device

    for (int k = 0; k < kBlockKinds; ++k) {
        const BlockKind kind = BlockKind(k);
        const int pp = blockInfo(kind).userForm ? 93 : 0;
        r = synth.handle(request(kind, pp));
        ASSERT_EQ(r.size(), 1u) << k;
        const Bytes& m = r[0];
        ASSERT_EQ(m.size(), blockInfo(kind).length()) << k;
        const Bytes req = request(kind, pp);
        EXPECT_EQ(hex(ByteView(m).subspan(0, 4)), "F0 43 00 4B");
        EXPECT_EQ(m[5], blockInfo(kind).dataLength);
        EXPECT_EQ(hex(ByteView(m).subspan(6, 3)), hex(ByteView(req).subspan(4, 3))) << k;
        EXPECT_EQ(m[m.size() - 2], bulkChecksum(m)) << k;
        EXPECT_EQ(m.back(), 0xF7);
    }
    // Addresses the instrument does not have get no answer.
    EXPECT_TRUE(synth.handle(bytes("F0 43 20 4B 60 05 00 F7")).empty());
    EXPECT_TRUE(synth.handle(bytes("F0 43 20 4B 60 00 10 F7")).empty());
    EXPECT_TRUE(synth.handle(bytes("F0 43 21 4B 60 00 00 F7")).empty());  // device 2
}

TEST(VirtualCs1x, StartsWithTheBuiltInNamesAndTheDefaultPerformance)
{
    VirtualCs1x synth;
    const auto& names = builtInUserPerfs();
    for (int pp : {0, 1, 64, 127}) {
        EXPECT_EQ(nameOf(synth.user(pp)), std::string(names[size_t(pp)].name.data(), 8)) << pp;
        EXPECT_EQ(synth.user(pp).at(0).data(8), names[size_t(pp)].category) << pp;
        EXPECT_EQ(synth.user(pp).layer(2).data(0x0E), kDefaultLayer[0x0E]);
    }
    EXPECT_EQ(nameOf(synth.editBuffer()), "InitPerf");
}

TEST(VirtualCs1x, ParameterChangesAndBulkDumpsWriteTheAddressedMemory)
{
    VirtualCs1x synth;
    int changes = 0;
    synth.setOnChange([&] { ++changes; });
    synth.handle(bytes("F0 43 10 4B 60 03 13 22 F7"));        // layer 3 attack
    synth.handle(bytes("F0 43 10 4B 60 00 42 01 7F F7"));     // two bytes in common 30
    synth.handle(bytes("F0 43 10 4B 74 05 28 33 F7"));        // user 6, layer 4, last byte
    synth.handle(bytes("F0 43 10 4B 70 7F 45 11 F7"));        // user common 30 is shorter: ignored
    synth.handle(bytes("F0 43 10 4B 60 00 2E 11 F7"));        // gap between common 00 and 30
    synth.handle(bytes("F0 43 10 4B 50 00 06 03 F7"));        // start-up message: no memory
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(synth.editBuffer().layer(3).data(0x13), 0x22);
    EXPECT_EQ(synth.editBuffer().layer(2).data(0x13), kDefaultLayer[0x13]);
    EXPECT_EQ(synth.editBuffer().at(1).data(0x12), 0x01);
    EXPECT_EQ(synth.editBuffer().at(1).data(0x13), 0x7F);
    EXPECT_EQ(synth.user(5).layer(4).data(0x28), 0x33);

    // A whole user performance sent block by block comes back byte for byte.
    std::vector<Bytes> sent;
    for (int k = 7; k < 14; ++k)
        sent.push_back(bulkOf(BlockKind(k), 42, uint8_t(k * 3)));
    for (const Bytes& m : sent)
        synth.handle(m);
    for (int k = 7; k < 14; ++k)
        EXPECT_EQ(synth.handle(request(BlockKind(k), 42))[0], sent[size_t(k - 7)]) << k;

    // A damaged dump changes nothing.
    Bytes bad = bulkOf(BlockKind::UserLayer1, 42, 0x55);
    bad[20] ^= 1;
    const int before = changes;
    synth.handle(bad);
    EXPECT_EQ(changes, before);
    EXPECT_EQ(synth.handle(request(BlockKind::UserLayer1, 42))[0], sent[3]);
}

TEST(VirtualCs1x, BankSixtyThreeSixtyFiveProgramChangeLoadsTheUserPerformance)
{
    VirtualCs1x synth;
    for (int k = 7; k < 14; ++k)
        synth.handle(bulkOf(BlockKind(k), 9, uint8_t(k)));

    synth.handle(bytes("B0 00 3F"));
    synth.handle(bytes("B0 20 40"));    // another bank: not a user performance
    synth.handle(bytes("C0 09"));
    EXPECT_EQ(nameOf(synth.editBuffer()), "InitPerf");

    synth.handle(bytes("B0 20 41"));
    synth.handle(bytes("C1 09"));       // another channel
    EXPECT_EQ(nameOf(synth.editBuffer()), "InitPerf");
    synth.handle(bytes("C0 09"));
    EXPECT_EQ(synth.editBuffer().layer(4).data(0), synth.user(9).layer(4).data(0));
    EXPECT_EQ(nameOf(synth.editBuffer()), nameOf(synth.user(9)));
    // The edit-only fields of common 30 are cleared, and the edit block is
    // answered in edit form.
    EXPECT_EQ(synth.editBuffer().at(1).data(21), 0);
    const Bytes c30 = synth.handle(request(BlockKind::Common30))[0];
    EXPECT_EQ(c30.size(), 34u);
    EXPECT_EQ(hex(ByteView(c30).subspan(4, 5)), "00 17 60 00 30");
    EXPECT_EQ(c30[32], bulkChecksum(c30));
}

TEST(VirtualCs1x, MemoryImageRoundTripsAndSurvivesDamage)
{
    VirtualCs1x a;
    a.handle(bulkOf(BlockKind::UserCommon00, 100, 0x20));
    a.handle(bytes("F0 43 10 4B 60 01 05 09 F7"));
    const Bytes image = a.memoryImage();
    EXPECT_EQ(image.size(), 319u + 128u * 317u);

    VirtualCs1x b;
    EXPECT_EQ(b.loadMemoryImage(image), 7 + 128 * 7);
    EXPECT_EQ(b.memoryImage(), image);

    // A cut-off file with a flipped byte: the intact blocks are taken, the
    // damaged and missing ones keep what was there.
    Bytes broken(image.begin(), image.begin() + long(image.size() / 2));
    broken[319 + 100] ^= 0x01;   // inside user 1's common 00
    VirtualCs1x c;
    EXPECT_GT(c.loadMemoryImage(broken), 0);
    EXPECT_EQ(nameOf(c.user(0)), nameOf(VirtualCs1x().user(0)));
    EXPECT_EQ(nameOf(c.user(127)), nameOf(VirtualCs1x().user(127)));
}

TEST(VirtualBackend, RepliesComeLaterInRequestOrderAndOnlyToAnOpenInput)
{
    kwtest::VirtualScheduler sched;
    VirtualBackend backend(sched, QString());
    std::vector<Bytes> got;
    auto in = backend.openInput(kVirtualDeviceName, 0, [&](ByteView m) { got.emplace_back(m.begin(), m.end()); });
    auto out = backend.openOutput(kVirtualDeviceName, 0);
    ASSERT_TRUE(in.port && out.port);
    EXPECT_EQ(backend.openOutput(kVirtualDeviceName, 0).result, MidiResult::Allocated);
    EXPECT_EQ(backend.openInput("CS1x", 0, {}).result, MidiResult::BadDeviceId);

    out.port->send(request(BlockKind::Common00));
    out.port->send(msg::kIdentityRequest);
    EXPECT_TRUE(got.empty()) << "never inside the sender's call";
    sched.advance(midiWireMs(8 + 57) - 1);
    EXPECT_EQ(got.size(), 1u);   // the shorter identity exchange is on the wire first...
    sched.runAll();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].size(), 57u);   // ...but replies keep the order of the requests
    EXPECT_EQ(got[1].size(), 15u);

    in.port.reset();
    out.port->send(msg::kIdentityRequest);
    sched.runAll();
    EXPECT_EQ(got.size(), 2u);
}

TEST(VirtualBackend, MemoryPersistsBetweenRunsAfterAQuietSecond)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/Virtual CS1x.syx");
    kwtest::VirtualScheduler sched;
    {
        VirtualBackend backend(sched, path);
        auto out = backend.openOutput(kVirtualDeviceName, 0);
        out.port->send(bulkOf(BlockKind::UserLayer2, 77, 0x31));
        sched.advance(500);
        out.port->send(bytes("F0 43 10 4B 70 4D 00 41 F7"));   // user 78, name byte 0
        sched.advance(999);
        EXPECT_FALSE(QFile::exists(path)) << "written once the edits pause";
        sched.advance(1);
        EXPECT_TRUE(QFile::exists(path));
        out.port->send(bytes("F0 43 10 4B 70 4D 01 42 F7"));
    }   // the last change is kept at shutdown without waiting
    VirtualBackend again(sched, path);
    EXPECT_EQ(again.synth().user(77).layer(2).data(5), (0x31 + 5) & 0x7F);
    EXPECT_EQ(nameOf(again.synth().user(77)).substr(0, 2), "AB");
}

TEST(VirtualBackend, EditorGreetingGetsTheIdentityReplyThroughThePortLayer)
{
    kwtest::VirtualScheduler sched;
    Settings settings;
    settings.midiIn = settings.midiOut = kVirtualDeviceName;
    std::vector<std::unique_ptr<MidiBackend>> list;
    list.push_back(std::make_unique<VirtualBackend>(sched, QString()));
    MidiPorts ports(settings, std::move(list), {}, [&](std::function<void()> fn) { sched.after(0, std::move(fn)); });
    std::vector<Bytes> got;
    ports.setInputSink([&](const Bytes& m) { got.push_back(m); });
    PerformanceImage img;
    EditorState st;
    Senders senders(img, st, ports.output());
    ASSERT_TRUE(ports.deviceCheck(senders));
    EXPECT_EQ(ports.inputNames(), std::vector<std::string>{"Virtual CS1x"});
    sched.runAll();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], Bytes(std::begin(msg::kIdentityReply), std::end(msg::kIdentityReply)));
}

TEST(PortNames, VolatileNumbersAreStripped)
{
    EXPECT_EQ(stablePortName("CS1x:CS1x MIDI 1 20:0"), "CS1x:CS1x MIDI 1");
    EXPECT_EQ(stablePortName("UM-ONE:UM-ONE MIDI 1 24:0"), "UM-ONE:UM-ONE MIDI 1");
    EXPECT_EQ(stablePortName("a2j:UM-ONE [24] (capture): UM-ONE MIDI 1"), "a2j:UM-ONE (capture): UM-ONE MIDI 1");
    EXPECT_EQ(stablePortName("knobwright-sim-01:Virtual CS1x"), "knobwright-sim:Virtual CS1x");
    // Names that merely contain digits stay as they are.
    EXPECT_EQ(stablePortName("system:midi_capture_1"), "system:midi_capture_1");
    EXPECT_EQ(stablePortName("Synth 2:0"), "Synth 2:0");
    EXPECT_EQ(stablePortName("Port [A1]"), "Port [A1]");
    EXPECT_EQ(stablePortName("x-1:y"), "x-1:y");
}

TEST(MidiSession, WithNoSoundHardwareAndNoJackServerTheVirtualSynthIsStillThere)
{
    // A server name nobody runs: JACK starts but sees no ports; on machines
    // without /dev/snd the ALSA sequencer cannot even start.
    setenv("JACK_DEFAULT_SERVER", "kw-nobody-runs-this", 1);
    kwtest::VirtualScheduler sched;
    Settings settings;
    settings.midiIn = settings.midiOut = kVirtualDeviceName;
    std::vector<std::string> boxes;
    MidiSession midi(settings, sched, {[&](const std::string& t) { boxes.push_back(t); }, {}}, QString());
    PerformanceImage img;
    EditorState st;
    Senders senders(img, st, midi.ports().output());
    ASSERT_TRUE(midi.deviceCheck(senders));
    EXPECT_EQ(midi.ports().inputNames().back(), "Virtual CS1x");
    EXPECT_EQ(midi.ports().outputNames().back(), "Virtual CS1x");
    EXPECT_TRUE(midi.ports().inputOpen());
    EXPECT_TRUE(midi.ports().outputOpen());
    EXPECT_TRUE(boxes.empty());
    unsetenv("JACK_DEFAULT_SERVER");
}
