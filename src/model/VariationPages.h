#pragma once
// What the six variation parameter bars mean for each variation type: name,
// range and how a value is shown, plus the 14-bit pairs they edit and the
// order in which a bar's range may be changed.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace kw { class BulkBlock; }

namespace kw::vari {

// The bars edit variation parameters 1, 2, 3, 4, 5 and 10; a slot is 0..5.
inline constexpr int kSlots = 6;
inline constexpr std::array<int, kSlots> kParamNumbers = {1, 2, 3, 4, 5, 10};
// Data offset in common block 30 of the slot's pair (high 7 bits first).
uint8_t pairOffset(int slot);
int loadValue(const BulkBlock& common30, int slot);
void storeValue(BulkBlock& common30, int slot, int value);

enum class TableId : uint8_t {
    ReverbTime, LfoFrequency, DelayOffset, InitialDelay, KaraokeDelay, RoomSize, EqFrequency,
    CutoffOffset, EqGain, EarlyReflectionType, GateType, AmpType, InputSelect, PanDirection,
};
inline constexpr int kTableCount = 14;
// Fixed texts (decimal comma, as the synth's manual prints them).
std::span<const char* const> table(TableId id);
// The value shown by entry 0 (52 for the EQ gain table, 0 for the others).
int tableBase(TableId id);

enum class Rule : uint8_t {
    Off,      // disabled bar, "--" and "0"
    Number,   // n
    Centred,  // n - 64
    Tenths,   // n / 10, shortest form, locale separator
    Table,    // table entry
    DryWet,   // "D24 > W", "D = W", "D < W63"
};

struct ParamSpec {
    const char* name = "--";
    int min = 0, max = 1;
    Rule rule = Rule::Off;
    TableId table = TableId::ReverbTime;  // Rule::Table only
    const char* unit = "";                // appended without a blank
    bool enabled() const { return rule != Rule::Off; }
};
using Page = std::array<ParamSpec, kSlots>;

// The page of variation type `typeIndex` (the `VariType` item index); an
// index outside the list (no entry selected) gives a page with every bar off.
const Page& page(int typeIndex);
// Types whose parameter 10 is the dry/wet balance.
bool hasDryWet(int typeIndex);

// Label text of value n. A value beyond the rule's table shows as the bare
// number, so a stray byte from a dump never reads past the table.
// `decimalSeparator` is the user's (only the tenths rule uses it; the tables
// keep their own fixed texts).
std::string valueText(const ParamSpec& spec, int n, std::string_view decimalSeparator = ".");
std::string tenths(int n, std::string_view decimalSeparator = ".");
std::string dryWet(int n);

// The bar shows n upside down: the largest value stands at the top.
inline int positionFromValue(int min, int max, int n) { return min + max - n; }
inline int valueFromPosition(int min, int max, int position) { return min + max - position; }

// One variation bar as the page setup drives it. The toolkit may refuse (or
// quietly bend) a minimum above the maximum, so the order of calls matters.
class VariationControl {
public:
    virtual ~VariationControl() = default;
    virtual int position() const = 0;
    virtual void setMinimum(int v) = 0;
    virtual void setMaximum(int v) = 0;
    virtual void setPosition(int v) = 0;
    virtual void setEnabled(bool on) = 0;
    virtual void setName(const std::string& text) = 0;
    virtual void setValueText(const std::string& text) = 0;
};

// New range without ever passing through minimum > maximum; the bar ends at
// its new maximum (the smallest value).
void setControl(VariationControl& c, int min, int max, bool enabled);
// Names, enabled states and ranges of all six bars for type `typeIndex`.
void setupPage(const std::array<VariationControl*, kSlots>& controls, int typeIndex);

} // namespace kw::vari
