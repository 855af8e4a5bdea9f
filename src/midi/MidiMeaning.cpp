#include "midi/MidiMeaning.h"

#include "midi/HexText.h"
#include "model/Arpeggiator.h"
#include "model/Cp1252.h"
#include "model/EffectTables.h"
#include "midi/XgMessages.h"
#include "model/FieldTable.h"
#include "model/NameTables.h"
#include "model/PerformanceImage.h"
#include "model/ValueLists.h"
#include "model/VariationPages.h"

#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

namespace kw {

namespace {

std::string number3(int n)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", n);
    return buf;
}

// "common 00", "layer 2", "common 30 of user performance 005", "layer 4 of
// user performance 128".
std::optional<std::string> blockName(uint8_t ah, uint8_t am, uint8_t al)
{
    for (int k = 0; k < kBlockKinds; ++k) {
        const BlockInfo b = blockInfo(BlockKind(k));
        if (b.addrHigh != ah || b.addrLow != al || (!b.userForm && b.addrMid != am))
            continue;
        std::string s = b.layer ? "layer " + std::to_string(b.layer) : "common " + hexByte(al);
        if (b.userForm)
            s += " of user performance " + number3(am + 1);
        return s;
    }
    return std::nullopt;
}

std::string address(uint8_t ah, uint8_t am, uint8_t al)
{
    return hexByte(ah) + " " + hexByte(am) + " " + hexByte(al);
}

// The longest start of every name that ends where a word ends in each.
std::string sharedWords(const std::vector<const char*>& names)
{
    std::string first = names.front();
    size_t n = first.size();
    for (const char* name : names) {
        const std::string s = name;
        size_t i = 0;
        while (i < n && i < s.size() && s[i] == first[i])
            ++i;
        n = i;
    }
    for (; n > 0; --n) {
        bool boundary = true;
        for (const char* name : names) {
            const std::string s = name;
            if (n < s.size() && !std::isupper(static_cast<unsigned char>(s[n])))
                boundary = false;
        }
        if (boundary)
            break;
    }
    return first.substr(0, n);
}

// How a parameter change reaches a field: one byte at its own address, a
// pair from the pair's first address, or one byte at the second address of
// a pair (or of a layer's two-byte field).
enum class Reach { One, Pair, Second };

// A row the message reaches, with the assign bank it reaches it in.
struct Hit {
    const FieldRow* row;
    int tab;
};

std::vector<Hit> rowsAt(const std::vector<FieldRow>& table, BlockKind block, uint8_t offset, Reach reach)
{
    std::vector<Hit> hits;
    for (const FieldRow& r : table) {
        if (r.block != block)
            continue;
        for (int tab = 0; tab < (r.tabStride ? assignBank::kBanks : 1); ++tab) {
            const bool hit = reach == Reach::One    ? r.offsetFor(tab) == offset
                             : reach == Reach::Pair ? r.pairOffset(tab) == offset
                                                    : (r.send == SendKind::Param2 || r.send == SendKind::LayerBulk)
                                                          && r.pairOffset(tab) + 1 == offset;
            if (hit)
                hits.push_back({&r, tab});
        }
    }
    return hits;
}

std::string bankOf(const Hit& h)
{
    return h.row->tabStride ? " (bank " + std::to_string(h.tab + 1) + ")" : std::string();
}

bool named(const Hit& h, std::string_view control) { return control == h.row->control; }

const Hit* find(const std::vector<Hit>& hits, std::string_view control)
{
    for (const Hit& h : hits)
        if (named(h, control))
            return &h;
    return nullptr;
}

// The rows' name as the monitor has always given it: the words they share,
// the bank of the assign rows, and which byte of a pair it is.
std::string sharedName(const std::vector<Hit>& hits, Reach reach, uint8_t value)
{
    std::vector<const char*> names;
    std::string bank;
    for (const Hit& h : hits) {
        bank = bankOf(h);
        if (reach == Reach::One && h.row->encoding == Encoding::Radio && h.row->onValue == value)
            return spacedName(h.row->control) + bank;
        if (reach == Reach::One || h.row->encoding != Encoding::Radio)
            names.push_back(h.row->control);
    }
    if (names.empty())
        return {};
    const std::string shared = sharedWords(names);
    return spacedName(shared.empty() ? names.front() : shared.c_str()) + bank
           + (reach == Reach::Second ? ", second byte" : "");
}

// The entries of a list the stored byte picks, as the list shows them.
std::optional<std::string> listEntry(const FieldRow& row, int entry, const MeaningContext& context)
{
    const auto pick = [entry](const auto& items) -> std::optional<std::string> {
        if (entry < 0 || size_t(entry) >= items.size())
            return std::nullopt;
        return std::string(items[size_t(entry)]);
    };
    const std::string_view c = row.control;
    if (c == "PatchVoiceNumber")
        return context.bankRow >= 0 ? cp1252ToUtf8(voiceEntry(context.bankRow, row.positionFromStored(uint8_t(entry))))
                                    : number3(row.positionFromStored(uint8_t(entry)) + 1);
    if (c == "PerformanceType")
        return pick(performanceTypeItems());
    if (c == "Assign1Para")
        return pick(assign1ParaItems());
    if (c == "Assign2Para")
        return pick(assign2ParaItems());
    if (c == "ArpeggioType")
        return pick(arp::typeItems());
    if (c == "ArpeggioSubdiv")
        return pick(arp::subdivItems());
    return std::nullopt;
}

// A row's name without the words it shares with `shared`: "Layer2" of
// "Assign2Layer2".
std::string restOf(const char* control, const std::string& shared)
{
    return spacedName(control + shared.size());
}

// One byte, as the controls of the rows it reaches show it.
std::optional<std::string> oneByte(const std::vector<Hit>& hits, uint8_t v, const MeaningContext& context)
{
    // Pan and random pan share a byte: 0 is random.
    if (find(hits, "PanPot")) {
        const pan::View view = pan::fromStored(v);
        return view.random ? spacedName("RandomPan") + " on" : spacedName("PanPot") + " " + pan::label(view.position);
    }
    // Three boxes over the arpeggiator's mode byte.
    if (find(hits, "ArpModeOn")) {
        const arpMode::Boxes boxes = arpMode::boxesFromByte(v);
        const auto box = [](const char* control, bool on) {
            return restOf(control, "ArpMode") + (on ? " on" : " off");
        };
        return spacedName("ArpMode") + " " + box("ArpModeOn", boxes.on) + ", " + box("ArpModeHold", boxes.hold)
               + ", " + box("ArpModeSplit", boxes.split);
    }
    bool radios = false;
    for (const Hit& h : hits)
        if (h.row->encoding == Encoding::Radio) {
            radios = true;
            if (h.row->onValue == v)
                return spacedName(h.row->control) + bankOf(h);
        }
    if (radios || hits.size() != 1)
        return std::nullopt;
    const Hit& h = hits.front();
    const FieldRow& r = *h.row;
    const std::string name = spacedName(r.control) + bankOf(h);
    if (r.encoding == Encoding::CheckBox)
        return name + (r.positionFromStored(v) ? " on" : " off");
    if (r.encoding == Encoding::Special)
        return std::nullopt;
    if (r.label == LabelRule::ItemText) {
        const auto entry = listEntry(r, v, context);
        return entry ? std::optional(name + " " + *entry) : std::nullopt;
    }
    if (r.label == LabelRule::None)
        return std::nullopt;
    return name + " " + r.labelText(r.positionFromStored(v), context.decimalSeparator);
}

// A pair from its first address, as the controls of the rows it reaches show it.
std::optional<std::string> pair(const std::vector<Hit>& hits, uint8_t high, uint8_t low, const MeaningContext& context)
{
    if (find(hits, "ArpTempo")) {
        const tempo::View view = tempo::fromStored(high, low);
        return view.midiClock ? spacedName("ArpTempoMidi") + " on" : spacedName("ArpTempo") + " " + view.label;
    }
    const auto type = [&](const char* control, auto index, auto types) -> std::optional<std::string> {
        if (!find(hits, control))
            return std::nullopt;
        const auto i = index(high, low);
        return i ? std::optional(spacedName(control) + " " + types()[size_t(*i)].name) : std::nullopt;
    };
    if (auto t = type("ReverbType", fx::reverbIndexOf, fx::reverbTypes))
        return t;
    if (auto t = type("ChorusType", fx::chorusIndexOf, fx::chorusTypes))
        return t;
    if (auto t = type("VariType", fx::variationIndexOf, fx::variationTypes))
        return t;
    for (int slot = 0; slot < vari::kSlots; ++slot) {
        if (!find(hits, "VPara" + std::to_string(vari::kParamNumbers[size_t(slot)])))
            continue;
        // The bar's caption and label on the page of the variation type.
        const vari::ParamSpec& spec = vari::page(context.variationType)[size_t(slot)];
        if (!spec.enabled())
            return std::nullopt;
        return std::string("Variation ") + spec.name + " "
               + vari::valueText(spec, effectPair::join14(high, low), context.decimalSeparator);
    }
    // An assign bank's layer and parameter.
    for (const Hit& h : hits) {
        if (!named(h, "Assign2Para"))
            continue;
        const Hit* layer = nullptr;
        for (const Hit& l : hits)
            if (l.row->encoding == Encoding::Radio && l.tab == h.tab && l.row->onValue == high)
                layer = &l;
        const auto entry = listEntry(*h.row, low, context);
        if (!layer || !entry)
            return std::nullopt;
        return spacedName("Assign2") + bankOf(h) + " " + restOf(layer->row->control, "Assign2") + ", "
               + restOf(h.row->control, "Assign2") + " " + *entry;
    }
    return std::nullopt;
}

// F0 43 1n 4B ah am al v [v2] F7
std::string parameterChange(ByteView m, const MeaningContext& context)
{
    const uint8_t ah = m[4], am = m[5], al = m[6];
    const bool isPair = m.size() == 10;
    std::vector<Hit> hits;
    Reach reach = isPair ? Reach::Pair : Reach::One;
    std::string where;
    const auto look = [&](const std::vector<FieldRow>& table, BlockKind block, uint8_t offset) {
        hits = rowsAt(table, block, offset, reach);
        if (hits.empty() && !isPair) {
            reach = Reach::Second;
            hits = rowsAt(table, block, offset, reach);
        }
    };
    if (ah == 0x60 && am >= 1 && am <= 4) {
        where = "layer " + std::to_string(am) + " ";
        look(layerFieldTable(), BlockKind::Layer1, al);
    } else if (ah == 0x60 && am == 0) {
        const BlockKind block = al < 0x30 ? BlockKind::Common00 : al < 0x50 ? BlockKind::Common30 : BlockKind::Common50;
        where = "common ";
        look(commonFieldTable(), block, uint8_t(al - blockInfo(block).addrLow));
    }
    if (hits.empty())
        return "Parameter change " + address(ah, am, al) + " = " + std::to_string(m[7])
               + (isPair ? ", " + std::to_string(m[8]) : std::string());
    const std::optional<std::string> shown = reach == Reach::One  ? oneByte(hits, m[7], context)
                                             : reach == Reach::Pair ? pair(hits, m[7], m[8], context)
                                                                    : std::nullopt;
    if (shown)
        return "Parameter change " + where + *shown;
    return "Parameter change " + where + sharedName(hits, reach, m[7]) + " = " + std::to_string(m[7])
           + (isPair ? ", " + std::to_string(m[8]) : std::string());
}

std::string yamaha(ByteView m, const MeaningContext& context)
{
    const size_t n = m.size();
    if (const std::string xg = xg::meaning(m); !xg.empty())
        return xg;
    if (n >= 9 && m[3] == 0x4B && (m[2] & 0xF0) == 0x10 && (n == 9 || n == 10))
        return parameterChange(m, context);
    if (n == 8 && m[3] == 0x4B && (m[2] & 0xF0) == 0x20) {
        const auto name = blockName(m[4], m[5], m[6]);
        return "Dump request " + (name ? *name : address(m[4], m[5], m[6]));
    }
    if (n >= 11 && m[3] == 0x4B && (m[2] & 0xF0) == 0x00) {
        const auto name = blockName(m[6], m[7], m[8]);
        std::string s = "Bulk dump " + (name ? *name : address(m[6], m[7], m[8]));
        if ((size_t(m[4]) << 7 | m[5]) != n - 11)
            s += " (wrong length)";
        else if (bulkChecksum(m) != m[n - 2])
            s += " (wrong checksum)";
        return s;
    }
    return "Yamaha SysEx, " + std::to_string(n) + " bytes";
}

std::string sysEx(ByteView m, const MeaningContext& context)
{
    const size_t n = m.size();
    if (n < 3 || m.back() != 0xF7)
        return "SysEx, incomplete";
    if (m[1] == 0x7E && n == 6 && m[3] == 0x06 && m[4] == 0x01)
        return "Identity request";
    if (m[1] == 0x7E && n >= 10 && m[3] == 0x06 && m[4] == 0x02) {
        if (m[5] == 0x43 && m[6] == 0x00 && m[7] == 0x41)
            return "Identity reply CS1x";
        return "Identity reply, manufacturer " + hexByte(m[5]) + " family " + hexByte(m[6]) + " " + hexByte(m[7]);
    }
    if (m[1] == 0x43)
        return yamaha(m, context);
    if (m[1] == 0x7E || m[1] == 0x7F)
        return "Universal SysEx, " + std::to_string(n) + " bytes";
    return "SysEx, manufacturer " + hexByte(m[1]) + ", " + std::to_string(n) + " bytes";
}

const char* controllerName(uint8_t c)
{
    switch (c) {
    case 0: return "Bank select MSB";
    case 1: return "Modulation";
    case 5: return "Portamento time";
    case 6: return "Data entry";
    case 7: return "Volume";
    case 10: return "Pan";
    case 11: return "Expression";
    case 32: return "Bank select LSB";
    case 64: return "Sustain";
    case 65: return "Portamento";
    case 71: return "Resonance";
    case 72: return "Release";
    case 73: return "Attack";
    case 74: return "Cutoff";
    case 91: return "Reverb";
    case 93: return "Chorus";
    case 94: return "Variation";
    case 120: return "All sound off";
    case 121: return "Reset controllers";
    case 123: return "All notes off";
    default: return nullptr;
    }
}

std::string system(uint8_t status)
{
    switch (status) {
    case 0xF1: return "MIDI time code";
    case 0xF2: return "Song position";
    case 0xF3: return "Song select";
    case 0xF6: return "Tune request";
    case 0xF8: return "Clock";
    case 0xFA: return "Start";
    case 0xFB: return "Continue";
    case 0xFC: return "Stop";
    case 0xFE: return "Active sensing";
    case 0xFF: return "Reset";
    default: return "System message " + hexByte(status);
    }
}

// A parameter change of the edit buffer: F0 43 1n 4B 60 am al v [v2] F7.
bool editParameterChange(ByteView m)
{
    return (m.size() == 9 || m.size() == 10) && m[0] == 0xF0 && m[1] == 0x43 && (m[2] & 0xF0) == 0x10
           && m[3] == 0x4B && m[4] == 0x60;
}

constexpr uint8_t kVoiceOffset = 0x02;
// Common 30's variation parameters, from the first to the last pair.
constexpr uint8_t kFirstVariationAddress = 0x30 + 0x06, kLastVariationAddress = 0x30 + 0x11;

} // namespace

