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
        // Values as the controls show them: a bar's label, a radio group's
        // button, the boxes of one byte, a list's entry.
        {kwtest::bytes("F0 43 10 4B 60 02 11 1E F7"), "Parameter change layer 2 Filter Cutoff -34", MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 01 10 01 F7"), "Parameter change layer 1 LFO Sync Retrigger", MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 03 0A 00 F7"), "Parameter change layer 3 Random Pan on", MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 00 1E 01 05 F7"),
         "Parameter change common Assign2 (bank 2) Layer2, Para Chorus Send", MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 00 2D 05 F7"), "Parameter change common Arp Mode On on, Hold off, Split off",
         MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 00 29 00 00 F7"), "Parameter change common Arp Tempo Midi on", MessageKind::SysEx},
        // Without the bank the voice list is in, the voice's number as it lists it.
        {kwtest::bytes("F0 43 10 4B 60 01 02 0C F7"), "Parameter change layer 1 Patch Voice Number 013",
         MessageKind::SysEx},
        // Bytes that no button or entry stands for, and half a pair: the bytes.
        {kwtest::bytes("F0 43 10 4B 60 01 10 05 F7"), "Parameter change layer 1 LFO Sync = 5", MessageKind::SysEx},
        {kwtest::bytes("F0 43 10 4B 60 00 31 40 F7"), "Parameter change common Reverb Type, second byte = 64",
         MessageKind::SysEx},
        {Bytes(msg::kStartup, std::end(msg::kStartup)), "Parameter change 50 00 06 = 3", MessageKind::SysEx},
        {dump, "Bulk dump common 00 of user performance 005", MessageKind::SysEx},
        {spoilt, "Bulk dump common 00 of user performance 005 (wrong checksum)", MessageKind::SysEx},
        {msg::dumpRequest(BlockKind::Layer3), "Dump request layer 3", MessageKind::SysEx},
        {msg::dumpRequest(BlockKind::UserLayer1, 127), "Dump request layer 1 of user performance 128", MessageKind::SysEx},
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
