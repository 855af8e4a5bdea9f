// The XG messages and the virtual CS1x's XG side. Expected bytes are the
// fact sheet's, written out by hand.

#include "midi/MidiMeaning.h"
#include "midi/Senders.h"
#include "midi/VirtualCs1x.h"
#include "midi/XgMessages.h"
#include "model/XgMemory.h"
#include "support/RecordingPort.h"

#include <gtest/gtest.h>

using namespace kw;
using kwtest::bytes;
using kwtest::hex;
using xg::Table;

namespace {

xg::Param param(Table t, int low, int part = 0) { return {xg::rowAt(t, uint8_t(low)), part}; }
xg::Param drum(int setup, int note, int low) { return {xg::rowAt(Table::Drum, uint8_t(low)), 0, setup, note}; }

std::string change(const xg::Param& p, int value)
{
    const auto m = xg::parameterChange(p, value);
    return m ? hex(*m) : "(none)";
}

// The value the virtual CS1x answers a parameter request with, or -1.
int askBack(VirtualCs1x& synth, const xg::Param& p)
{
    const auto replies = synth.handle(xg::parameterRequest(p));
    if (replies.size() != 1)
        return -1;
    const xg::ReplyCheck r = xg::checkReply(p, replies[0]);
    return r.match == xg::ReplyCheck::Match::Reply ? r.value : -1;
}

} // namespace

TEST(XgMessages, AreTheBytesOfTheSheet)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {change(param(Table::Part, 0x0B, 4), 0x7F), "F0 43 10 4C 08 04 0B 7F F7"},   // part 5 volume to its top
        {change(param(Table::Part, 0x12, 15), 0x7F), "F0 43 10 4C 08 0F 12 7F F7"},  // part 16 chorus send
        {change(param(Table::Part, 0x13, 4), 0x00), "F0 43 10 4C 08 04 13 00 F7"},   // part 5 reverb send to 0
        {change(param(Table::Effect, 0x00), 0x01 * 128), "F0 43 10 4C 02 01 00 01 00 F7"},  // reverb Hall 1
        {change(param(Table::Effect, 0x40), 0x07 * 128), "F0 43 10 4C 02 01 40 07 00 F7"},  // variation Echo
        {change(param(Table::System, 0x00), 0x400), "F0 43 10 4C 00 00 00 00 04 00 00 F7"},  // master tune 0 cent
        {change(param(Table::Part, 0x09, 0), 0x80), "F0 43 10 4C 08 00 09 08 00 F7"},     // detune 0 Hz
        {change(drum(1, 91, 0x0F), 0x40), "F0 43 10 4C 31 5B 0F 40 F7"},
        {hex(xg::systemOn()), "F0 43 10 4C 00 00 7E 00 F7"},
        {hex(*xg::command(*xg::rowAt(Table::System, 0x7D), 1)), "F0 43 10 4C 00 00 7D 01 F7"},
        {hex(xg::parameterRequest(param(Table::Part, 0x13, 4))), "F0 43 30 4C 08 04 13 F7"},
        {hex(xg::dumpRequest({0x08, 0x04, 0x30})), "F0 43 20 4C 08 04 30 F7"},
        // Nothing is built for a value the row does not take.
        {change(param(Table::Part, 0x0B, 4), 0x80), "(none)"},
        {change(param(Table::Part, 0x08, 4), 0x27), "(none)"},
        {change(param(Table::Effect, 0x5B), 0x10), "(none)"},
        {change(param(Table::System, 0x00), 0x800), "(none)"},
    };
    for (const auto& [got, want] : cases)
        EXPECT_EQ(got, want);
    EXPECT_EQ(xg::command(*xg::rowAt(Table::System, 0x7D), 2), std::nullopt);
    EXPECT_EQ(xg::kSystemOnPauseMs, 50);
}