bool needsContext(ByteView m)
{
    if (!editParameterChange(m))
        return false;
    const uint8_t am = m[5], al = m[6];
    return (am >= 1 && am <= 4 && al == kVoiceOffset)
           || (am == 0 && al >= kFirstVariationAddress && al <= kLastVariationAddress);
}

MeaningContext meaningContext(ByteView m, const BlockSet& edit)
{
    MeaningContext c;
    if (!needsContext(m))
        return c;
    if (m[5] >= 1 && m[5] <= 4) {
        const BulkBlock& layer = edit.layer(m[5]);
        // A pair the bank table does not hold lists the last bank's voices,
        // as the voice list does.
        const int row = bankRowOf(layer.data(0x00), layer.data(0x01));
        c.bankRow = row >= 0 ? row : kBankRows - 1;
    } else {
        const BulkBlock& c30 = edit[BlockKind::Common30];
        c.variationType = fx::variationIndexOf(c30.data(effectPair::kVariType), c30.data(effectPair::kVariType + 1u))
                              .value_or(-1);
    }
    return c;
}

MessageKind messageKind(ByteView m)
{
    if (m.empty())
        return MessageKind::Other;
    switch (m[0] >> 4) {
    case 0x8:
    case 0x9:
    case 0xA: return MessageKind::Note;
    case 0xB:
    case 0xC:
    case 0xD:
    case 0xE: return MessageKind::Controller;
    default: return m[0] == 0xF0 ? MessageKind::SysEx : MessageKind::Other;
    }
}

