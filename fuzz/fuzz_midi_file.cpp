// The Standard MIDI File reader and what an import makes of a file of any
// kind: messages are whole and come from the file's own bytes, every
// performance is either sound or said to be damaged, and the sound ones
// written by the exporter read back as they were.

#include "FuzzSupport.h"

#include "files/MidiFile.h"
#include "files/RecordReader.h"

using namespace kw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteView bytes(data, size);
    const auto messages = readMidiSysex(bytes);
    if (messages) {
        size_t total = 0;
        for (const Bytes& m : *messages) {
            FUZZ_CHECK(m.size() >= 2 && m.front() == 0xF0 && m.back() == 0xF7, "a message that is not F0 ... F7");
            total += m.size();
        }
        FUZZ_CHECK(total <= size, "messages of more bytes than the file holds");
        // A filter drops what it says no to and nothing else.
        const auto longOnes = readMidiSysex(bytes, [](ByteView m) { return m.size() >= 11; });
        FUZZ_CHECK(longOnes, "a file refused only when filtered");
        std::vector<Bytes> expected;
        for (const Bytes& m : *messages)
            if (m.size() >= 11)
                expected.push_back(m);
        FUZZ_CHECK(*longOnes == expected, "the filter changed what it kept");
    } else {
        FUZZ_CHECK(messages.error().kind == FileErrorKind::DamagedMidiFile && !messages.error().reason.empty(),
                   "a file refused without a reason");
    }

    const auto found = recordsFromBytes(bytes);
    if (!found)
        return 0;
    std::vector<PerformanceRecord> sound;
    for (const FoundRecord& r : found->records) {
        if (r.damage.empty()) {
            FUZZ_CHECK(r.record.check().none(), "a damaged performance taken for sound");
            sound.push_back(r.record);
        }
    }
    FUZZ_CHECK(found->damaged() == found->problems.size() + found->records.size() - sound.size(),
               "damage counted otherwise than said");
    if (found->kind == RecordSource::MidiFile)
        FUZZ_CHECK(messages, "records from a MIDI file the reader refused");

    // Exported and read again: the same performances, nothing damaged.
    const Bytes exported = midiFileBytes(sound);
    const auto again = readMidiSysex(exported);
    FUZZ_CHECK(again && again->size() == sound.size() * kBlocksPerPerformance, "an exported file does not read back");
    const FileRecords back = recordsFromMessages(*again);
    FUZZ_CHECK(back.problems.empty() && back.records.size() == sound.size(), "exported performances lost or broken");
    for (size_t i = 0; i < sound.size(); ++i)
        FUZZ_CHECK(back.records[i].damage.empty() && back.records[i].record == sound[i], "a performance changed on its way out");
    return 0;
}
