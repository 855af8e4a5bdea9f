#include "model/XgTable.h"

#include "model/Cp1252.h"
#include "model/EffectTables.h"
#include "model/FieldTable.h"
#include "model/NameTables.h"
#include "model/XgMemory.h"

#include <array>
#include <cstdio>
#include <deque>

namespace kw::xg {

namespace {

using T = Table;
using C = Coding;
using S = Show;
using G = Group;
using M = Mark;
using D = DefaultKind;

constexpr const char* kMonoPoly[] = {"Mono", "Poly"};
constexpr const char* kKeyOnAssign[] = {"Single", "Multi", "Inst"};
constexpr const char* kPartMode[] = {"Normal", "Drum", "Drums1", "Drums2"};
constexpr const char* kConnection[] = {"Insertion", "System"};
constexpr const char* kDrumKeyAssign[] = {"Single", "Multi"};

Row byte(T t, uint8_t low, int min, int max, int def, S show, G g, M m, const char* name)
{
    return {t, low, 1, C::Byte, min, max, -1, D::Value, def, def, show, g, m, false, false, name, {}};
}
// A byte of 00-7F that reads as value - 64.
Row signed64(T t, uint8_t low, G g, M m, const char* name)
{
    return byte(t, low, 0, 127, 0x40, S::Signed, g, m, name);
}
// Semitones of 28-58 (-24..+24).
Row semitones(T t, uint8_t low, int def, G g, M m, const char* name)
{
    return byte(t, low, 0x28, 0x58, def, S::Signed, g, m, name);
}
Row unknownDefault(Row r)
{
    r.defaultKind = D::Unknown;
    r.def = r.drumPartDef = r.min;
    return r;
}
Row lessSure(Row r)
{
    r.defaultLessSure = true;
    return r;
}
Row items(Row r, std::span<const char* const> list)
{
    r.show = S::Items;
    r.items = list;
    return r;
}
Row command(uint8_t low, int max, const char* name)
{
    Row r = byte(T::System, low, 0, max, 0, S::Number, G::Master, M::Confirmed, name);
    r.defaultKind = D::Unknown;
    r.command = true;
    return r;
}

// Names of the sixteen effect parameters of one effect.
const char* effectParamName(int effect, int n)
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const char* e : {"Reverb", "Chorus", "Variation"})
            for (int i = 1; i <= 16; ++i)
                v.push_back(std::string(e) + " Parameter " + std::to_string(i));
        return v;
    }();
    return names[size_t(effect * 16 + n - 1)].c_str();
}

void systemRows(std::vector<Row>& t)
{
    t.push_back({T::System, 0x00, 4, C::Nibbles, 0x000, 0x7FF, -1, D::Value, 0x400, 0x400, S::MasterTune,
                 G::Master, M::Confirmed, false, false, "Master Tune", {}});
    t.push_back(byte(T::System, 0x04, 0, 127, 0x7F, S::Number, G::Master, M::Confirmed, "Master Volume"));
    t.push_back(semitones(T::System, 0x06, 0x40, G::Master, M::Confirmed, "Transpose"));
    t.push_back(command(0x7D, 1, "Drum Setup Reset"));
    t.push_back(command(0x7E, 0, "XG System On"));
    t.push_back(command(0x7F, 0, "All Parameter Reset"));
}

