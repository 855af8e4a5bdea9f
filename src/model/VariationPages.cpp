#include "model/VariationPages.h"

#include "model/Block.h"
#include "model/FieldTable.h"

#include <algorithm>

namespace kw::vari {

namespace {

// Seconds: 0,3..5,0 in tenths, then half seconds to 10, whole seconds to 20, then 25 and 30.
const char* const kReverbTime[] = {
    "0,3", "0,4", "0,5", "0,6", "0,7", "0,8", "0,9", "1,0", "1,1", "1,2", "1,3", "1,4", "1,5",
    "1,6", "1,7", "1,8", "1,9", "2,0", "2,1", "2,2", "2,3", "2,4", "2,5", "2,6", "2,7", "2,8",
    "2,9", "3,0", "3,1", "3,2", "3,3", "3,4", "3,5", "3,6", "3,7", "3,8", "3,9", "4,0", "4,1",
    "4,2", "4,3", "4,4", "4,5", "4,6", "4,7", "4,8", "4,9", "5,0", "5,5", "6,0", "6,5", "7,0",
    "7,5", "8,0", "8,5", "9,0", "9,5", "10,0", "11,0", "12,0", "13,0", "14,0", "15,0", "16,0",
    "17,0", "18,0", "19,0", "20,0", "25,0", "30,0",
};

// Hertz.
const char* const kLfoFrequency[] = {
    "0,00", "0,04", "0,08", "0,12", "0,16", "0,21", "0,25", "0,29", "0,33", "0,37", "0,42", "0,46",
    "0,50", "0,54", "0,58", "0,63", "0,67", "0,71", "0,75", "0,79", "0,84", "0,88", "0,92", "0,96",
    "1,00", "1,05", "1,09", "1,13", "1,17", "1,22", "1,26", "1,30", "1,34", "1,38", "1,43", "1,47",
    "1,51", "1,55", "1,59", "1,64", "1,68", "1,72", "1,76", "1,80", "1,85", "1,89", "1,93", "1,97",
    "2,01", "2,06", "2,10", "2,14", "2,18", "2,22", "2,27", "2,31", "2,35", "2,39", "2,43", "2,48",
    "2,52", "2,56", "2,60", "2,65", "2,69", "2,77", "2,86", "2,94", "3,02", "3,11", "3,19", "3,28",
    "3,36", "3,44", "3,53", "3,61", "3,70", "3,86", "4,03", "4,20", "4,37", "4,54", "4,71", "4,87",
    "5,04", "5,21", "5,38", "5,55", "5,72", "6,05", "6,39", "6,72", "7,06", "7,40", "7,73", "8,07",
    "8,41", "8,74", "9,08", "9,42", "9,75", "10,00", "10,70", "11,40", "12,10", "12,70", "13,40",
    "14,10", "14,80", "15,40", "16,10", "16,80", "17,40", "18,10", "19,50", "20,80", "22,20",
    "23,50", "24,80", "26,20", "27,50", "28,90", "30,20", "31,60", "32,90", "34,30", "37,00",
    "39,70",
};

// Milliseconds: tenths up to 10,0, then coarser steps to 50,0.
const char* const kDelayOffset[] = {
    "0,0", "0,1", "0,2", "0,3", "0,4", "0,5", "0,6", "0,7", "0,8", "0,9", "1,0", "1,1", "1,2",
    "1,3", "1,4", "1,5", "1,6", "1,7", "1,8", "1,9", "2,0", "2,1", "2,2", "2,3", "2,4", "2,5",
    "2,6", "2,7", "2,8", "2,9", "3,0", "3,1", "3,2", "3,3", "3,4", "3,5", "3,6", "3,7", "3,8",
    "3,9", "4,0", "4,1", "4,2", "4,3", "4,4", "4,5", "4,6", "4,7", "4,8", "4,9", "5,0", "5,1",
    "5,2", "5,3", "5,4", "5,5", "5,6", "5,7", "5,8", "5,9", "6,0", "6,1", "6,2", "6,3", "6,4",
    "6,5", "6,6", "6,7", "6,8", "6,9", "7,0", "7,1", "7,2", "7,3", "7,4", "7,5", "7,6", "7,7",
    "7,8", "7,9", "8,0", "8,1", "8,2", "8,3", "8,4", "8,5", "8,6", "8,7", "8,8", "8,9", "9,0",
    "9,1", "9,2", "9,3", "9,4", "9,5", "9,6", "9,7", "9,8", "9,9", "10,0", "11,1", "12,2", "13,3",
    "14,4", "15,5", "17,1", "18,6", "20,2", "21,8", "23,3", "24,9", "26,5", "28,0", "29,6", "31,2",
    "32,8", "34,3", "35,9", "37,5", "39,0", "40,6", "42,2", "43,7", "45,3", "46,9", "48,4", "50,0",
};

// Milliseconds: 0,1 + i * 199,9 / 127, rounded half up to tenths.
const char* const kInitialDelay[] = {
    "0,1", "1,7", "3,2", "4,8", "6,4", "8,0", "9,5", "11,1", "12,7", "14,3", "15,8", "17,4", "19,0",
    "20,6", "22,1", "23,7", "25,3", "26,9", "28,4", "30,0", "31,6", "33,2", "34,7", "36,3", "37,9",
    "39,5", "41,0", "42,6", "44,2", "45,7", "47,3", "48,9", "50,5", "52,0", "53,6", "55,2", "56,8",
    "58,3", "59,9", "61,5", "63,1", "64,6", "66,2", "67,8", "69,4", "70,9", "72,5", "74,1", "75,7",
    "77,2", "78,8", "80,4", "81,9", "83,5", "85,1", "86,7", "88,2", "89,8", "91,4", "93,0", "94,5",
    "96,1", "97,7", "99,3", "100,8", "102,4", "104,0", "105,6", "107,1", "108,7", "110,3", "111,9",
    "113,4", "115,0", "116,6", "118,2", "119,7", "121,3", "122,9", "124,4", "126,0", "127,6",
    "129,2", "130,7", "132,3", "133,9", "135,5", "137,0", "138,6", "140,2", "141,8", "143,3",
    "144,9", "146,5", "148,1", "149,6", "151,2", "152,8", "154,4", "155,9", "157,5", "159,1",
    "160,6", "162,2", "163,8", "165,4", "166,9", "168,5", "170,1", "171,7", "173,2", "174,8",
    "176,4", "178,0", "179,5", "181,1", "182,7", "184,3", "185,8", "187,4", "189,0", "190,6",
    "192,1", "193,7", "195,3", "196,9", "198,4", "200,0",
};

// Milliseconds: 0,1 + i * 399,9 / 127, rounded half up to tenths.
const char* const kKaraokeDelay[] = {
    "0,1", "3,2", "6,4", "9,5", "12,7", "15,8", "19,0", "22,1", "25,3", "28,4", "31,6", "34,7",
    "37,9", "41,0", "44,2", "47,3", "50,5", "53,6", "56,8", "59,9", "63,1", "66,2", "69,4", "72,5",
    "75,7", "78,8", "82,0", "85,1", "88,3", "91,4", "94,6", "97,7", "100,9", "104,0", "107,2",
    "110,3", "113,5", "116,6", "119,8", "122,9", "126,1", "129,2", "132,4", "135,5", "138,6",
    "141,8", "144,9", "148,1", "151,2", "154,4", "157,5", "160,7", "163,8", "167,0", "170,1",
    "173,3", "176,4", "179,6", "182,7", "185,9", "189,0", "192,2", "195,3", "198,5", "201,6",
    "204,8", "207,9", "211,1", "214,2", "217,4", "220,5", "223,7", "226,8", "230,0", "233,1",
    "236,3", "239,4", "242,6", "245,7", "248,9", "252,0", "255,2", "258,3", "261,5", "264,6",
    "267,7", "270,9", "274,0", "277,2", "280,3", "283,5", "286,6", "289,8", "292,9", "296,1",
    "299,2", "302,4", "305,5", "308,7", "311,8", "315,0", "318,1", "321,3", "324,4", "327,6",
    "330,7", "333,9", "337,0", "340,2", "343,3", "346,5", "349,6", "352,8", "355,9", "359,1",
    "362,2", "365,4", "368,5", "371,7", "374,8", "378,0", "381,1", "384,3", "387,4", "390,6",
    "393,7", "396,9", "400,0",
};

// No unit.
const char* const kRoomSize[] = {
    "0,1", "0,3", "0,4", "0,6", "0,7", "0,9", "1,0", "1,2", "1,4", "1,5", "1,7", "1,8", "2,0",
    "2,1", "2,3", "2,5", "2,6", "2,8", "2,9", "3,1", "3,2", "3,4", "3,5", "3,7", "3,9", "4,0",
    "4,2", "4,3", "4,5", "4,6", "4,8", "5,0", "5,1", "5,3", "5,4", "5,6", "5,7", "5,9", "6,1",
    "6,2", "6,4", "6,5", "6,7", "6,8", "7,0",
};

// Hertz.
const char* const kEqFrequency[] = {
    "20", "22", "25", "28", "32", "36", "40", "45", "50", "56", "63", "70", "80", "90", "100",
    "110", "125", "140", "160", "180", "200", "225", "250", "280", "315", "355", "400", "450",
    "500", "560", "630", "700", "800", "900", "1,0k", "1,1k", "1,2k", "1,4k", "1,6k", "1,8k",
    "2,0k", "2,2k", "2,5k", "2,8k", "3,2k", "3,6k", "4,0k", "4,5k", "5,0k", "5,6k", "6,3k", "7,0k",
    "8,0k", "9,0k", "10,0k", "11,0k", "12,0k", "14,0k", "16,0k", "18,0k", "20,0k",
};

// Hertz.
const char* const kCutoffOffset[] = {
    "50", "55", "60", "66", "72", "80", "86", "94", "100", "110", "120", "130", "140", "150", "162",
    "174", "186", "200", "215", "230", "245", "260", "280", "300", "315", "335", "355", "380",
    "400", "425", "450", "475", "500", "530", "560", "590", "620", "650", "680", "720", "760",
    "800", "840", "880", "920", "960", "1,00k", "1,05k", "1,10k", "1,15k", "1,20k", "1,26k",
    "1,32k", "1,38k", "1,43k", "1,50k", "1,56k", "1,62k", "1,69k", "1,76k", "1,83k", "1,90k",
    "1,98k", "2,06k", "2,14k", "2,22k", "2,31k", "2,40k", "2,49k", "2,58k", "2,67k", "2,77k",
    "2,87k", "2,97k", "3,08k", "3,19k", "3,30k", "3,41k", "3,53k", "3,65k", "3,77k", "3,90k",
    "4,03k", "4,16k", "4,29k", "4,43k", "4,57k", "4,72k", "4,87k", "5,02k", "5,18k", "5,34k",
    "5,50k", "5,67k", "5,84k", "6,02k", "6,20k", "6,38k", "6,56k", "6,75k", "6,95k", "7,15k",
    "7,35k", "7,56k", "7,78k", "8,00k", "8,22k", "8,44k", "8,67k", "8,90k", "9,14k", "9,38k",
    "9,63k", "9,90k", "10,2k", "10,4k", "10,7k", "10,9k", "11,2k", "11,5k", "11,8k", "12,1k",
    "12,4k", "12,7k", "13,0k", "13,3k", "13,7k", "14,0k",
};

// Decibels, for values 52..76.
const char* const kEqGain[] = {
    "-12", "-11", "-10", "-9", "-8", "-7", "-6", "-5", "-4", "-3", "-2", "-1", "±0", "+1", "+2",
    "+3", "+4", "+5", "+6", "+7", "+8", "+9", "+10", "+11", "+12",
};

// Early-reflection types.
const char* const kEarlyReflectionType[] = {
    "S-H", "L-H", "Rdm", "Rvs", "Plt", "Spr",
};

// Gate types.
const char* const kGateType[] = {
    "Type A", "Type B",
};

// Amp simulator types.
const char* const kAmpType[] = {
    "Off", "Stack", "Combo", "Tube",
};

// Cross delay inputs.
const char* const kInputSelect[] = {
    "L", "R", "L & R",
};

// Auto pan directions.
const char* const kPanDirection[] = {
    "L <-> R", "L -> R", "L <- R", "Lturn", "Rturn", "L / R",
};

struct TableInfo {
    std::span<const char* const> entries;
    int base;
};

TableInfo info(TableId id)
{
    switch (id) {
    case TableId::ReverbTime: return {kReverbTime, 0};
    case TableId::LfoFrequency: return {kLfoFrequency, 0};
    case TableId::DelayOffset: return {kDelayOffset, 0};
    case TableId::InitialDelay: return {kInitialDelay, 0};
    case TableId::KaraokeDelay: return {kKaraokeDelay, 0};
    case TableId::RoomSize: return {kRoomSize, 0};
    case TableId::EqFrequency: return {kEqFrequency, 0};
    case TableId::CutoffOffset: return {kCutoffOffset, 0};
    case TableId::EqGain: return {kEqGain, 52};
    case TableId::EarlyReflectionType: return {kEarlyReflectionType, 0};
    case TableId::GateType: return {kGateType, 0};
    case TableId::AmpType: return {kAmpType, 0};
    case TableId::InputSelect: return {kInputSelect, 0};
    case TableId::PanDirection: return {kPanDirection, 0};
    }
    return {{}, 0};
}

constexpr ParamSpec off() { return {}; }
constexpr ParamSpec number(const char* name, int min, int max) { return {name, min, max, Rule::Number}; }
constexpr ParamSpec centred(const char* name) { return {name, 1, 127, Rule::Centred}; }
constexpr ParamSpec tenthsOf(const char* name, int min, int max, const char* unit = "")
{
    return {name, min, max, Rule::Tenths, TableId::ReverbTime, unit};
}
constexpr ParamSpec fromTable(const char* name, int min, int max, TableId t, const char* unit = "")
{
    return {name, min, max, Rule::Table, t, unit};
}
constexpr ParamSpec kDryWet{"DRY WET", 1, 127, Rule::DryWet};

constexpr ParamSpec kLpf = fromTable("LPF CUTOFF", 34, 60, TableId::EqFrequency, "Hz");
constexpr ParamSpec kHpf = fromTable("HPF CUTOFF", 0, 52, TableId::EqFrequency, "Hz");
constexpr ParamSpec kLfoFreq = fromTable("LFO FREQ", 0, 127, TableId::LfoFrequency, "Hz");
constexpr ParamSpec kLfoDepth = number("LFO DEPTH", 0, 127);
constexpr ParamSpec kFeedback = centred("FEEDBK LEVEL");
constexpr ParamSpec kDiffusion = number("DIFFUS", 0, 10);
constexpr ParamSpec kInitialDelayMs = fromTable("INITIAL DELAY", 0, 63, TableId::InitialDelay, "ms");
constexpr ParamSpec kRoom = fromTable("ROOM SIZE", 0, 44, TableId::RoomSize);
constexpr ParamSpec kHighDamp = tenthsOf("HIGH DAMP", 1, 10);
constexpr ParamSpec kEqLowFreq = fromTable("EQ  LOW FREQ", 8, 40, TableId::EqFrequency, "Hz");
constexpr ParamSpec kEqLowGain = fromTable("EQ  LOW GAIN", 52, 76, TableId::EqGain, "dB");
constexpr ParamSpec kDrive = number("DRIVE", 0, 127);
constexpr ParamSpec kOutput = number("OUTPUT LEVEL", 0, 127);

constexpr Page kOffPage = {off(), off(), off(), off(), off(), off()};
constexpr Page kReverbPage = {
    fromTable("REVERB TIME", 0, 69, TableId::ReverbTime, "s"), kDiffusion, kInitialDelayMs, kHpf, kLpf, kDryWet};
constexpr Page kDelayLcrPage = {
    tenthsOf("LEFT CHAN DELAY", 1, 7150, "ms"), tenthsOf("RIGHT CHAN DELAY", 1, 7150, "ms"),
    tenthsOf("CENTER CHAN DELAY", 1, 7150, "ms"), tenthsOf("FEEDBK DELAY", 1, 7150, "ms"), kFeedback, kDryWet};
constexpr Page kDelayLrPage = {
    tenthsOf("LEFT CHAN DELAY", 1, 7150, "ms"), tenthsOf("RIGHT CHAN DELAY", 1, 7150, "ms"),
    tenthsOf("FEEDBK DELAY1", 1, 7150, "ms"), tenthsOf("FEEDBK DELAY2", 1, 7150, "ms"), kFeedback, kDryWet};
constexpr Page kEchoPage = {
    tenthsOf("LEFT CHAN DELAY", 1, 3550, "ms"), centred("L-CHAN FEEDBK LEVEL"),
    tenthsOf("RIGHT CHAN DELAY", 1, 3550, "ms"), centred("R-CHAN FEEDBK LEVEL"), kHighDamp, kDryWet};
constexpr Page kCrossDelayPage = {
    tenthsOf("L -> R DELAY", 1, 3550, "ms"), tenthsOf("R -> L DELAY", 1, 3550, "ms"), kFeedback,
    fromTable("INPUT SELECT", 0, 2, TableId::InputSelect), kHighDamp, kDryWet};
constexpr Page kEarlyReflectionPage = {
    fromTable("TYPE", 0, 5, TableId::EarlyReflectionType), kRoom, kDiffusion, kInitialDelayMs, kFeedback, kDryWet};
constexpr Page kGatePage = {
    fromTable("TYPE", 0, 1, TableId::GateType), kRoom, kDiffusion, kInitialDelayMs, kFeedback, kDryWet};
constexpr Page kKaraokePage = {
    fromTable("DELAY TIME", 0, 127, TableId::KaraokeDelay, "ms"), kFeedback, kHpf, kLpf, off(), kDryWet};
constexpr Page kChorusPage = {
    kLfoFreq, number("LFO P-MOD DEPTH", 0, 127), kFeedback,
    fromTable("DELAY OFFSET", 0, 127, TableId::DelayOffset, "ms"), off(), kDryWet};
constexpr Page kFlangerPage = {
    kLfoFreq, kLfoDepth, kFeedback, fromTable("DELAY OFFSET", 0, 63, TableId::DelayOffset, "ms"), off(), kDryWet};
constexpr Page kSymphonicPage = {
    kLfoFreq, kLfoDepth, fromTable("DELAY OFFSET", 0, 127, TableId::DelayOffset, "ms"), off(), off(), kDryWet};
constexpr Page kRotaryPage = {kLfoFreq, kLfoDepth, off(), off(), off(), kDryWet};
constexpr Page kTremoloPage = {
    kLfoFreq, number("A-MOD DEPTH", 0, 127), number("P-MOD DEPTH", 0, 127), off(), off(), off()};
constexpr Page kAutoPanPage = {
    kLfoFreq, number("L / R DEPTH", 0, 127), number("F / R DEPTH", 0, 127),
    fromTable("PAN DIRECT", 0, 5, TableId::PanDirection), off(), off()};
constexpr Page kPhaserPage = {
    kLfoFreq, kLfoDepth, number("PHASE SHIFT OFFSET", 0, 127), kFeedback, off(), kDryWet};
constexpr Page kDistortionPage = {kDrive, kEqLowFreq, kEqLowGain, kLpf, kOutput, kDryWet};
constexpr Page kAmpSimPage = {
    kDrive, fromTable("AMP TYPE", 0, 3, TableId::AmpType), kLpf, kOutput, off(), kDryWet};
constexpr Page kEq3Page = {
    kEqLowGain, fromTable("EQ  MID FREQ", 28, 54, TableId::EqFrequency, "Hz"),
    fromTable("EQ  MID GAIN", 52, 76, TableId::EqGain, "dB"), tenthsOf("EQ  MID WIDTH", 10, 120),
    fromTable("EQ  HIGH GAIN", 52, 76, TableId::EqGain, "dB"), off()};
constexpr Page kEq2Page = {
    kEqLowFreq, kEqLowGain, fromTable("EQ  HIGH FREQ", 28, 58, TableId::EqFrequency, "Hz"),
    fromTable("EQ  HIGH GAIN", 52, 76, TableId::EqGain, "dB"), off(), off()};
constexpr Page kAutoWahPage = {
    kLfoFreq, kLfoDepth, fromTable("CUTOFF FREQ OFFSET", 0, 127, TableId::CutoffOffset, "Hz"),
    tenthsOf("FILTER RES", 10, 120), off(), kDryWet};

constexpr int kThru = 43;

} // namespace

uint8_t pairOffset(int slot)
{
    return uint8_t(effectPair::variationParaOffset(kParamNumbers[size_t(slot)]));
}

int loadValue(const BulkBlock& common30, int slot)
{
    return effectPair::join14(common30.data(pairOffset(slot)), common30.data(pairOffset(slot) + 1u));
}

void storeValue(BulkBlock& common30, int slot, int value)
{
    const auto [high, low] = effectPair::split14(value);
    common30.data(pairOffset(slot)) = high;
    common30.data(pairOffset(slot) + 1u) = low;
}

std::span<const char* const> table(TableId id) { return info(id).entries; }
int tableBase(TableId id) { return info(id).base; }

const Page& page(int i)
{
    if (i >= 1 && i <= 8) return kReverbPage;
    if (i >= 13 && i <= 14) return kEarlyReflectionPage;
    if (i >= 15 && i <= 16) return kGatePage;
    if (i >= 17 && i <= 19) return kKaraokePage;
    if (i >= 20 && i <= 27) return kChorusPage;
    if (i >= 28 && i <= 30) return kFlangerPage;
    switch (i) {
    case 9: return kDelayLcrPage;
    case 10: return kDelayLrPage;
    case 11: return kEchoPage;
    case 12: return kCrossDelayPage;
    case 31: return kSymphonicPage;
    case 32: return kRotaryPage;
    case 33: return kTremoloPage;
    case 34: return kAutoPanPage;
    case 35: case 36: return kPhaserPage;
    case 37: case 38: return kDistortionPage;
    case 39: return kAmpSimPage;
    case 40: return kEq3Page;
    case 41: return kEq2Page;
    case 42: return kAutoWahPage;
    default: return kOffPage;  // "OFF", "THRU", and no entry at all
    }
}

bool hasDryWet(int i)
{
    return (i >= 1 && i <= 32) || (i >= 35 && i <= 39) || i == 42;
}

std::string tenths(int n, std::string_view decimalSeparator)
{
    const bool negative = n < 0;
    const int a = negative ? -n : n;
    std::string s = (negative ? "-" : "") + std::to_string(a / 10);
    if (a % 10) {
        s += decimalSeparator;
        s += char('0' + a % 10);
    }
    return s;
}

std::string dryWet(int n)
{
    const int v = n - 64;
    if (v < 0)
        return "D" + std::to_string(-v) + " > W";
    if (v == 0)
        return "D = W";
    return "D < W" + std::to_string(v);
}

std::string valueText(const ParamSpec& spec, int n, std::string_view decimalSeparator)
{
    switch (spec.rule) {
    case Rule::Off: return "0";
    case Rule::Number: return std::to_string(n);
    case Rule::Centred: return std::to_string(n - 64);
    case Rule::Tenths: return tenths(n, decimalSeparator) + spec.unit;
    case Rule::DryWet: return dryWet(n);
    case Rule::Table: {
        const TableInfo t = info(spec.table);
        const int k = n - t.base;
        if (k < 0 || size_t(k) >= t.entries.size())
            return std::to_string(n);
        return std::string(t.entries[size_t(k)]) + spec.unit;
    }
    }
    return std::to_string(n);
}

void setControl(VariationControl& c, int min, int max, bool enabled)
{
    c.setEnabled(enabled);
    const int pos = c.position();
    if (pos > max) {
        c.setMinimum(min);
        c.setPosition(max);
        c.setMaximum(max);
    } else if (pos < min) {
        c.setMaximum(max);
        c.setPosition(max);
        c.setMinimum(min);
    } else {
        c.setMaximum(max);
        c.setMinimum(min);
        c.setPosition(max);
    }
}

void setupPage(const std::array<VariationControl*, kSlots>& controls, int typeIndex)
{
    const bool known = typeIndex >= 1 && typeIndex < kThru;
    if (known)
        for (VariationControl* c : controls)
            setControl(*c, 0, 1, true);
    if (hasDryWet(typeIndex)) {
        VariationControl& c = *controls[kSlots - 1];
        c.setName(kDryWet.name);
        c.setMinimum(kDryWet.min);
        c.setMaximum(kDryWet.max);
    }
    const Page& p = page(typeIndex);
    for (int s = 0; s < kSlots; ++s) {
        VariationControl& c = *controls[size_t(s)];
        const ParamSpec& spec = p[size_t(s)];
        c.setName(spec.name);
        setControl(c, spec.min, spec.max, spec.enabled());
        if (!spec.enabled())
            c.setValueText("0");
    }
}

} // namespace kw::vari