// Every parameter of every table set on the virtual CS1x, asked for and
// answered with what was set, in Multi mode; and the system block's dump is
// the sheet's worked example.
TEST(VirtualCs1xXg, EveryParameterSetIsAnsweredBackInMultiMode)
{
    VirtualCs1x synth;
    synth.setToneMode(ToneMode::Multi);
    ASSERT_TRUE(synth.handle(xg::systemOn()).empty());
    const auto dump = synth.handle(xg::dumpRequest({0x00, 0x00, 0x00}));
    ASSERT_EQ(dump.size(), 1u);
    EXPECT_EQ(hex(dump[0]), "F0 43 00 4C 00 07 00 00 00 00 04 00 00 7F 00 40 36 F7");

    size_t checked = 0;
    for (const xg::Param& p : xg::allParams()) {
        // The value furthest from the present one that the row takes.
        const int now = synth.xg().value(p);
        const int v = now - p.row->min > p.row->max - now ? p.row->min : p.row->max;
        const auto m = xg::parameterChange(p, v);
        ASSERT_TRUE(m) << p.name();
        EXPECT_TRUE(synth.handle(*m).empty());
        ASSERT_EQ(askBack(synth, p), v) << p.name();
        ++checked;
    }
    EXPECT_EQ(checked, xg::allParams().size());

    // XG System On puts every parameter back to the tables' defaults.
    synth.handle(xg::systemOn());
    EXPECT_EQ(synth.xg(), xg::Memory());
    EXPECT_EQ(askBack(synth, param(Table::Part, 0x13, 4)), 40);
    EXPECT_EQ(askBack(synth, param(Table::Part, 0x01, 9)), 0x7F);
}

TEST(VirtualCs1xXg, PerformanceModeLeavesTheEffectsAndPartsOneToFourAlone)
{
    VirtualCs1x synth;
    ASSERT_EQ(synth.toneMode(), ToneMode::Performance);
    const std::vector<std::pair<xg::Param, bool>> cases = {
        {param(Table::Effect, 0x0C), false}, {param(Table::Effect, 0x40), false},
        {param(Table::Part, 0x0B, 0), false}, {param(Table::Part, 0x0B, 3), false},
        {param(Table::Part, 0x0B, 4), true},  {param(Table::Part, 0x0B, 15), true},
        {param(Table::System, 0x04), true},   {drum(0, 36, 0x02), true},
    };
    for (const auto& [p, taken] : cases) {
        const int before = synth.xg().value(p);
        const int v = before == p.row->max ? p.row->min : p.row->max;
        synth.handle(*xg::parameterChange(p, v));
        EXPECT_EQ(askBack(synth, p), taken ? v : before) << p.name();
    }
    // A dump of part 1's block is ignored too, one of part 5's is taken.
    xg::Memory wanted = synth.xg();
    std::vector<uint8_t> part = wanted.block(*xg::blockAt({0x08, 0x00, 0x00}));
    part[0x0B] = 0x11;
    synth.handle(*xg::bulkDump({0x08, 0x00, 0x00}, part));
    synth.handle(*xg::bulkDump({0x08, 0x04, 0x00}, part));
    ASSERT_EQ(wanted.takeBlock(*xg::blockAt({0x08, 0x04, 0x00}), part), "");
    EXPECT_EQ(synth.xg(), wanted);

    synth.setToneMode(ToneMode::Multi);
    synth.handle(*xg::parameterChange(param(Table::Part, 0x0B, 0), 7));
    EXPECT_EQ(askBack(synth, param(Table::Part, 0x0B, 0)), 7);
}