void effectRows(std::vector<Row>& t)
{
    const T E = T::Effect;
    auto type = [&](uint8_t low, int def, S show, G g, M m, const char* name) {
        t.push_back({E, low, 2, C::Pair, 0, 0x3FFF, -1, D::Value, def, def, show, g, m, false, false, name, {}});
    };
    auto params = [&](int effect, int first, uint8_t low, const std::vector<int>& defs, G g, M m) {
        for (size_t i = 0; i < defs.size(); ++i) {
            Row r = byte(E, uint8_t(low + i), 0, 127, defs[i], S::Number, g, m, effectParamName(effect, first + int(i)));
            t.push_back(defs[i] < 0 ? unknownDefault(r) : lessSure(r));
        }
    };
    // Reverb, at Hall 1 after XG System On; the defaults of parameters 1-10
    // are Hall 1's, those of 11-16 are nowhere to be had.
    type(0x00, 0x01 << 7, S::ReverbType, G::Reverb, M::Confirmed, "Reverb Type");
    params(0, 1, 0x02, {0x12, 0x0A, 0x08, 0x0D, 0x31, 0, 0, 0, 0, 0}, G::Reverb, M::Confirmed);
    t.push_back(byte(E, 0x0C, 0, 127, 0x40, S::Number, G::Reverb, M::Confirmed, "Reverb Return"));
    t.push_back(byte(E, 0x0D, 1, 127, 0x40, S::Pan, G::Reverb, M::Confirmed, "Reverb Pan"));
    params(0, 11, 0x10, {-1, -1, -1, -1, -1, -1}, G::Reverb, M::Confirmed);
    // Chorus, at Chorus 1.
    type(0x20, 0x41 << 7, S::ChorusType, G::Chorus, M::Confirmed, "Chorus Type");
    params(1, 1, 0x22, {6, 54, 77, 106, 0, 28, 64, 46, 64, 64}, G::Chorus, M::Confirmed);
    t.push_back(byte(E, 0x2C, 0, 127, 0x40, S::Number, G::Chorus, M::Confirmed, "Chorus Return"));
    t.push_back(byte(E, 0x2D, 1, 127, 0x40, S::Pan, G::Chorus, M::Confirmed, "Chorus Pan"));
    t.push_back(byte(E, 0x2E, 0, 127, 0x00, S::Number, G::Chorus, M::Confirmed, "Send Chorus To Reverb"));
    params(1, 11, 0x30, {46, 64, 10, 0, 0, 0}, G::Chorus, M::Confirmed);
    // Variation, at Delay L,C,R; parameters 1-10 are 14-bit pairs (delay
    // times up to four digits).
    type(0x40, 0x05 << 7, S::VariationType, G::Variation, M::Checked, "Variation Type");
    t.back().defaultLessSure = true;
    const int pairDefs[10] = {3333, 1667, 5000, 5000, 74, 100, 10, 0, 0, 32};
    for (int i = 0; i < 10; ++i)
        t.push_back(lessSure({E, uint8_t(0x42 + 2 * i), 2, C::Pair, 0, 0x3FFF, -1, D::Value, pairDefs[i], pairDefs[i],
                              S::Number, G::Variation, M::Confirmed, false, false, effectParamName(2, i + 1), {}}));
    const G V = G::Variation;
    t.push_back(byte(E, 0x56, 0, 127, 0x40, S::Number, V, M::Checked, "Variation Return"));
    t.push_back(byte(E, 0x57, 1, 127, 0x40, S::Pan, V, M::Checked, "Variation Pan"));
    t.push_back(byte(E, 0x58, 0, 127, 0x00, S::Number, V, M::Checked, "Send Variation To Reverb"));
    t.push_back(byte(E, 0x59, 0, 127, 0x00, S::Number, V, M::Checked, "Send Variation To Chorus"));
    t.push_back(lessSure(items(byte(E, 0x5A, 0, 1, 0, S::Items, V, M::Checked, "Variation Connection"), kConnection)));
    Row part = lessSure(byte(E, 0x5B, 0, 15, 0x7F, S::Part, V, M::Checked, "Variation Part"));
    part.extra = 0x7F;
    t.push_back(part);
    t.push_back(signed64(E, 0x5C, V, M::Checked, "MW Variation Control Depth"));
    t.push_back(signed64(E, 0x5D, V, M::Checked, "Bend Variation Control Depth"));
    t.push_back(signed64(E, 0x5E, V, M::Checked, "CAT Variation Control Depth"));
    t.push_back(signed64(E, 0x5F, V, M::Checked, "AC1 Variation Control Depth"));
    t.push_back(signed64(E, 0x60, V, M::Checked, "AC2 Variation Control Depth"));
    params(2, 11, 0x70, {0, 60, 28, 64, 46, 64}, V, M::Checked);
}

