// The readers an import goes through: Standard MIDI Files in every form the
// format allows, and bulk dumps assembled into performances from a stream
// of messages.

#include "MidiBuilder.h"
#include "StoreFixture.h"

#include "files/MidiFile.h"
#include "files/RecordReader.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Counts every allocation, so a reader that allocates per message shows.
namespace {
std::atomic<long> allocations{0};
long allocationCount() { return allocations.load(); }
} // namespace

void* operator new(std::size_t n)
{
    ++allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    ++allocations;
    return std::malloc(n ? n : 1);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace kw;
using namespace kwtest;

namespace {

Bytes messageOf(const PerformanceRecord& r, int m)
{
    return Bytes(r.message(m).begin(), r.message(m).end());
}

std::vector<Bytes> messagesOf(const std::vector<PerformanceRecord>& records)
{
    std::vector<Bytes> out;
    for (const auto& r : records)
        for (int m = 0; m < kBlocksPerPerformance; ++m)
            out.push_back(messageOf(r, m));
    return out;
}

} // namespace

TEST(Readers, AMidiFileGivesItsSysExInPlayingOrderInEveryFormOrIsRefusedWithTheReason)
{
    const PerformanceRecord a = makeRecord(4, 12, "Aurora");
    const PerformanceRecord b = makeRecord(5, 5, "Fridge");
    const Bytes m1 = messageOf(a, 0);
    const Bytes id = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};  // an identity request
    const Bytes smf = cat({header(0, 1), track({sysex(0, id), kEndOfTrack})});
    struct Case {
        std::string name;
        Bytes file;
        std::vector<Bytes> messages;
        std::string damage;  // empty: read
    };
    const std::vector<Case> cases = {
        {"what the exporter writes", midiFileBytes(std::vector{a, b}), messagesOf({a, b}), ""},
        {"notes in running status around a message",
         cat({header(0, 1), track({{0x00, 0x90, 0x3C, 0x40, 0x10, 0x3E, 0x40, 0x00, 0xC1, 0x07, 0x05, 0x21}, sysex(3, id),
                                   {0x00, 0xE0, 0x00, 0x40, 0x01, 0x7F, 0x7F}, kEndOfTrack})}),
         {id}, ""},
        {"F7 continuations with events between", cat({header(0, 1), track({splitSysex(m1, 5, 7, {0x00, 0x90, 0x3C, 0x40}), kEndOfTrack})}),
         {m1}, ""},
        {"an escape holding a whole message, and one that does not",
         cat({header(0, 1), track({{0x00, 0xF7, 0x02, 0xF8, 0xFA}, {0x00, 0xF7, 0x06}, id, kEndOfTrack})}), {id}, ""},
        {"meta events read past, nothing after the end of its track",
         cat({header(0, 1), track({{0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g', 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
                                   sysex(0, id), kEndOfTrack, {0x00, 0xF4, 0x00, 0x3C}})}),
         {id}, ""},
        {"type 1: by time across tracks", cat({header(1, 2), track({sysex(30, id)}), track({sysex(10, m1)})}), {m1, id}, ""},
        {"type 2: track after track", cat({header(2, 2), track({sysex(30, id)}), track({sysex(10, m1)})}), {id, m1}, ""},
        {"wrapped in RIFF", cat({{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'},
                                  {uint8_t(smf.size()), 0, 0, 0}, smf}),
         {id}, ""},
        {"a chunk of another kind read past", cat({header(0, 1), chunk("XFIH", {1, 2, 3}), track({sysex(0, id)})}), {id}, ""},
        {"a message left unfinished, one cut by the next",
         cat({header(0, 1), track({{0x00, 0xF0, 0x02, 0x43, 0x10}, sysex(0, id), {0x00, 0xF0, 0x01, 0x7E}, kEndOfTrack})}), {id},
         ""},

        {"nothing", {}, {}, "no MIDI file header"},
        {"another file", Bytes(m1), {}, "no MIDI file header"},
        {"a short header", cat({chunk("MThd", {0, 0, 0, 1}), track({})}), {}, "a header of 4 bytes"},
        {"format 3", cat({header(3, 1), track({})}), {}, "format 3 is no MIDI file format"},
        {"a track cut off", cat({header(0, 1), {'M', 'T', 'r', 'k', 0, 0, 0, 100}, Bytes(10, 0)}), {},
         "track 1 is cut off at byte 32"},
        {"a track missing", cat({header(1, 2), track({sysex(0, id)})}), {}, "holds 1 of its 2 tracks"},
        {"a data byte without a status", cat({header(0, 1), track({{0x00, 0x3C, 0x40}})}), {},
         "track 1: a data byte without a status at byte 23"},
        {"running status ended by a message", cat({header(0, 1), track({{0x00, 0x90, 0x3C, 0x40}, sysex(0, id), {0x00, 0x3C, 0x40}})}),
         {}, "track 1: a data byte without a status at byte 35"},
        {"a delta time of five bytes", cat({header(0, 1), track({{0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x3C, 0x40}})}), {},
         "track 1: a delta time of more than four bytes at byte 22"},
        {"a message longer than its track", cat({header(0, 1), track({{0x00, 0xF0, 0x7F, 0x01}})}), {},
         "track 1: an event runs past the track's end at byte 23"},
        {"a length that never ends", cat({header(0, 1), track({{0x00, 0xF0, 0x81}})}), {},
         "track 1: a length runs past the track's end at byte 24"},
        {"a status a file cannot hold", cat({header(0, 1), track({{0x00, 0xF4}})}), {},
         "track 1: status byte F4 has no place in a MIDI file at byte 23"},
        {"a status inside a channel message", cat({header(0, 1), track({{0x00, 0x90, 0x3C, 0x90}})}), {},
         "track 1: a channel message holds a status byte at byte 25"},
        {"a channel message cut", cat({header(0, 1), track({{0x00, 0x90, 0x3C}})}), {},
         "track 1: a channel message runs past the track's end at byte 23"},
        {"a meta event cut", cat({header(0, 1), track({{0x00, 0xFF}})}), {},
         "track 1: a meta event runs past the track's end at byte 23"},
        {"a RIFF file without data", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D'}, {}, "a RIFF MIDI file without its data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = readMidiSysex(c.file);
        if (c.damage.empty()) {
            ASSERT_TRUE(read) << read.error().reason;
            EXPECT_EQ(*read, c.messages);
        } else {
            ASSERT_FALSE(read);
            EXPECT_EQ(read.error().kind, FileErrorKind::DamagedMidiFile);
            EXPECT_EQ(read.error().reason, c.damage);
        }
    }
}

TEST(Readers, BulkDumpsAmongOtherMessagesBecomePerformancesAndWhatIsIncompleteIsSaid)
{
    const PerformanceRecord pan = makeRecord(5, 22, "Pan Seq");
    const PerformanceRecord lead = makeRecord(9, 1, "Lead");
    PerformanceImage eta;
    eta.setDefaults();
    eta.edit[BlockKind::Common00].data(8) = 1;
    const auto edit = [&](int i, int checksumDelta = 0) {
        Bytes m = eta.edit.at(i).outgoing();
        m[m.size() - 2] = uint8_t((m[m.size() - 2] + checksumDelta) & 0x7F);
        return m;
    };
    const Bytes paramChange = {0xF0, 0x43, 0x10, 0x4B, 0x00, 0x00, 0x00, 0x40, 0xF7};
    const Bytes roland = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    std::vector<Bytes> interleaved;
    for (int m = 0; m < kBlocksPerPerformance; ++m)
        interleaved.insert(interleaved.end(), {messageOf(pan, m), paramChange, messageOf(lead, m), roland});
    std::vector<Bytes> repeated = {messageOf(pan, 0), messageOf(pan, 1)};
    for (int m = 1; m < kBlocksPerPerformance; ++m)
        repeated.push_back(messageOf(pan, m));
    std::vector<Bytes> shortBlock = messagesOf({pan});
    shortBlock[1].erase(shortBlock[1].begin() + 10);
    PerformanceRecord flipped = pan;
    flipped[107] ^= 1;
    std::vector<Bytes> edits;
    for (int i = 0; i < kBlocksPerPerformance; ++i)
        edits.push_back(edit(i, i == 1 ? 1 : 0));

    struct Case {
        std::string name;
        std::vector<Bytes> messages;
        std::vector<FoundRecord> records;
        std::vector<std::string> problems;
    };
    const std::vector<Case> cases = {
        {"two performances block by block, other messages between", interleaved, {{pan, ""}, {lead, ""}}, {}},
        {"a block again before the performance is whole",
         repeated,
         {},
         {"dump of performance 6 (SQ Pan Seq): messages 3-7 missing", "dump of performance 6: message 1 missing"}},
        {"a block of the wrong length", shortBlock, {}, {"dump of performance 6 (SQ Pan Seq): message 2 has 31 bytes, not 32"}},
        {"a checksum that does not fit", messagesOf({flipped}),
         {{flipped, "dump of performance 6 (SQ Pan Seq): bad checksum in message 3"}}, {}},
        {"the edit buffer, whole", {edit(0), edit(1), edit(2), edit(3), edit(4), edit(5), edit(6)},
         {{PerformanceRecord::fromEdit(eta.edit, 0), ""}}, {}},
        {"the edit buffer, a checksum wrong", edits,
         {{PerformanceRecord::fromEdit(eta.edit, 0), "edit-buffer dump (PF InitPerf): bad checksum in message 2"}}, {}},
        {"nothing of a CS1x", {paramChange, roland}, {}, {}},
    };
    for (const Case& c : cases) {
        // The same messages as a list and as one raw stream (a .SYX file).
        Bytes stream;
        for (const Bytes& m : c.messages)
            stream.insert(stream.end(), m.begin(), m.end());
        const auto fromStream = recordsFromBytes(stream);
        ASSERT_TRUE(fromStream) << c.name;
        const FileRecords both[2] = {recordsFromMessages(c.messages), *fromStream};
        // A stream of exactly one performance is a performance file, read as one.
        for (int k = 0; k < (stream.size() == PerformanceRecord::kSize ? 1 : 2); ++k) {
            const FileRecords& found = both[k];
            SCOPED_TRACE(c.name + (k == 1 ? " (stream)" : ""));
            ASSERT_EQ(found.records.size(), c.records.size());
            for (size_t i = 0; i < c.records.size(); ++i) {
                EXPECT_EQ(found.records[i].record, c.records[i].record) << i;
                EXPECT_EQ(found.records[i].damage, c.records[i].damage) << i;
            }
            EXPECT_EQ(found.problems, c.problems);
            EXPECT_EQ(found.damaged(), c.problems.size() + size_t(std::count_if(c.records.begin(), c.records.end(), [](const auto& r) {
                                           return !r.damage.empty();
                                       })));
        }
    }
}

TEST(Readers, CountlessEmptyOrForeignMessagesCostNoAllocationEach)
{
    // 200,000 empty messages and as many foreign ones around one
    // performance, as a raw stream and as a MIDI file.
    const PerformanceRecord pan = makeRecord(5, 22, "Pan Seq");
    const Bytes roland = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    Bytes stream, events;
    for (int i = 0; i < 200'000; ++i) {
        stream.insert(stream.end(), {0xF0, 0xF7});
        stream.insert(stream.end(), roland.begin(), roland.end());
        events.insert(events.end(), {0x00, 0xF0, 0x01, 0xF7});
        const Bytes e = sysex(0, roland);
        events.insert(events.end(), e.begin(), e.end());
    }
    for (const Bytes& m : messagesOf({pan})) {
        stream.insert(stream.end(), m.begin(), m.end());
        const Bytes e = sysex(0, m);
        events.insert(events.end(), e.begin(), e.end());
    }
    const Bytes midi = cat({header(0, 1), chunk("MTrk", cat({events, kEndOfTrack}))});
    for (const Bytes* file : std::initializer_list<const Bytes*>{&stream, &midi}) {
        SCOPED_TRACE(file == &stream ? "stream" : "MIDI file");
        const long before = allocationCount();
        const auto found = recordsFromBytes(*file);
        const long allocations = allocationCount() - before;
        ASSERT_TRUE(found);
        ASSERT_EQ(found->records.size(), 1u);
        EXPECT_EQ(found->records[0].record, pan);
        EXPECT_LT(allocations, 200) << "an allocation per message";
    }
}
