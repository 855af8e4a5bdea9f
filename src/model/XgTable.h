#pragma once
// The XG side of the CS1x: every parameter of its XG System, Multi Effect,
// Multi Part and Drum Setup tables once, with where its bytes lie, how many
// there are and how a value sits in them, the values the instrument takes,
// its value after XG System On, how the editor shows it, the group a
// musician looks for it in, and how sure our sources are of it. Messages,
// the virtual instrument, the MIDI monitor and the editor all read this
// one list.
//
// Part rows stand for the same parameter of each of the sixteen parts (the
// part goes into the address's middle byte), drum rows for the same
// parameter of each note of each of the two drum setups (the setup into the
// high byte, the note into the middle one).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kw::xg {

enum class Table : uint8_t { System, Effect, Part, Drum };
inline constexpr int kTables = 4;
const char* tableName(Table t);  // "XG System", "Multi Effect", "Multi Part", "Drum Setup"

// How sure the sources are of a row.
enum class Mark : uint8_t {
    Confirmed,     // printed in two or more of the maker's documents
    Checked,       // printed in one of the maker's documents and agreed by an independent source
    Independent,   // only independent sources, at least two of them agreeing
    Single,        // one source only
};
// Confirmed and Checked rows are verified; the others rest on fewer sources.
inline bool verified(Mark m) { return m == Mark::Confirmed || m == Mark::Checked; }
const char* markName(Mark m);

// How a value sits in the row's bytes.
enum class Coding : uint8_t {
    Byte,     // one byte, the value itself
    Nibbles,  // four bits a byte, the highest first (master tune, part detune)
    Pair,     // two 7-bit bytes, the high seven bits first (effect types, variation parameters 1-10)
};

// How a value reads.
enum class Show : uint8_t {
    Number,         // as it is: "100"
    Signed,         // value - 64: "-64", "0", "+63"
    MasterTune,     // (value - 1024) / 10 cent: "-102.4 cent" .. "+102.3 cent"
    Detune,         // (value - 128) / 10 Hz: "-12.8 Hz" .. "+12.7 Hz"
    FilterCents,    // (value - 64) * 150 cent: "-9600 cent" .. "+9450 cent"
    Pan,            // "L-63" .. "CTR" .. "R-63"; 0 where the row takes it: "Random"
    Note,           // "C-2" .. "G8"
    OnOff,          // "Off", "On"
    Items,          // an entry of the row's list ("Mono", "Poly")
    Channel,        // 0..15 "Ch 1" .. "Ch 16"; 127 "Off"
    Part,           // 0..15 "Part 1" .. "Part 16"; 127 "Off"
    Controller,     // "CC 16"
    AltGroup,       // 0 "Off", else the group's number
    Program,        // "001 GrandPno" by the part's bank, "001" where no voice table holds the bank
    ReverbType,     // by the effect lists the performance's effects page offers: "Hall 1"
    ChorusType,
    VariationType,
};

// Where a musician looks for a parameter.
enum class Group : uint8_t {
    Master, Reverb, Chorus, Variation,                           // system and effects
    Voice, Level, Pitch, Tone, Limits, Controllers, Receive,    // a part
    Drum,                                                        // a drum note
};
const char* groupName(Group g);

// What the default is after XG System On.
enum class DefaultKind : uint8_t {
    Value,        // `def` for every part (or note)
    DrumPart,     // `def`, but `drumPartDef` for part 10 (the drum part)
    PartNumber,   // the part's own number - 1 (receive channel)
    Unknown,      // the sources give none: it comes from the effect type or the drum kit
};

struct Row {
    Table table;
    uint8_t low;       // address low byte; high and middle follow from the table
    uint8_t size;      // data bytes of a parameter change
    Coding coding;
    int min, max;      // the values the instrument takes
    int extra;         // one more value it takes outside [min, max], or -1 (127 = off, 0 = random)
    DefaultKind defaultKind;
    int def;
    int drumPartDef;
    Show show;
    Group group;
    Mark mark;
    // The row stands, but its default rests on fewer sources than its address.
    bool defaultLessSure;
    // Received only: XG System On, All Parameter Reset, Drum Setup Reset.
    // Nothing holds them; they cannot be asked for.
    bool command;
    const char* name;  // "Reverb Send"
    std::span<const char* const> items;  // Show::Items

