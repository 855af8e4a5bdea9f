// What the MIDI monitor says a message means, and which filter group it is in.

#include "midi/Messages.h"
#include "midi/MidiMeaning.h"
#include "midi/VirtualCs1x.h"
#include "model/FieldTable.h"
#include "support/RecordingPort.h"

#include <gtest/gtest.h>

using namespace kw;

TEST(MidiMeaning, SaysWhatEachKindOfMessageMeans)
{
    // A user performance's common block as the synth sends it, and spoilt.
    VirtualCs1x synth;
    const Bytes dump = synth.handle(msg::dumpRequest(BlockKind::UserCommon00, 4)).at(0);
    Bytes spoilt = dump;
    spoilt[20] ^= 1;
    const struct {
        Bytes message;
        const char* meaning;
        MessageKind kind;
    } rows[] = {
        {kwtest::bytes("F0 43 10 4B 60 02 11 40 F7"), "Parameter change layer 2 Filter Cutoff = 64", MessageKind::SysEx},
        // A radio group: the button the value picks.
        {kwtest::bytes("F0 43 10 4B 60 01 10 01 F7"), "Parameter change layer 1 LFO Sync Retrigger = 1",
         MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 00 09 64 F7"), "Parameter change common Common Volume = 100", MessageKind::SysEx},
        // A pair of the second assign bank; the bits of the arpeggiator mode.
        {kwtest::bytes("F0 43 10 4B 60 00 1E 01 05 F7"), "Parameter change common Assign2 Para (bank 2) = 1, 5",
         MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 00 2D 05 F7"), "Parameter change common Arp Mode = 5", MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 00 31 40 F7"), "Parameter change common Reverb Type, second byte = 64",
         MessageKind::SysEx},
        {Bytes(msg::kStartup, std::end(msg::kStartup)), "Parameter change 50 00 06 = 3", MessageKind::SysEx},
        {dump, "Bulk dump user common 00 of 005", MessageKind::SysEx},
        {spoilt, "Bulk dump user common 00 of 005 (wrong checksum)", MessageKind::SysEx},
        {msg::dumpRequest(BlockKind::Layer3), "Dump request layer 3", MessageKind::SysEx},
        {msg::dumpRequest(BlockKind::UserLayer1, 127), "Dump request user layer 1 of 128", MessageKind::SysEx},
        {Bytes(msg::kIdentityRequest, std::end(msg::kIdentityRequest)), "Identity request", MessageKind::SysEx},
        {Bytes(msg::kIdentityReply, std::end(msg::kIdentityReply)), "Identity reply CS1x", MessageKind::SysEx},
        {kwtest::bytes("F0 41 10 42 12 40 00 7F 00 41 F7"), "SysEx, manufacturer 41, 11 bytes", MessageKind::SysEx},
        {kwtest::bytes("90 3C 64"), "Note on ch 1 C3 velocity 100", MessageKind::Note},
        {kwtest::bytes("91 3C 00"), "Note off ch 2 C3", MessageKind::Note},
        {kwtest::bytes("B0 4A 40"), "Controller ch 1 Cutoff (74) = 64", MessageKind::Controller},
        {kwtest::bytes("BF 14 05"), "Controller ch 16 #20 = 5", MessageKind::Controller},
        {kwtest::bytes("C0 04"), "Program change ch 1 = 4", MessageKind::Controller},
        {kwtest::bytes("E0 00 40"), "Pitch bend ch 1 = 0", MessageKind::Controller},
        {kwtest::bytes("F8"), "Clock", MessageKind::Other},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(kwtest::hex(r.message));
        EXPECT_EQ(messageMeaning(r.message), r.meaning);
        EXPECT_EQ(messageKind(r.message), r.kind);
    }

    // Every parameter a control sends by itself is named after the control.
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& f : *table) {
            if (f.encoding == Encoding::Special || (f.send != SendKind::Param && f.send != SendKind::LayerParam))
                continue;
            const Bytes m = msg::parameterChange(0x60, f.isLayer() ? 3 : 0, f.addressLow(), f.onValue);
            EXPECT_NE(messageMeaning(m).find(spacedName(f.control)), std::string::npos)
                << f.control << ": " << messageMeaning(m);
        }
    EXPECT_EQ(spacedName("AEGAtkTime"), "AEG Atk Time");
}