// The five rows of one controller source (MW, Bend, CAT, PAT, AC1, AC2)
// from its pitch control on; `pitchDef` is 40 but for the bend (+2).
void controllerRows(std::vector<Row>& t, uint8_t low, const char* src, int pitchDef, int pmodDef, M m)
{
    static std::deque<std::string> names;  // kept, unmoved, for the rows' lifetime
    auto name = [&](const char* what) {
        names.push_back(std::string(src) + " " + what);
        return names.back().c_str();
    };
    const T P = T::Part;
    const G g = G::Controllers;
    t.push_back(semitones(P, low, pitchDef, g, m, name("Pitch Control")));
    t.push_back(byte(P, uint8_t(low + 1), 0, 127, 0x40, S::FilterCents, g, m, name("Filter Control")));
    t.push_back(signed64(P, uint8_t(low + 2), g, m, name("Amplitude Control")));
    t.push_back(byte(P, uint8_t(low + 3), 0, 127, pmodDef, S::Number, g, m, name("LFO PMod Depth")));
    t.push_back(byte(P, uint8_t(low + 4), 0, 127, 0, S::Number, g, m, name("LFO FMod Depth")));
    t.push_back(byte(P, uint8_t(low + 5), 0, 127, 0, S::Number, g, m, name("LFO AMod Depth")));
}