    bool takes(int value) const { return (value >= min && value <= max) || (extra >= 0 && value == extra); }
    // The value after XG System On for part `part` (0..15; other tables ignore
    // it), or none where the sources give none.
    std::optional<int> defaultFor(int part = 0) const;
};

// Every row, table by table in address order.
const std::vector<Row>& rows();
std::vector<const Row*> rowsOf(Table t);
// The row whose parameter starts at `low` in table `t`, or nullptr.
const Row* rowAt(Table t, uint8_t low);

inline constexpr int kParts = 16;
inline constexpr int kDrumSetups = 2;
inline constexpr int kFirstDrumNote = 0x0D, kLastDrumNote = 0x5B;  // 13..91
inline constexpr uint8_t kSystemHigh = 0x00, kEffectHigh = 0x02, kEffectMid = 0x01;
inline constexpr uint8_t kPartHigh = 0x08, kDrumHigh = 0x30;

struct Address {
    uint8_t high = 0, mid = 0, low = 0;
    bool operator==(const Address&) const = default;
};
std::string addressText(Address a);  // "08 04 13"

// One parameter of the instrument: a row with its part, or its drum setup
// and note.
struct Param {
    const Row* row = nullptr;
    int part = 0;   // Multi Part: 0..15 (part 1..16)
    int setup = 0;  // Drum Setup: 0..1
    int note = 0;   // Drum Setup: 13..91

    Address address() const;
    // "Master Volume", "part 5 Reverb Send", "drum setup 1 C1 Level"
    std::string name() const;
    bool operator==(const Param& o) const
    {
        return row == o.row && part == o.part && setup == o.setup && note == o.note;
    }
};

// The parameter that starts at `a`, or none (also for commands, which are
// parameters of nothing).
std::optional<Param> paramAt(Address a);
// The command row at `a` (00 00 7D, 7E, 7F), or nullptr.
const Row* commandAt(Address a);
// Every parameter once (commands left out): system, effects, part 1 to 16,
// drum setup 1 and 2 note 13 to 91.
std::vector<Param> allParams();

// The data bytes of `value` in `row`'s coding; none when the row does not
// take the value, so nothing out of range is ever built, let alone wrapped
// into another value.
std::optional<std::vector<uint8_t>> encode(const Row& row, int value);
// The same into `out` (room for row.size bytes), without allocating; false,
// and nothing written, when the row does not take the value.
bool encodeInto(const Row& row, int value, uint8_t* out);
// The value the data bytes carry; none when their count is not the row's
// size or a byte lies outside its coding (a nibble above 0F, a byte of 80 or
// more). Whether the row takes the value is takes()'s to say.
std::optional<int> decode(const Row& row, std::span<const uint8_t> data);

class Memory;
// What the editor shows for `value` of `p`: "L-12", "+3", "Hall 1", "Ch 5".
// A value the row does not take reads "?? (N)". The program reads with the
// part's bank from `memory` when given, else as a number. UTF-8.
std::string text(const Param& p, int value, const Memory* memory = nullptr);

// The bulk-dump blocks of the tables: top address (part blocks per part,
// drum blocks per setup and note) and TOTAL SIZE.
struct Block {
    const char* name;  // "reverb", "part block 1"
    Table table;
    uint8_t low;
    uint8_t size;
    Mark mark;
};
std::span<const Block> blocks();
struct BlockAt {
    const Block* block = nullptr;
    Address top;
    int part = 0, setup = 0, note = 0;
};
// The block whose top address is `a`, or none.
std::optional<BlockAt> blockAt(Address a);

} // namespace kw::xg