TEST(VirtualCs1xXg, DrumSetupResetResetsThatSetupOnly)
{
    VirtualCs1x synth;
    synth.handle(*xg::parameterChange(drum(0, 40, 0x00), 0x50));
    synth.handle(*xg::parameterChange(drum(1, 40, 0x00), 0x50));
    synth.handle(bytes("F0 43 10 4C 00 00 7D 01 F7"));
    EXPECT_EQ(askBack(synth, drum(0, 40, 0x00)), 0x50);
    EXPECT_EQ(askBack(synth, drum(1, 40, 0x00)), 0x40);
    synth.handle(bytes("F0 43 10 4C 00 00 7D 02 F7"));  // no third setup: ignored
    EXPECT_EQ(askBack(synth, drum(0, 40, 0x00)), 0x50);
}

// Input that does not fit the tables is named and changes nothing: not the
// reply read, not the virtual CS1x's memory.
TEST(XgInput, MessagesThatDoNotFitAreNamedAndChangeNothing)
{
    const xg::Param asked = param(Table::Part, 0x13, 4);  // part 5 reverb send
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"F0 43 10 4C 08 04 13 10 00 F7", "wrong size: 2 data bytes for 1"},
        {"F0 43 10 4C 08 04 13 F7", "wrong size: 0 data bytes for 1"},
        {"F0 43 10 4C 08 04 13 80 F7", "a byte of 80 or more"},
        {"F0 43 10 4C 08 06 13 28 F7", "a reply for part 7, not asked"},
        {"F0 43 10 4C 08 04 12 28 F7", "a reply for 08 04 12, not asked"},
        {"F0 43 10 4C 08 04 14 28 F7", "a reply for 08 04 14, not asked"},
    };
    VirtualCs1x synth;
    synth.setToneMode(ToneMode::Multi);
    xg::Memory memory;
    memory.set(asked, 99);
    const xg::Memory before = memory;
    for (const auto& [message, why] : bad) {
        const xg::ReplyCheck r = xg::takeReply(memory, asked, bytes(message));
        EXPECT_EQ(r.match, xg::ReplyCheck::Match::Wrong) << message;
        EXPECT_NE(r.why.find(why), std::string::npos) << message << ": " << r.why;
        EXPECT_NE(r.why.find("part 5 Reverb Send"), std::string::npos) << r.why;
        EXPECT_EQ(memory, before) << message;
    }
    // Out of range for its row, each kind of coding.
    const std::vector<std::string> outOfRange = {
        "F0 43 10 4C 08 04 00 21 F7",           // 33 elements
        "F0 43 10 4C 08 04 08 59 F7",           // note shift +25
        "F0 43 10 4C 08 04 09 10 00 F7",        // a detune nibble of 10
        "F0 43 10 4C 02 01 5B 10 F7",           // variation part 17
        "F0 43 10 4C 00 00 00 00 08 00 00 F7",  // master tune 0800
        "F0 43 10 4C 08 04 6D 00 F7",           // velocity limit 0
    };
    const xg::Memory fresh = synth.xg();
    for (const std::string& message : outOfRange) {
        const xg::Change c = xg::readChange(bytes(message));
        EXPECT_EQ(c.fault, xg::Change::Fault::OutOfRange) << message;
        EXPECT_NE(c.why.find("out of range"), std::string::npos) << c.why;
        EXPECT_TRUE(synth.handle(bytes(message)).empty());
    }
    // The first three are bad for the instrument too; the others are sound
    // changes, only no reply to what was asked.
    for (size_t i = 0; i < 3; ++i)
        synth.handle(bytes(bad[i].first));
    // No parameter there; another device number; a damaged dump.
    for (const char* message : {"F0 43 10 4C 08 04 29 00 F7", "F0 43 11 4C 08 04 13 00 F7",
                                "F0 43 00 4C 00 07 00 00 00 00 04 00 00 7F 00 40 37 F7",
                                "F0 43 00 4C 00 06 00 00 00 00 04 00 00 7F 00 40 36 F7"})
        synth.handle(bytes(message));
    EXPECT_EQ(synth.xg(), fresh);
    EXPECT_EQ(xg::readDump(bytes("F0 43 00 4C 00 07 00 00 00 00 04 00 00 7F 00 40 37 F7")).why, "wrong checksum");

    // The reply itself is taken.
    const xg::ReplyCheck ok = xg::takeReply(memory, asked, bytes("F0 43 10 4C 08 04 13 28 F7"));
    EXPECT_EQ(ok.match, xg::ReplyCheck::Match::Reply);
    EXPECT_EQ(memory.value(asked), 40);
    EXPECT_EQ(xg::checkReply(asked, bytes("F0 43 10 4B 60 01 11 40 F7")).match, xg::ReplyCheck::Match::Other);
}