void partRows(std::vector<Row>& t)
{
    const T P = T::Part;
    auto perPart = [](Row r, int drumPart) {
        r.defaultKind = D::DrumPart;
        r.drumPartDef = drumPart;
        return r;
    };
    t.push_back(perPart(byte(P, 0x00, 0, 32, 2, S::Number, G::Voice, M::Checked, "Element Reserve"), 0));
    t.push_back(perPart(byte(P, 0x01, 0, 127, 0, S::Number, G::Voice, M::Checked, "Bank Select MSB"), 0x7F));
    t.push_back(byte(P, 0x02, 0, 127, 0, S::Number, G::Voice, M::Checked, "Bank Select LSB"));
    t.push_back(byte(P, 0x03, 0, 127, 0, S::Program, G::Voice, M::Checked, "Program Number"));
    Row channel = byte(P, 0x04, 0, 15, 0, S::Channel, G::Voice, M::Confirmed, "Rcv Channel");
    channel.extra = 0x7F;
    channel.defaultKind = D::PartNumber;
    t.push_back(channel);
    t.push_back(items(byte(P, 0x05, 0, 1, 1, S::Items, G::Voice, M::Confirmed, "Mono/Poly Mode"), kMonoPoly));
    t.push_back(items(byte(P, 0x06, 0, 2, 1, S::Items, G::Voice, M::Confirmed, "Same Note Number Key On Assign"),
                      kKeyOnAssign));
    t.push_back(perPart(items(byte(P, 0x07, 0, 3, 0, S::Items, G::Voice, M::Checked, "Part Mode"), kPartMode), 2));
    t.push_back(semitones(P, 0x08, 0x40, G::Pitch, M::Confirmed, "Note Shift"));
    t.push_back({P, 0x09, 2, C::Nibbles, 0x00, 0xFF, -1, D::Value, 0x80, 0x80, S::Detune, G::Pitch, M::Confirmed,
                 false, false, "Detune", {}});
    t.push_back(byte(P, 0x0B, 0, 127, 100, S::Number, G::Level, M::Checked, "Volume"));
    t.push_back(byte(P, 0x0C, 0, 127, 0x40, S::Number, G::Level, M::Checked, "Velocity Sense Depth"));
    t.push_back(byte(P, 0x0D, 0, 127, 0x40, S::Number, G::Level, M::Checked, "Velocity Sense Offset"));
    Row pan = byte(P, 0x0E, 1, 127, 0x40, S::Pan, G::Level, M::Checked, "Pan");
    pan.extra = 0;
    t.push_back(pan);
    t.push_back(byte(P, 0x0F, 0, 127, 0x00, S::Note, G::Limits, M::Checked, "Note Limit Low"));
    t.push_back(byte(P, 0x10, 0, 127, 0x7F, S::Note, G::Limits, M::Checked, "Note Limit High"));
    t.push_back(byte(P, 0x11, 0, 127, 0x7F, S::Number, G::Level, M::Checked, "Dry Level"));
    t.push_back(byte(P, 0x12, 0, 127, 0x00, S::Number, G::Level, M::Checked, "Chorus Send"));
    t.push_back(byte(P, 0x13, 0, 127, 40, S::Number, G::Level, M::Checked, "Reverb Send"));
    t.push_back(byte(P, 0x14, 0, 127, 0x00, S::Number, G::Level, M::Checked, "Variation Send"));
    const char* const tone[] = {"Vibrato Rate", "Vibrato Depth", "Vibrato Delay", "Filter Cutoff Frequency",
                                "Filter Resonance", "EG Attack Time", "EG Decay Time", "EG Release Time"};
    for (int i = 0; i < 8; ++i)
        t.push_back(signed64(P, uint8_t(0x15 + i), G::Tone, M::Checked, tone[i]));
    controllerRows(t, 0x1D, "MW", 0x40, 0x0A, M::Checked);
    // Bend: its pitch control is sure, the rest rests on independent sources.
    controllerRows(t, 0x23, "Bend", 0x42, 0x00, M::Independent);
    t[t.size() - 6].mark = M::Checked;
    const char* const rcv[] = {"Rcv Pitch Bend", "Rcv Channel After Touch", "Rcv Program Change",
                               "Rcv Control Change", "Rcv Poly After Touch", "Rcv Note Message", "Rcv RPN",
                               "Rcv NRPN", "Rcv Modulation", "Rcv Volume", "Rcv Pan", "Rcv Expression",
                               "Rcv Hold1", "Rcv Portamento", "Rcv Sostenuto", "Rcv Soft Pedal",
                               "Rcv Bank Select"};
    for (int i = 0; i < 17; ++i)
        t.push_back(byte(P, uint8_t(0x30 + i), 0, 1, 1, S::OnOff, G::Receive, M::Independent, rcv[i]));
    const char* const scale[] = {"Scale Tuning C", "Scale Tuning C#", "Scale Tuning D", "Scale Tuning D#",
                                 "Scale Tuning E", "Scale Tuning F", "Scale Tuning F#", "Scale Tuning G",
                                 "Scale Tuning G#", "Scale Tuning A", "Scale Tuning A#", "Scale Tuning B"};
    for (int i = 0; i < 12; ++i)
        t.push_back(signed64(P, uint8_t(0x41 + i), G::Pitch, M::Independent, scale[i]));
    controllerRows(t, 0x4D, "CAT", 0x40, 0x00, M::Independent);
    controllerRows(t, 0x53, "PAT", 0x40, 0x00, M::Confirmed);
    t.push_back(byte(P, 0x59, 0, 0x5F, 0x10, S::Controller, G::Controllers, M::Confirmed, "AC1 Controller Number"));
    controllerRows(t, 0x5A, "AC1", 0x40, 0x00, M::Confirmed);
    t.push_back(byte(P, 0x60, 0, 0x5F, 0x11, S::Controller, G::Controllers, M::Confirmed, "AC2 Controller Number"));
    controllerRows(t, 0x61, "AC2", 0x40, 0x00, M::Confirmed);
    t.push_back(byte(P, 0x67, 0, 1, 0, S::OnOff, G::Pitch, M::Confirmed, "Portamento Switch"));
    t.push_back(byte(P, 0x68, 0, 127, 0, S::Number, G::Pitch, M::Confirmed, "Portamento Time"));
    t.push_back(signed64(P, 0x69, G::Pitch, M::Confirmed, "Pitch EG Initial Level"));
    t.push_back(signed64(P, 0x6A, G::Pitch, M::Checked, "Pitch EG Attack Time"));
    t.push_back(signed64(P, 0x6B, G::Pitch, M::Checked, "Pitch EG Release Level"));
    t.push_back(signed64(P, 0x6C, G::Pitch, M::Checked, "Pitch EG Release Time"));
    t.push_back(byte(P, 0x6D, 1, 127, 0x01, S::Number, G::Limits, M::Checked, "Velocity Limit Low"));
    t.push_back(byte(P, 0x6E, 1, 127, 0x7F, S::Number, G::Limits, M::Checked, "Velocity Limit High"));
}

