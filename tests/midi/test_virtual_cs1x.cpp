// The virtual CS1x answers as the instrument does, and keeps its memory.

#include "midi/MidiPorts.h"
#include "midi/MidiSession.h"
#include "midi/RtMidiBackend.h"
#include "midi/Senders.h"
#include "midi/VirtualBackend.h"
#include "model/UserPerfList.h"
#include "support/RecordingPort.h"
#include "support/VirtualScheduler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kw;
using kwtest::bytes;
using kwtest::hex;

namespace {

Bytes request(BlockKind k, int pp = 0) { return msg::dumpRequest(k, pp); }

void writeFile(const QString& path, ByteView bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

Bytes readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray d = f.readAll();
    return Bytes(d.begin(), d.end());
}

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
    const MemoryLoad whole = b.loadMemoryImage(image);
    EXPECT_EQ(whole.taken, 7 + 128 * 7);
    EXPECT_TRUE(whole.whole);
    EXPECT_EQ(b.memoryImage(), image);

    // A cut-off file with a flipped byte: the intact blocks are taken, the
    // damaged and missing ones keep what was there.
    Bytes broken(image.begin(), image.begin() + long(image.size() / 2));
    broken[319 + 100] ^= 0x01;   // inside user 1's common 00
    VirtualCs1x c;
    const MemoryLoad part = c.loadMemoryImage(broken);
    EXPECT_GT(part.taken, 0);
    EXPECT_FALSE(part.whole);
    EXPECT_EQ(part.blocks[0], 7);
    EXPECT_EQ(part.blocks[1], 6) << "user 1's common 00 was damaged";
    EXPECT_EQ(part.blocks[2], 7);
    EXPECT_EQ(part.blocks[128], 0);
    EXPECT_EQ(part.taken % 7, 0) << "whole performances only";
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
    // One cable: the identity reply waits until the block is through.
    sched.advanceMicros(midiWireTime(8 + 57).count() - 1);
    EXPECT_TRUE(got.empty());
    sched.advanceMicros(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].size(), 57u);
    sched.advanceMicros(midiWireTime(6 + 15).count() - 1);
    EXPECT_EQ(got.size(), 1u);
    sched.advanceMicros(1);
    ASSERT_EQ(got.size(), 2u);
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

TEST(VirtualBackend, AMemoryFileUnderAnotherDeviceNumberIsTheUsersMemoryAllTheSame)
{
    // Written by a synth set to device number 6, say. It used to be ignored,
    // and the first program change wrote factory data over it.
    VirtualCs1x mine;
    mine.handle(bulkOf(BlockKind::UserCommon00, 3, 0x41));
    Bytes image = mine.memoryImage();
    for (size_t i = 0; i + 2 < image.size(); ++i)
        if (image[i] == 0xF0 && image[i + 1] == 0x43)
            image[i + 2] = 0x05;
    QTemporaryDir dir;
    const QString path = dir.filePath("Virtual CS1x.syx");
    writeFile(path, image);
    kwtest::VirtualScheduler sched;
    std::vector<std::string> told;
    {
        VirtualBackend backend(sched, path, [&](const std::string& t) { told.push_back(t); });
        EXPECT_EQ(nameOf(backend.synth().user(3)), nameOf(mine.user(3)));
        auto out = backend.openOutput(kVirtualDeviceName, 0);
        for (const Bytes& m : msg::selectUserPerformance(3))
            out.port->send(m);
        sched.runAll();
    }
    EXPECT_TRUE(told.empty());
    VirtualCs1x reread;
    EXPECT_TRUE(reread.loadMemoryImage(readFile(path)).whole);
    EXPECT_EQ(nameOf(reread.user(3)), nameOf(mine.user(3)));
    EXPECT_EQ(nameOf(reread.editBuffer()), nameOf(mine.user(3)));
}