std::string spacedName(const char* control)
{
    const std::string s = control;
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto at = [&](size_t j) { return static_cast<unsigned char>(s[j]); };
        // A word starts at a capital after a small letter or a digit, or at
        // the last capital of a run that a small letter follows ("AEGAtk").
        if (i > 0 && std::isupper(at(i))
            && (std::islower(at(i - 1)) || std::isdigit(at(i - 1))
                || (std::isupper(at(i - 1)) && i + 1 < s.size() && std::islower(at(i + 1)))))
            out += ' ';
        out += s[i];
    }
    return out;
}

std::string messageMeaning(ByteView m, const MeaningContext& context)
{
    if (m.empty())
        return {};
    const uint8_t status = m[0];
    if (status == 0xF0)
        return sysEx(m, context);
    if (status >= 0xF0)
        return system(status);
    if (status < 0x80)
        return "Data without a status byte";
    const size_t need = (status >> 4) == 0xC || (status >> 4) == 0xD ? 2 : 3;
    if (m.size() < need)
        return "Incomplete message";
    const std::string ch = " ch " + std::to_string((status & 0x0F) + 1);
    const uint8_t d1 = m[1] & 0x7F, d2 = need == 3 ? m[2] & 0x7F : 0;
    switch (status >> 4) {
    case 0x8: return "Note off" + ch + " " + noteName(d1) + " velocity " + std::to_string(d2);
    case 0x9:
        return d2 ? "Note on" + ch + " " + noteName(d1) + " velocity " + std::to_string(d2)
                  : "Note off" + ch + " " + noteName(d1);
    case 0xA: return "Key pressure" + ch + " " + noteName(d1) + " = " + std::to_string(d2);
    case 0xB: {
        const char* name = controllerName(d1);
        return "Controller" + ch + " " + (name ? std::string(name) + " (" + std::to_string(d1) + ")" : "#" + std::to_string(d1))
               + " = " + std::to_string(d2);
    }
    case 0xC: return "Program change" + ch + " = " + std::to_string(d1);
    case 0xD: return "Channel pressure" + ch + " = " + std::to_string(d1);
    default: return "Pitch bend" + ch + " = " + std::to_string(int(d1) + 128 * int(d2) - 8192);
    }
}

} // namespace kw
