#include "model/FieldTable.h"

#include "model/NameTables.h"

#include <algorithm>

namespace kw {

namespace {

constexpr BlockKind L = BlockKind::Layer1;
constexpr BlockKind C00 = BlockKind::Common00;
constexpr BlockKind C30 = BlockKind::Common30;
constexpr BlockKind C50 = BlockKind::Common50;

using E = Encoding;
using R = LabelRule;
using S = SendKind;

// Vertical track bars (minimum at the top) and the way their labels read.
FieldRow bar127(const char* c, BlockKind b, uint8_t off, R label, S send, uint8_t def)
{
    return {c, b, off, 0, 127, E::Inverted127, label, send, def};
}
FieldRow bar128(const char* c, BlockKind b, uint8_t off, int min, int max, S send, uint8_t def)
{
    return {c, b, off, min, max, E::Inverted128, R::Number64, send, def};
}
FieldRow check(const char* c, BlockKind b, uint8_t off, uint8_t on, S send, uint8_t def)
{
    FieldRow r{c, b, off, 0, 1, E::CheckBox, R::None, send, def};
    r.onValue = on;
    return r;
}
FieldRow radio(const char* c, BlockKind b, uint8_t off, uint8_t value, S send, uint8_t def)
{
    FieldRow r{c, b, off, 0, 1, E::Radio, R::None, send, def};
    r.onValue = value;
    return r;
}
FieldRow special(const char* c, BlockKind b, uint8_t off, int min, int max, R label, S send, uint8_t def)
{
    return {c, b, off, min, max, E::Special, label, send, def};
}

const std::string kPlusMinus = "\xC2\xB1";  // "±" in UTF-8

} // namespace

const std::vector<FieldRow>& layerFieldTable()
{
    static const std::vector<FieldRow> rows = [] {
        const S P = S::LayerParam;
        std::vector<FieldRow> t = {
            // Bank MSB/LSB pair at 0x00/0x01: bankTable() row, sent with the whole layer.
            special("PatchBankNumber", L, 0x00, 0, kBankRows - 1, R::ItemText, S::LayerBulk, 0x00),
            {"PatchVoiceNumber", L, 0x02, 0, 127, E::Direct, R::ItemText, P, 0x00},
            check("PlayPoly", L, 0x03, 1, P, 0x01),
            {"NoteShift", L, 0x04, -24, 24, E::Inverted64, R::Shift, P, 0x40},
            // Two nibbles at 0x05/0x06, sent with the whole layer: detune::.
            special("NoteDetune", L, 0x05, -127, 128, R::Detune, S::LayerBulk, 0x08),
            bar127("LayerVolume", L, 0x07, R::Number127, P, 0x64),
            bar127("VelocitySenseDepth", L, 0x08, R::Number127, P, 0x40),
            bar127("VelocitySenseOffset", L, 0x09, R::Number63, P, 0x40),
            {"PanPot", L, 0x0A, 1, 127, E::Direct, R::Pan, P, 0x40},
            // Stores 0 (random) while checked: pan::.
            special("RandomPan", L, 0x0A, 0, 1, R::None, P, 0x40),
            {"NoteLimitLow", L, 0x0B, 0, 127, E::Direct, R::NoteName, P, 0x00},
            {"NoteLimitHigh", L, 0x0C, 0, 127, E::Direct, R::NoteName, P, 0x7F},
            bar127("EffectChorus", L, 0x0D, R::Number127, P, 0x00),
            bar127("EffectReverb", L, 0x0E, R::Number127, P, 0x28),
            check("EffectVariation", L, 0x0F, 127, P, 0x7F),
            radio("LFOSyncFree", L, 0x10, 0, P, 0x02),
            radio("LFOSyncRetrigger", L, 0x10, 1, P, 0x02),
            radio("LFOSyncElement", L, 0x10, 2, P, 0x02),
            bar127("FilterCutoff", L, 0x11, R::Number63, P, 0x40),
            bar127("FilterResonance", L, 0x12, R::Number63, P, 0x40),
            bar128("AEGAtkTime", L, 0x13, 1, 127, P, 0x40),
            bar128("AEGDcyTime", L, 0x14, 1, 127, P, 0x40),
            bar128("AEGRelTime", L, 0x15, 1, 127, P, 0x40),
            check("LayerOn", L, 0x16, 1, P, 0x01),
            bar127("PEGInitLevel", L, 0x17, R::Number63, P, 0x40),
            bar128("PEGAtkTime", L, 0x18, 1, 127, P, 0x40),
            bar128("PEGRelTime", L, 0x19, 1, 127, P, 0x40),
            bar127("PEGRelLevel", L, 0x1A, R::Number63, P, 0x40),
            {"VelocityLimitLow", L, 0x1B, 0, 126, E::Inverted127, R::Number127, P, 0x01},
            {"VelocityLimitHigh", L, 0x1C, 0, 126, E::Inverted127, R::Number127, P, 0x7F},
            bar127("AEGSusLevel", L, 0x1D, R::Number63, P, 0x40),
            bar128("LFOSpeed", L, 0x1E, 1, 127, P, 0x40),
            radio("LFOWaveSaw", L, 0x1F, 0, P, 0x03),
            radio("LFOWaveTriangle", L, 0x1F, 1, P, 0x03),
            radio("LFOWaveSH", L, 0x1F, 2, P, 0x03),
            radio("LFOWaveElement", L, 0x1F, 3, P, 0x03),
            bar128("LFOAMod", L, 0x20, 33, 95, P, 0x40),
            bar128("LFOPMod", L, 0x21, 1, 127, P, 0x40),
            bar128("LFOFMod", L, 0x22, 49, 79, P, 0x40),
            bar128("FEGAtkTime", L, 0x23, 1, 127, P, 0x40),
            bar128("FEGDcyTime", L, 0x24, 1, 127, P, 0x40),
            bar127("FEGSusLevel", L, 0x25, R::Number63, P, 0x40),
            bar128("FEGRelTime", L, 0x26, 1, 127, P, 0x40),
            bar127("PEGAtkLevel", L, 0x27, R::Number63, P, 0x40),
            bar128("PEGDcyTime", L, 0x28, 1, 127, P, 0x40),
        };
        return t;
    }();
    return rows;
}

const std::vector<FieldRow>& commonFieldTable()
{
    static const std::vector<FieldRow> rows = [] {
        const S P = S::Param;
        std::vector<FieldRow> t = {
            // Eight characters at 0x00-0x07, sent as the whole block: perfName::.
            special("PerformanceName", C00, 0x00, 0, 8, R::None, S::Bulk, 0x49),
            {"PerformanceType", C00, 0x08, 0, 22, E::Direct, R::ItemText, P, 0x00},
            bar127("CommonVolume", C00, 0x09, R::Number127, P, 0x64),
        };
        static const char* const knobs[12] = {
            "Scene1Knob1", "Scene1Knob2", "Scene1Knob3", "Scene1Knob4", "Scene1Knob5", "Scene1Knob6",
            "Scene2Knob1", "Scene2Knob2", "Scene2Knob3", "Scene2Knob4", "Scene2Knob5", "Scene2Knob6",
        };
        for (int k = 0; k < 12; ++k)
            t.push_back(bar127(knobs[k], C00, uint8_t(0x0A + k), R::Number63, P, 0x40));

        // Assign banks: the fields of the tab selected in Assign2Tab (offsetFor(tab)).
        static const char* const assignLayer[4] = {"Assign2Layer1", "Assign2Layer2", "Assign2Layer3", "Assign2Layer4"};
        for (int b = 0; b < 4; ++b) {
            FieldRow r = radio(assignLayer[b], C00, 0x1C, uint8_t(b), S::Param2, 0x00);
            r.tabStride = 2;
            t.push_back(r);
        }
        FieldRow para{"Assign2Para", C00, 0x1D, 0, 29, E::Direct, R::ItemText, S::Param2, 0x00};
        para.pairDelta = -1;
        para.tabStride = 2;
        t.push_back(para);
        FieldRow level = bar128("Assign2Level", C00, 0x24, 32, 96, P, 0x40);
        level.tabStride = 1;
        t.push_back(level);
        t.push_back({"Assign1Para", C00, 0x28, 0, 29, E::Direct, R::ItemText, P, 0x00});

        // Arpeggiator: tempo pair 0x29/0x2A (tempo::), type, subdivision, mode byte (arpMode::).
        t.push_back(special("ArpTempo", C00, 0x29, 40, 240, R::Tempo, S::Param2, 0x00));
        t.push_back(special("ArpTempoMidi", C00, 0x29, 0, 1, R::None, S::Param2, 0x00));
        t.push_back({"ArpeggioType", C00, 0x2B, 0, 29, E::Direct, R::ItemText, P, 0x09});
        t.push_back({"ArpeggioSubdiv", C00, 0x2C, 0, 9, E::Direct, R::ItemText, P, 0x07});
        for (auto [name, bit] : {std::pair{"ArpModeOn", 1}, {"ArpModeHold", 2}, {"ArpModeSplit", 4}}) {
            FieldRow r = special(name, C00, 0x2D, 0, 1, R::None, P, 0x00);
            r.onValue = uint8_t(bit);
            t.push_back(r);
        }

        // Effect types: (MSB, LSB) pairs looked up in the effect tables.
        t.push_back(special("ReverbType", C30, 0x00, 0, 11, R::ItemText, S::Param2, 0x01));
        t.push_back(special("ChorusType", C30, 0x02, 0, 11, R::ItemText, S::Param2, 0x41));
        // A new variation type rewrites its parameters too, hence the whole block.
        t.push_back(special("VariType", C30, 0x04, 0, 43, R::ItemText, S::Bulk, 0x05));
        static const char* const vpara[6] = {"VPara1", "VPara2", "VPara3", "VPara4", "VPara5", "VPara10"};
        for (int v = 0; v < 6; ++v)
            t.push_back(special(vpara[v], C30, uint8_t(0x06 + 2 * v), 0, 16383, R::None, S::Param2, 0x00));

        t.push_back(bar127("FCVariCtl", C30, 0x13, R::Number63, P, 0x40));
        t.push_back(bar127("ChorusToReverb", C30, 0x14, R::Number127, P, 0x00));
        t.push_back(bar127("VariOnRev", C30, 0x15, R::Number127, P, 0x28));
        t.push_back(bar127("VariOnCho", C30, 0x16, R::Number127, P, 0x00));

        t.push_back(bar127("MWFilterCtl", C50, 0x00, R::Number63, P, 0x40));
        t.push_back(bar127("MWLFOPMod", C50, 0x01, R::Number127, P, 0x0A));
        t.push_back(bar127("MWLFOFMod", C50, 0x02, R::Number127, P, 0x00));
        t.push_back(bar128("PitchBend", C50, 0x03, 40, 88, P, 0x42));
        t.push_back(bar127("FCFilterCtl", C50, 0x04, R::Number63, P, 0x40));
        t.push_back(bar127("FCLFOFMod", C50, 0x06, R::Number127, P, 0x00));
        t.push_back(check("PortaOn", C50, 0x07, 1, P, 0x00));
        t.push_back(bar127("PortaTime", C50, 0x08, R::Number127, P, 0x00));
        return t;
    }();
    return rows;
}

const FieldRow* findField(std::string_view control)
{
    for (const auto* table : {&layerFieldTable(), &commonFieldTable()})
        for (const FieldRow& r : *table)
            if (control == r.control)
                return &r;
    return nullptr;
}

uint8_t FieldRow::addressLow(int tab) const
{
    return uint8_t(blockInfo(block).addrLow + offsetFor(tab));
}

uint8_t FieldRow::storedFromPosition(int position) const
{
    const int p = std::clamp(position, min, max);
    switch (encoding) {
    case Encoding::Inverted127: return uint8_t(127 - p);
    case Encoding::Inverted128: return uint8_t(128 - p);
    case Encoding::Inverted64: return uint8_t(64 - p);
    case Encoding::CheckBox: return p ? onValue : 0;
    case Encoding::Radio: return onValue;
    case Encoding::Direct:
    case Encoding::Special: break;
    }
    return uint8_t(p);
}

int FieldRow::positionFromStored(uint8_t stored) const
{
    int p = stored;
    switch (encoding) {
    case Encoding::Inverted127: p = 127 - stored; break;
    case Encoding::Inverted128: p = 128 - stored; break;
    case Encoding::Inverted64: p = 64 - stored; break;
    case Encoding::CheckBox: return stored != 0 ? 1 : 0;
    case Encoding::Radio: return stored == onValue ? 1 : 0;
    case Encoding::Direct:
    case Encoding::Special: break;
    }
    return std::clamp(p, min, max);
}

std::string FieldRow::labelText(int position, std::string_view decimalSeparator) const
{
    const int p = std::clamp(position, min, max);
    switch (label) {
    case LabelRule::None:
    case LabelRule::ItemText: return {};
    case LabelRule::Number127: return std::to_string(127 - p);
    case LabelRule::Number63: return std::to_string(63 - p);
    case LabelRule::Number64: return std::to_string(64 - p);
    case LabelRule::Stored: return std::to_string(storedFromPosition(p));
    case LabelRule::StoredMinus64: return std::to_string(int(storedFromPosition(p)) - 64);
    case LabelRule::Shift: return shiftLabel(p);
    case LabelRule::Detune: return detune::label(p, decimalSeparator);
    case LabelRule::Pan: return pan::label(p);
    case LabelRule::NoteName: return noteName(p);
    case LabelRule::Tempo: return std::to_string(tempo::valueFromPosition(p) + 39);
    }
    return {};
}

std::string shiftLabel(int position)
{
    if (position == 0)
        return kPlusMinus + "0";
    return (position < 0 ? "+" : "-") + std::to_string(position < 0 ? -position : position);
}

namespace detune {

std::pair<uint8_t, uint8_t> nibbles(int position)
{
    const int d = 128 - std::clamp(position, -127, 128);
    return {uint8_t(d >> 4), uint8_t(d & 0x0F)};
}

int position(uint8_t high, uint8_t low)
{
    return std::clamp(128 - (16 * int(high) + int(low)), -127, 128);
}

std::string label(int position, std::string_view decimalSeparator)
{
    const int p = std::clamp(position, -127, 128);
    if (p == 0)
        return kPlusMinus + "0 Hz";
    // Tenths of a hertz, shown without a trailing zero: "-12.8 Hz", "+12 Hz".
    const int tenths = p < 0 ? -p : p;
    std::string text = p < 0 ? "+" : "-";
    text += std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        text += decimalSeparator;
        text += char('0' + tenths % 10);
    }
    return text + " Hz";
}

std::string label(int position, char decimalSeparator)
{
    return label(position, std::string_view(&decimalSeparator, 1));
}

} // namespace detune