TEST(VirtualBackend, AMemoryFileThatCannotBeReadWholeIsMovedAsideAndWhatWasKeptIsNamed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Virtual CS1x.syx");
    kwtest::VirtualScheduler sched;
    VirtualCs1x mine;
    for (int pp = 0; pp < 128; ++pp)
        mine.handle(bulkOf(BlockKind::UserCommon00, pp, uint8_t(0x30 + pp % 40)));
    const Bytes image = mine.memoryImage();

    // Cut short in the middle of user performance 60: the first 59 come
    // whole; of the 60th only some blocks came, so none of it is taken.
    const Bytes cut(image.begin(), image.begin() + long(319 + 59 * 317 + 100));
    writeFile(path, cut);
    std::vector<std::string> told;
    {
        VirtualBackend backend(sched, path, [&](const std::string& t) { told.push_back(t); });
        EXPECT_EQ(nameOf(backend.synth().user(58)), nameOf(mine.user(58)));
        EXPECT_EQ(nameOf(backend.synth().user(59)), nameOf(VirtualCs1x().user(59)));
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("19122 bytes long, not 40895"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("Kept from it: the edit buffer and user performances 1-59;"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find(".bad"), std::string::npos) << told[0];
    EXPECT_EQ(readFile(path + ".bad"), cut);
    EXPECT_FALSE(QFile::exists(path)) << "nothing changed, nothing written yet";

    // Garbage of the right size, and a second bad file beside the first.
    told.clear();
    writeFile(path, Bytes(image.size(), 0x55));
    { VirtualBackend backend(sched, path, [&](const std::string& t) { told.push_back(t); }); }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("Kept from it: nothing"), std::string::npos) << told[0];
    EXPECT_EQ(readFile(path + ".bad"), cut);
    EXPECT_EQ(readFile(path + ".bad.2"), Bytes(image.size(), 0x55));

    // One block damaged inside a file of the right size.
    told.clear();
    Bytes flipped = image;
    flipped[319 + 317 * 9 + 60] ^= 0x01;  // user 10's common 30
    writeFile(path, flipped);
    { VirtualBackend backend(sched, path, [&](const std::string& t) { told.push_back(t); }); }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("user performances 1-9, 11-128"), std::string::npos) << told[0];
}

TEST(VirtualBackend, AMemoryThatCannotBeWrittenIsReported)
{
    QTemporaryDir dir;
    kwtest::VirtualScheduler sched;
    std::vector<std::string> told;
    // A plain file where its folder should be: no writing there, root or not.
    writeFile(dir.filePath("plain"), Bytes{1});
    const QString path = dir.filePath("plain/Virtual CS1x.syx");
    {
        VirtualBackend backend(sched, path, [&](const std::string& t) { told.push_back(t); });
        auto out = backend.openOutput(kVirtualDeviceName, 0);
        out.port->send(bytes("F0 43 10 4B 70 4D 00 41 F7"));
        sched.advance(1000);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].rfind("The virtual CS1x memory could not be saved to '" + path.toStdString() + "'", 0), 0u)
            << told[0];
        // Told once, not at every change.
        out.port->send(bytes("F0 43 10 4B 70 4D 00 42 F7"));
        sched.advance(1000);
        EXPECT_EQ(told.size(), 1u);
        EXPECT_FALSE(backend.saveMemory());
    }

    // A folder where the file should be: it cannot be read, and is left alone.
    told.clear();
    QDir(dir.path()).mkpath("folder/Virtual CS1x.syx");
    const QString inPlace = dir.filePath("folder/Virtual CS1x.syx");
    {
        VirtualBackend backend(sched, inPlace, [&](const std::string& t) { told.push_back(t); });
        auto out = backend.openOutput(kVirtualDeviceName, 0);
        out.port->send(bytes("F0 43 10 4B 70 4D 00 41 F7"));
        sched.runAll();
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("cannot be read"), std::string::npos) << told[0];
    EXPECT_TRUE(QFileInfo(inPlace).isDir());
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