void drumRows(std::vector<Row>& t)
{
    const T R = T::Drum;
    const G g = G::Drum;
    const M m = M::Confirmed;
    t.push_back(signed64(R, 0x00, g, m, "Pitch Coarse"));
    t.push_back(signed64(R, 0x01, g, m, "Pitch Fine"));
    // Level, group, pan and the two sends come with the kit, note by note.
    t.push_back(unknownDefault(byte(R, 0x02, 0, 127, 0, S::Number, g, m, "Level")));
    t.push_back(unknownDefault(byte(R, 0x03, 0, 127, 0, S::AltGroup, g, m, "Alternate Group")));
    Row pan = unknownDefault(byte(R, 0x04, 1, 127, 0, S::Pan, g, m, "Pan"));
    pan.extra = 0;
    t.push_back(pan);
    t.push_back(unknownDefault(byte(R, 0x05, 0, 127, 0, S::Number, g, m, "Reverb Send")));
    t.push_back(unknownDefault(byte(R, 0x06, 0, 127, 0, S::Number, g, m, "Chorus Send")));
    t.push_back(byte(R, 0x07, 0, 127, 0x7F, S::Number, g, m, "Variation Send"));
    t.push_back(items(byte(R, 0x08, 0, 1, 0, S::Items, g, m, "Key Assign"), kDrumKeyAssign));
    t.push_back(unknownDefault(byte(R, 0x09, 0, 1, 0, S::OnOff, g, m, "Rcv Note Off")));
    t.push_back(byte(R, 0x0A, 0, 1, 1, S::OnOff, g, m, "Rcv Note On"));
    t.push_back(signed64(R, 0x0B, g, m, "Filter Cutoff Frequency"));
    t.push_back(signed64(R, 0x0C, g, m, "Filter Resonance"));
    t.push_back(signed64(R, 0x0D, g, m, "EG Attack Rate"));
    t.push_back(signed64(R, 0x0E, g, m, "EG Decay1 Rate"));
    t.push_back(signed64(R, 0x0F, g, m, "EG Decay2 Rate"));
}

constexpr Block kBlocks[] = {
    // The sources print 06 for the system block as well as 07; 07 is what
    // its four parameters fill.
    {"system", T::System, 0x00, 0x07, M::Confirmed},
    {"reverb", T::Effect, 0x00, 0x0E, M::Confirmed},
    {"reverb parameters 11-16", T::Effect, 0x10, 0x06, M::Confirmed},
    {"chorus", T::Effect, 0x20, 0x0F, M::Confirmed},
    {"chorus parameters 11-16", T::Effect, 0x30, 0x06, M::Confirmed},
    {"variation", T::Effect, 0x40, 0x21, M::Checked},
    {"variation parameters 11-16", T::Effect, 0x70, 0x06, M::Checked},
    {"part block 1", T::Part, 0x00, 0x29, M::Single},
    {"part block 2", T::Part, 0x30, 0x3F, M::Checked},
    {"drum note", T::Drum, 0x00, 0x10, M::Confirmed},
};

std::string signedText(int n)
{
    return n > 0 ? "+" + std::to_string(n) : std::to_string(n);
}

// Tenths as "+1.5", "0.0", "-12.8".
std::string tenths(int n)
{
    const int a = n < 0 ? -n : n;
    std::string s = std::to_string(a / 10) + "." + std::to_string(a % 10);
    return n > 0 ? "+" + s : n < 0 ? "-" + s : s;
}

std::string typeText(std::optional<int> index, std::span<const fx::EffectType> list, int value)
{
    if (index)
        return list[size_t(*index)].name;
    return "?? (" + std::to_string(value >> 7) + ", " + std::to_string(value & 0x7F) + ")";
}

} // namespace

const char* tableName(Table t)
{
    switch (t) {
    case Table::System: return "XG System";
    case Table::Effect: return "Multi Effect";
    case Table::Part: return "Multi Part";
    case Table::Drum: return "Drum Setup";
    }
    return "";
}

const char* markName(Mark m)
{
    switch (m) {
    case Mark::Confirmed: return "confirmed";
    case Mark::Checked: return "checked";
    case Mark::Independent: return "independent sources only";
    case Mark::Single: return "one source";
    }
    return "";
}

const char* groupName(Group g)
{
    switch (g) {
    case Group::Master: return "Master";
    case Group::Reverb: return "Reverb";
    case Group::Chorus: return "Chorus";
    case Group::Variation: return "Variation";
    case Group::Voice: return "Voice";
    case Group::Level: return "Level";
    case Group::Pitch: return "Pitch";
    case Group::Tone: return "Tone";
    case Group::Limits: return "Limits";
    case Group::Controllers: return "Controllers";
    case Group::Receive: return "Receive";
    case Group::Drum: return "Drum";
    }
    return "";
}

