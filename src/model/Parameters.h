#pragma once
// Every parameter of a performance once, in the instrument's words: what it
// is called, where its bytes lie, the range of its value and how the
// editor's control shows it. Comparing, measuring the distance between two
// performances and making new ones from old all read this one list.

#include "model/Block.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

struct PerformanceImage;

// Where a musician looks for a parameter. Common, Effects, Arpeggiator and
// Pitch hold common parameters (layer 0); every group but Common and
// Arpeggiator holds layer parameters, one group per layer.
enum class ParamGroup : uint8_t { Common, Effects, Arpeggiator, Voice, Filter, AmpEG, FilterEG, Pitch, LFO };
inline constexpr int kParamGroups = 9;
const char* groupName(ParamGroup g);  // "Amp EG", "Filter EG", ...

enum class ParamKind : uint8_t {
    Number,  // a value on a scale
    Choice,  // one entry of a list (types, banks, voices, waves)
    Text,    // the name
    Flag,    // on or off
};

// One byte (or some of its bits) of an edit block.
struct ParamByte {
    BlockKind block;     // Common00/30/50 or Layer1..4
    uint8_t offset;      // data offset in the block
    uint8_t mask = 0x7F; // the bits that belong to the parameter
};

struct ParamRange {
    int min = 0, max = 0;
};

struct FieldRow;

struct Parameter {
    // How the value sits in the bytes and reads as text; one per kind of field.
    enum class Codec : uint8_t;

    std::string key;        // "layer2.cutoff", "reverb.type": stable, for files and settings
    std::string name;       // "Layer 2 Filter Cutoff", "Reverb Type"
    int layer = 0;          // 0 for common parameters, 1..4
    ParamGroup group = ParamGroup::Common;
    ParamKind kind = ParamKind::Number;
    const char* control = "";  // objectName of the control that edits it (the first of a radio group)
    std::vector<ParamByte> bytes;
    // The values the controls can set. For a choice the entries' indices;
    // for a flag 0..1; for the name 0..0 (its value is its text).
    int min = 0, max = 0;
    // A value outside [min, max] that a control sets as a setting of its own:
    // random panning (pan 0), the arpeggio following MIDI clock (tempo 0).
    // A tool that moves numbers within their range never reaches it.
    std::optional<int> offScale;
    int defaultValue = 0;  // the value in the start-up performance
    // The name, the category, the layers' on/off, the common volume and the
    // note and velocity limits: what decides which keys sound and how the
    // performance is found, which tools that make sounds must leave alone.
    bool fixed = false;
    // The parameter whose value gives this one its meaning (the bank for the
    // voice, the variation type for its parameters), or nullptr.
    const Parameter* dependsOn = nullptr;

    // The value the bytes hold. It can lie outside [min, max] when a dump
    // or a file brought a byte no control writes. A pair that names no
    // entry of its list reads as -1.
    int value(const PerformanceImage& img) const;
    // Writes every byte of the parameter, each 7-bit, bits outside the
    // parameter's masks kept, and nothing else. A number is clamped into
    // rangeIn() (its offScale value passes); a choice outside its list
    // changes nothing, as the control's list would not offer it; the name
    // ignores it (setName). A new variation type keeps the parameters as
    // they are: unlike the effects page, set() does not put the type's
    // defaults (fx::variationTypes()) into them.
    void set(PerformanceImage& img, int value) const;
    // What the editor's control shows: "-34", "Hall 1", "L-12", "+1.2 Hz",
    // "001 GrandPno". A value no control can show reads "?? (N)" (a pair no
    // table holds "?? (MSB, LSB)") rather than the nearest one it can; flags
    // read "On" and "Off", random panning "Random", MIDI clock "MIDI". UTF-8.
    std::string text(const PerformanceImage& img, std::string_view decimalSeparator = ".") const;
    // The name in the image's meaning: a variation parameter is called as
    // the effects page calls it for the current type ("Variation LFO FREQ").
    std::string nameIn(const PerformanceImage& img) const;
    // The range the control offers in the image's meaning (a variation
    // parameter's range depends on the type; one the type leaves off gives
    // the whole 14 bits and inUse() false).
    ParamRange rangeIn(const PerformanceImage& img) const;
    bool inUse(const PerformanceImage& img) const;

    // The name only: the eight characters, cut or padded with blanks.
    void setName(PerformanceImage& img, std::string_view text) const;

    // How value, set and text work; filled in by the list.
    Codec codec{};
    const FieldRow* row = nullptr;        // the control's row, where one row stands for it
    std::span<const char* const> items;   // a choice's entries, when they are a fixed list
    int slot = 0;                         // a variation parameter's slot 0..5
};

// All parameters, common ones first, then layer 1 to 4 in the same order.
// Built once; the pointers stay valid for the program's life.
const std::vector<Parameter>& performanceParameters();
const Parameter* findParameter(std::string_view key);

struct Difference {
    const Parameter* parameter;
    std::string name;  // the parameter's name; the neutral one when the two images call it differently
    std::string before, after;
};

// Every parameter whose value or text differs between `a` and `b`, in the
// list's order. Bytes no control reads are no parameter and never differ, nor
// does a variation parameter that neither image's type uses.
std::vector<Difference> differences(const PerformanceImage& a, const PerformanceImage& b,
                                    std::string_view decimalSeparator = ".");
// "Layer 2 Filter Cutoff: -34 -> 12"
std::string differenceLine(const Difference& d);

} // namespace kw