namespace pan {

std::string label(int position)
{
    const int p = std::clamp(position, 1, 127);
    if (p == kCentre)
        return "CTR";
    return p > kCentre ? "R-" + std::to_string(p - kCentre) : "L-" + std::to_string(kCentre - p);
}

View fromStored(uint8_t stored)
{
    if (stored == kRandom)
        return {kCentre, true};
    return {std::min<int>(stored, 127), false};
}

} // namespace pan

namespace tempo {

int valueFromPosition(int position)
{
    return 241 - std::clamp(position, kMinPosition, kMaxPosition);
}

std::pair<uint8_t, uint8_t> bytes(int value)
{
    return {uint8_t(value > 127 ? 1 : 0), uint8_t(value & 0x7F)};
}

int value(uint8_t high, uint8_t low)
{
    return 128 * int(high) + int(low);
}

View fromStored(uint8_t high, uint8_t low)
{
    const int v = value(high, low);
    if (v == 0)
        return {140, true, "140"};
    return {std::clamp(241 - v, kMinPosition, kMaxPosition), false, std::to_string(v + 39)};
}

} // namespace tempo

namespace arpMode {

uint8_t byteFromBoxes(Boxes b)
{
    b = normalised(b);
    return uint8_t((b.split ? 0 : 4) + (b.on ? 1 : b.hold ? 2 : 0));
}

Boxes boxesFromByte(uint8_t byte)
{
    const bool on = byte & 1;
    return {on, !on && (byte & 2), !(byte & 4)};
}

Boxes normalised(Boxes b)
{
    if (b.on)
        b.hold = false;
    return b;
}

} // namespace arpMode

namespace perfName {

std::array<uint8_t, kLength> bytes(std::string_view text)
{
    std::array<uint8_t, kLength> out;
    out.fill(' ');
    for (size_t i = 0; i < kLength && i < text.size(); ++i)
        out[i] = uint8_t(text[i]);
    return out;
}

bool fits(std::string_view utf8)
{
    return utf8.size() <= kLength
           && std::all_of(utf8.begin(), utf8.end(), [](char c) { return storable(char32_t(uint8_t(c))); });
}

} // namespace perfName

namespace effectPair {

int variationParaOffset(int para)
{
    if (para >= 1 && para <= 5)
        return 0x06 + 2 * (para - 1);
    if (para == 10)
        return 0x10;
    return -1;
}

std::pair<uint8_t, uint8_t> split14(int value)
{
    const int v = std::clamp(value, 0, 0x3FFF);
    return {uint8_t(v >> 7), uint8_t(v & 0x7F)};
}

int join14(uint8_t high, uint8_t low)
{
    return (int(high & 0x7F) << 7) | int(low & 0x7F);
}

} // namespace effectPair

} // namespace kw