std::optional<int> Row::defaultFor(int part) const
{
    switch (defaultKind) {
    case DefaultKind::Value: return def;
    case DefaultKind::DrumPart: return part == 9 ? drumPartDef : def;
    case DefaultKind::PartNumber: return part;
    case DefaultKind::Unknown: return std::nullopt;
    }
    return std::nullopt;
}

const std::vector<Row>& rows()
{
    static const std::vector<Row> all = [] {
        std::vector<Row> t;
        systemRows(t);
        effectRows(t);
        partRows(t);
        drumRows(t);
        return t;
    }();
    return all;
}

std::vector<const Row*> rowsOf(Table t)
{
    std::vector<const Row*> out;
    for (const Row& r : rows())
        if (r.table == t)
            out.push_back(&r);
    return out;
}

const Row* rowAt(Table t, uint8_t low)
{
    // Built once: a look-up per incoming message must not walk the list.
    static const auto index = [] {
        std::array<std::array<const Row*, 128>, kTables> ix{};
        for (const Row& r : rows())
            ix[size_t(r.table)][r.low] = &r;
        return ix;
    }();
    return low < 128 ? index[size_t(t)][low] : nullptr;
}

std::string addressText(Address a)
{
    char buf[12];
    std::snprintf(buf, sizeof buf, "%02X %02X %02X", a.high, a.mid, a.low);
    return buf;
}

Address Param::address() const
{
    switch (row->table) {
    case Table::System: return {kSystemHigh, 0x00, row->low};
    case Table::Effect: return {kEffectHigh, kEffectMid, row->low};
    case Table::Part: return {kPartHigh, uint8_t(part), row->low};
    case Table::Drum: return {uint8_t(kDrumHigh + setup), uint8_t(note), row->low};
    }
    return {};
}

std::string Param::name() const
{
    switch (row->table) {
    case Table::System:
    case Table::Effect: return row->name;
    case Table::Part: return "part " + std::to_string(part + 1) + " " + row->name;
    case Table::Drum: return "drum setup " + std::to_string(setup + 1) + " " + noteName(note) + " " + row->name;
    }
    return {};
}

std::optional<Param> paramAt(Address a)
{
    const Row* r = nullptr;
    Param p;
    if (a.high == kSystemHigh && a.mid == 0x00) {
        r = rowAt(Table::System, a.low);
    } else if (a.high == kEffectHigh && a.mid == kEffectMid) {
        r = rowAt(Table::Effect, a.low);
    } else if (a.high == kPartHigh && a.mid < kParts) {
        r = rowAt(Table::Part, a.low);
        p.part = a.mid;
    } else if ((a.high == kDrumHigh || a.high == kDrumHigh + 1) && a.mid >= kFirstDrumNote && a.mid <= kLastDrumNote) {
        r = rowAt(Table::Drum, a.low);
        p.setup = a.high - kDrumHigh;
        p.note = a.mid;
    }
    if (!r || r->command)
        return std::nullopt;
    p.row = r;
    return p;
}

const Row* commandAt(Address a)
{
    if (a.high != kSystemHigh || a.mid != 0x00)
        return nullptr;
    const Row* r = rowAt(Table::System, a.low);
    return r && r->command ? r : nullptr;
}

std::vector<Param> allParams()
{
    std::vector<Param> out;
    for (const Row& r : rows()) {
        if (r.command)
            continue;
        switch (r.table) {
        case Table::System:
        case Table::Effect: out.push_back({&r}); break;
        case Table::Part:
            for (int p = 0; p < kParts; ++p)
                out.push_back({&r, p});
            break;
        case Table::Drum: break;  // below, note by note
        }
    }
    for (int s = 0; s < kDrumSetups; ++s)
        for (int n = kFirstDrumNote; n <= kLastDrumNote; ++n)
            for (const Row* r : rowsOf(Table::Drum))
                out.push_back({r, 0, s, n});
    return out;
}

bool encodeInto(const Row& row, int value, uint8_t* out)
{
    if (!row.takes(value))
        return false;
    switch (row.coding) {
    case Coding::Byte: out[0] = uint8_t(value); break;
    case Coding::Nibbles:
        for (size_t i = 0; i < row.size; ++i)
            out[i] = uint8_t((value >> (4 * (row.size - 1 - i))) & 0x0F);
        break;
    case Coding::Pair:
        out[0] = uint8_t(value >> 7);
        out[1] = uint8_t(value & 0x7F);
        break;
    }
    return true;
}