TEST(XgMessages, TheMonitorSaysWhatTheyMean)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"F0 43 10 4C 08 04 13 28 F7", "XG part 5 Reverb Send = 40"},
        {"F0 43 10 4C 08 04 0E 00 F7", "XG part 5 Pan = Random"},
        {"F0 43 10 4C 02 01 00 01 00 F7", "XG Reverb Type = Hall 1"},
        {"F0 43 10 4C 00 00 04 7F F7", "XG Master Volume = 127"},
        {"F0 43 10 4C 30 24 02 64 F7", "XG drum setup 1 C1 Level = 100"},
        {"F0 43 10 4C 00 00 7E 00 F7", "XG System On"},
        {"F0 43 10 4C 00 00 7D 01 F7", "XG Drum Setup Reset 2"},
        {"F0 43 10 4C 08 04 13 80 F7", "XG parameter change 08 04 13, a byte of 80 or more"},
        {"F0 43 10 4C 08 04 13 10 00 F7", "XG part 5 Reverb Send, wrong size: 2 data bytes for 1"},
        {"F0 43 30 4C 08 0F 12 F7", "XG request part 16 Chorus Send"},
        {"F0 43 20 4C 08 04 30 F7", "XG dump request part 5 block 2"},
        {"F0 43 00 4C 00 07 00 00 00 00 04 00 00 7F 00 40 36 F7", "XG bulk dump system"},
        {"F0 43 00 4C 00 07 00 00 00 00 04 00 00 7F 00 40 37 F7", "XG bulk dump 00 00 00, wrong checksum"},
    };
    for (const auto& [message, want] : cases)
        EXPECT_EQ(messageMeaning(bytes(message)), want);
}

TEST(XgMessages, SendersSendOneChangeAtOnceAndRefuseWhatNoRowTakes)
{
    PerformanceImage img;
    EditorState st;
    kwtest::RecordingPort port;
    std::vector<std::string> told;
    Senders senders{img, st, port, {{}, {}, [&](const std::string& t) { told.push_back(t); }}};
    st.sendEnable = true;
    st.modified = false;

    EXPECT_TRUE(senders.xgParameterChange(param(Table::Part, 0x0B, 4), 0x7F));
    EXPECT_TRUE(senders.xgRequest(param(Table::Part, 0x0B, 4)));
    EXPECT_TRUE(senders.xgSystemOn());
    ASSERT_EQ(port.sent.size(), 3u);
    EXPECT_EQ(hex(port.sent[0]), "F0 43 10 4C 08 04 0B 7F F7");
    EXPECT_EQ(hex(port.sent[1]), "F0 43 30 4C 08 04 0B F7");
    EXPECT_EQ(hex(port.sent[2]), "F0 43 10 4C 00 00 7E 00 F7");
    EXPECT_FALSE(st.modified) << "the XG parts are no part of the performance";

    EXPECT_FALSE(senders.xgParameterChange(param(Table::Part, 0x0B, 4), 0x80));
    EXPECT_EQ(port.sent.size(), 3u);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("part 5 Volume does not take 128"), std::string::npos) << told[0];

    port.open = false;
    EXPECT_FALSE(senders.xgParameterChange(param(Table::Part, 0x0B, 4), 0x10));
    EXPECT_EQ(senders.lastReason(), "no MIDI output is open");
    EXPECT_EQ(port.sent.size(), 3u);
}