std::optional<std::vector<uint8_t>> encode(const Row& row, int value)
{
    std::vector<uint8_t> d(row.size);
    if (!encodeInto(row, value, d.data()))
        return std::nullopt;
    return d;
}

std::optional<int> decode(const Row& row, std::span<const uint8_t> data)
{
    if (data.size() != row.size)
        return std::nullopt;
    int v = 0;
    for (const uint8_t b : data) {
        switch (row.coding) {
        case Coding::Byte:
            if (b > 0x7F)
                return std::nullopt;
            v = b;
            break;
        case Coding::Nibbles:
            if (b > 0x0F)
                return std::nullopt;
            v = v << 4 | b;
            break;
        case Coding::Pair:
            if (b > 0x7F)
                return std::nullopt;
            v = v << 7 | b;
            break;
        }
    }
    return v;
}

std::string text(const Param& p, int value, const Memory* memory)
{
    const Row& r = *p.row;
    if (!r.takes(value))
        return "?? (" + std::to_string(value) + ")";
    switch (r.show) {
    case Show::Number: return std::to_string(value);
    case Show::Signed: return signedText(value - 64);
    case Show::MasterTune: return tenths(value - 0x400) + " cent";
    case Show::Detune: return tenths(value - 0x80) + " Hz";
    case Show::FilterCents: return signedText((value - 64) * 150) + " cent";
    case Show::Pan: return value == 0 ? "Random" : pan::label(value);
    case Show::Note: return noteName(value);
    case Show::OnOff: return value ? "On" : "Off";
    case Show::Items: return size_t(value) < r.items.size() ? r.items[size_t(value)] : std::to_string(value);
    case Show::Channel: return value == 0x7F ? "Off" : "Ch " + std::to_string(value + 1);
    case Show::Part: return value == 0x7F ? "Off" : "Part " + std::to_string(value + 1);
    case Show::Controller: return "CC " + std::to_string(value);
    case Show::AltGroup: return value == 0 ? "Off" : std::to_string(value);
    case Show::Program: {
        char number[16];
        std::snprintf(number, sizeof number, "%03d", value + 1);
        if (!memory)
            return number;
        const Row* msb = rowAt(Table::Part, 0x01);
        const Row* lsb = rowAt(Table::Part, 0x02);
        const int bank = bankRowOf(uint8_t(memory->value({msb, p.part})), uint8_t(memory->value({lsb, p.part})));
        return bank < 0 ? std::string(number) : cp1252ToUtf8(voiceEntry(bank, value));
    }
    case Show::ReverbType:
        return typeText(fx::reverbIndexOf(uint8_t(value >> 7), uint8_t(value & 0x7F)), fx::reverbTypes(), value);
    case Show::ChorusType:
        return typeText(fx::chorusIndexOf(uint8_t(value >> 7), uint8_t(value & 0x7F)), fx::chorusTypes(), value);
    case Show::VariationType: {
        const auto i = fx::variationIndexOf(uint8_t(value >> 7), uint8_t(value & 0x7F));
        if (i)
            return fx::variationTypes()[size_t(*i)].name;
        return typeText(std::nullopt, fx::reverbTypes(), value);
    }
    }
    return std::to_string(value);
}

std::span<const Block> blocks() { return kBlocks; }

std::optional<BlockAt> blockAt(Address a)
{
    BlockAt at;
    Table t;
    if (a.high == kSystemHigh && a.mid == 0x00) {
        t = Table::System;
    } else if (a.high == kEffectHigh && a.mid == kEffectMid) {
        t = Table::Effect;
    } else if (a.high == kPartHigh && a.mid < kParts) {
        t = Table::Part;
        at.part = a.mid;
    } else if ((a.high == kDrumHigh || a.high == kDrumHigh + 1) && a.mid >= kFirstDrumNote && a.mid <= kLastDrumNote) {
        t = Table::Drum;
        at.setup = a.high - kDrumHigh;
        at.note = a.mid;
    } else {
        return std::nullopt;
    }
    for (const Block& b : kBlocks) {
        if (b.table == t && b.low == a.low) {
            at.block = &b;
            at.top = a;
            return at;
        }
    }
    return std::nullopt;
}

} // namespace kw::xg
