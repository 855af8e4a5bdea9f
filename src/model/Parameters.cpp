#include "model/Parameters.h"

#include "model/Arpeggiator.h"
#include "model/Cp1252.h"
#include "model/EffectTables.h"
#include "model/FieldTable.h"
#include "model/NameTables.h"
#include "model/PerformanceImage.h"
#include "model/ValueLists.h"
#include "model/VariationPages.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace kw {

enum class Parameter::Codec : uint8_t {
    Bar,         // one byte shown by its control's label rule
    Pan,         // one byte, 0 is random
    List,        // one byte, the index of `items`
    Flag,        // one byte, the row's onValue when on
    Name,        // eight characters
    Detune,      // two nibbles, 16 * high + low
    Tempo,       // two bytes, 128 * high + low; 0 follows MIDI clock
    ArpMode,     // bits 0-1 of the mode byte: off, on, hold
    ArpSplit,    // bit 2 of the mode byte, set when split is off
    Bank,        // MSB/LSB pair, the bank table's row
    Voice,       // program of the bank the layer holds
    ReverbType,  // MSB/LSB pairs of the effect tables
    ChorusType,
    VariType,
    VariParam,   // 14-bit pair, meaning given by the variation type
};

namespace {

using Codec = Parameter::Codec;

constexpr BlockKind C00 = BlockKind::Common00;
constexpr BlockKind C30 = BlockKind::Common30;
constexpr BlockKind C50 = BlockKind::Common50;

const char* const kOnOff[] = {"Off", "On"};
const char* const kLfoSync[] = {"FreeRun", "Retrigger", "Element"};
const char* const kLfoWave[] = {"Sawtooth", "Triangle", "Sample & Hold", "Element"};
const char* const kAssignLayer[] = {"Layer 1", "Layer 2", "Layer 3", "Layer 4"};
const char* const kArpModes[] = {"Off", "On", "Hold"};

const BulkBlock& blockOf(const PerformanceImage& img, BlockKind k) { return img.edit[k]; }
BulkBlock& blockOf(PerformanceImage& img, BlockKind k) { return img.edit[k]; }

uint8_t byteAt(const PerformanceImage& img, const ParamByte& b)
{
    return blockOf(img, b.block).data(b.offset) & b.mask;
}

// Only the parameter's own bits change; whatever shares the byte stays.
void putByte(PerformanceImage& img, const ParamByte& b, int v)
{
    uint8_t& d = blockOf(img, b.block).data(b.offset);
    d = uint8_t((d & ~b.mask & 0x7F) | (v & b.mask));
}

std::string unknownPair(uint8_t msb, uint8_t lsb)
{
    return std::string(kUnknownName) + " (" + std::to_string(msb) + ", " + std::to_string(lsb) + ")";
}

std::string unknownValue(int v) { return std::string(kUnknownName) + " (" + std::to_string(v) + ")"; }

int variationType(const PerformanceImage& img)
{
    const BulkBlock& b = img.edit[C30];
    return fx::variationIndexOf(b.data(effectPair::kVariType), b.data(effectPair::kVariType + 1u)).value_or(-1);
}

const vari::ParamSpec& variSpec(const PerformanceImage& img, int slot)
{
    return vari::page(variationType(img))[size_t(slot)];
}

// The bank row a voice list shows: an unknown pair lists the last bank's names.
int listedBank(const PerformanceImage& img, int layer)
{
    const BulkBlock& b = img.edit.layer(layer);
    const int row = bankRowOf(b.data(0x00), b.data(0x01));
    return row >= 0 ? row : kBankRows - 1;
}

template <typename Rows>
std::vector<const char*> namesOf(Rows rows)
{
    std::vector<const char*> names;
    for (const auto& r : rows)
        names.push_back(r.name);
    return names;
}

std::span<const char* const> reverbNames()
{
    static const std::vector<const char*> n = namesOf(fx::reverbTypes());
    return n;
}
std::span<const char* const> chorusNames()
{
    static const std::vector<const char*> n = namesOf(fx::chorusTypes());
    return n;
}
std::span<const char* const> variationNames()
{
    static const std::vector<const char*> n = namesOf(fx::variationTypes());
    return n;
}
std::span<const char* const> bankNames()
{
    static const std::vector<const char*> n = namesOf(bankTable());
    return n;
}

// --- Building the list -------------------------------------------------------

class Builder {
public:
    std::vector<Parameter> list;

    // A parameter edited by one control's row: range from the row, bytes at
    // the row's offset (of tab `tab` for the assign banks).
    Parameter& bar(int layer, ParamGroup g, const std::string& key, const std::string& name, const char* control,
                   int tab = 0)
    {
        const FieldRow& r = rowOf(control);
        Parameter& p = add(layer, g, key, name, control, ParamKind::Number, Codec::Bar);
        p.row = &r;
        p.bytes = {{blockFor(r, layer), r.offsetFor(tab)}};
        const int a = r.storedFromPosition(r.min), b = r.storedFromPosition(r.max);
        p.min = std::min(a, b);
        p.max = std::max(a, b);
        return p;
    }

    Parameter& flag(int layer, ParamGroup g, const std::string& key, const std::string& name, const char* control)
    {
        const FieldRow& r = rowOf(control);
        Parameter& p = add(layer, g, key, name, control, ParamKind::Flag, Codec::Flag);
        p.row = &r;
        p.bytes = {{blockFor(r, layer), r.offset}};
        p.max = 1;
        p.items = kOnOff;
        return p;
    }

    Parameter& list1(int layer, ParamGroup g, const std::string& key, const std::string& name, const char* control,
                     std::span<const char* const> items, BlockKind block, uint8_t offset)
    {
        Parameter& p = add(layer, g, key, name, control, ParamKind::Choice, Codec::List);
        p.row = findField(control);
        p.bytes = {{block, offset}};
        p.items = items;
        p.max = int(items.size()) - 1;
        return p;
    }

    Parameter& add(int layer, ParamGroup g, const std::string& key, const std::string& name, const char* control,
                   ParamKind kind, Codec codec)
    {
        Parameter& p = list.emplace_back();
        p.layer = layer;
        p.key = layer ? "layer" + std::to_string(layer) + "." + key : key;
        p.name = layer ? "Layer " + std::to_string(layer) + " " + name : name;
        p.group = g;
        p.kind = kind;
        p.codec = codec;
        p.control = control;
        return p;
    }

    static const FieldRow& rowOf(std::string_view control)
    {
        const FieldRow* r = findField(control);
        if (!r)
            throw std::logic_error("no field row for " + std::string(control));
        return *r;
    }
    static BlockKind blockFor(const FieldRow& r, int layer) { return r.isLayer() ? layerKind(layer) : r.block; }
};

void addCommon(Builder& b)
{
    using G = ParamGroup;
    Parameter& name = b.add(0, G::Common, "name", "Name", "PerformanceName", ParamKind::Text, Codec::Name);
    for (uint8_t i = 0; i < perfName::kLength; ++i)
        name.bytes.push_back({C00, uint8_t(perfName::kOffset + i)});
    name.fixed = true;
    b.list1(0, G::Common, "category", "Category", "PerformanceType", performanceTypeItems(), C00, 0x08).fixed = true;
    b.bar(0, G::Common, "volume", "Volume", "CommonVolume").fixed = true;

    // The knobs by what they turn, as their captions say.
    static const char* const knobWords[6] = {"Amp EG Attack", "Amp EG Release", "Assign 1",
                                             "Filter Cutoff", "Filter Resonance", "Assign 2"};
    for (int i = 0; i < 12; ++i) {
        const std::string scene = std::to_string(i / 6 + 1), knob = std::to_string(i % 6 + 1);
        b.bar(0, G::Common, "scene" + scene + ".knob" + knob,
              "Scene " + scene + " Knob " + knob + " " + knobWords[i % 6],
              findField("Scene" + scene + "Knob" + knob)->control);
    }

    b.list1(0, G::Common, "assign1.parameter", "Assign Knob 1 Parameter", "Assign1Para", assign1ParaItems(), C00,
            0x28);
    for (int t = 0; t < assignBank::kBanks; ++t) {
        const std::string key = "assign2.param" + std::to_string(t + 1) + ".";
        const std::string name = "Assign Knob 2 Param. " + std::to_string(t + 1) + " ";
        b.list1(0, G::Common, key + "layer", name + "Layer", "Assign2Layer1", kAssignLayer, C00,
                assignBank::layerOffset(t));
        b.list1(0, G::Common, key + "parameter", name + "Parameter", "Assign2Para", assign2ParaItems(), C00,
                assignBank::paraOffset(t));
        b.bar(0, G::Common, key + "sense", name + "Sense", "Assign2Level", t);
    }

    Parameter& tempo = b.add(0, G::Arpeggiator, "arp.tempo", "Arpeggio Tempo", "ArpTempo", ParamKind::Number,
                             Codec::Tempo);
    tempo.bytes = {{C00, tempo::kHighOffset}, {C00, tempo::kLowOffset}};
    tempo.min = tempo::valueFromPosition(tempo::kMaxPosition);
    tempo.max = tempo::valueFromPosition(tempo::kMinPosition);
    tempo.offScale = 0;
    b.list1(0, G::Arpeggiator, "arp.type", "Arpeggio Type", "ArpeggioType", arp::typeItems(), C00, 0x2B);
    b.list1(0, G::Arpeggiator, "arp.subdivision", "Arpeggio Subdivision", "ArpeggioSubdiv", arp::subdivItems(), C00,
            0x2C);
    // The mode byte: on and hold exclude each other, so they are one choice.
    Parameter& mode = b.list1(0, G::Arpeggiator, "arp.mode", "Arpeggiator", "ArpModeOn", kArpModes, C00,
                              arpMode::kOffset);
    mode.codec = Codec::ArpMode;
    mode.bytes[0].mask = 0x03;
    Parameter& split = b.add(0, G::Arpeggiator, "arp.split", "Arpeggio Split", "ArpModeSplit", ParamKind::Flag,
                             Codec::ArpSplit);
    split.bytes = {{C00, arpMode::kOffset, 0x04}};
    split.max = 1;
    split.items = kOnOff;

    Parameter& reverb = b.list1(0, G::Effects, "reverb.type", "Reverb Type", "ReverbType", reverbNames(), C30,
                                effectPair::kReverbType);
    reverb.codec = Codec::ReverbType;
    reverb.bytes.push_back({C30, uint8_t(effectPair::kReverbType + 1)});
    Parameter& chorus = b.list1(0, G::Effects, "chorus.type", "Chorus Type", "ChorusType", chorusNames(), C30,
                                effectPair::kChorusType);
    chorus.codec = Codec::ChorusType;
    chorus.bytes.push_back({C30, uint8_t(effectPair::kChorusType + 1)});
    Parameter& variation = b.list1(0, G::Effects, "variation.type", "Variation Type", "VariType", variationNames(),
                                   C30, effectPair::kVariType);
    variation.codec = Codec::VariType;
    variation.bytes.push_back({C30, uint8_t(effectPair::kVariType + 1)});
    static const char* const vparaControls[vari::kSlots] = {"VPara1", "VPara2", "VPara3",
                                                            "VPara4", "VPara5", "VPara10"};
    for (int s = 0; s < vari::kSlots; ++s) {
        const std::string n = std::to_string(vari::kParamNumbers[size_t(s)]);
        Parameter& v = b.add(0, G::Effects, "variation.param" + n, "Variation Parameter " + n, vparaControls[s],
                             ParamKind::Number, Codec::VariParam);
        v.slot = s;
        v.bytes = {{C30, vari::pairOffset(s)}, {C30, uint8_t(vari::pairOffset(s) + 1)}};
        v.max = 0x3FFF;
    }
    b.bar(0, G::Effects, "chorusToReverb", "Chorus to Reverb", "ChorusToReverb");
    b.bar(0, G::Effects, "variationToReverb", "Variation to Reverb", "VariOnRev");
    b.bar(0, G::Effects, "variationToChorus", "Variation to Chorus", "VariOnCho");

    b.bar(0, G::Common, "modWheel.filter", "Mod Wheel Filter", "MWFilterCtl");
    b.bar(0, G::Common, "modWheel.lfoPitch", "Mod Wheel LFO PM Depth", "MWLFOPMod");
    b.bar(0, G::Common, "modWheel.lfoFilter", "Mod Wheel LFO FM Depth", "MWLFOFMod");
    b.bar(0, G::Common, "footController.filter", "Foot Controller Filter", "FCFilterCtl");
    b.bar(0, G::Common, "footController.lfoFilter", "Foot Controller LFO FM Depth", "FCLFOFMod");
    b.bar(0, G::Common, "footController.variation", "Foot Controller Variation", "FCVariCtl");
    b.bar(0, G::Pitch, "pitchBend", "Pitch Bend Range", "PitchBend");
    b.flag(0, G::Pitch, "portamento", "Portamento", "PortaOn");
    b.bar(0, G::Pitch, "portamento.time", "Portamento Time", "PortaTime");
}

void addLayer(Builder& b, int l)
{
    using G = ParamGroup;
    Parameter& bank = b.list1(l, G::Voice, "bank", "Bank", "PatchBankNumber", bankNames(), layerKind(l), 0x00);
    bank.codec = Codec::Bank;
    bank.bytes.push_back({layerKind(l), 0x01});
    Parameter& voice = b.add(l, G::Voice, "voice", "Voice", "PatchVoiceNumber", ParamKind::Choice, Codec::Voice);
    voice.row = findField("PatchVoiceNumber");
    voice.bytes = {{layerKind(l), 0x02}};
    voice.max = kVoicesPerBank - 1;
    b.flag(l, G::Voice, "on", "On", "LayerOn").fixed = true;
    b.flag(l, G::Voice, "poly", "Poly", "PlayPoly");
    b.bar(l, G::Voice, "volume", "Volume", "LayerVolume");
    Parameter& pan = b.bar(l, G::Voice, "pan", "Pan", "PanPot");
    pan.codec = Codec::Pan;
    pan.offScale = pan::kRandom;
    b.bar(l, G::Voice, "noteLimit.low", "Note Limit Low", "NoteLimitLow").fixed = true;
    b.bar(l, G::Voice, "noteLimit.high", "Note Limit High", "NoteLimitHigh").fixed = true;
    b.bar(l, G::Voice, "velocityLimit.low", "Velocity Limit Low", "VelocityLimitLow").fixed = true;
    b.bar(l, G::Voice, "velocityLimit.high", "Velocity Limit High", "VelocityLimitHigh").fixed = true;
    b.bar(l, G::Voice, "velocitySense.depth", "Velocity Sense Depth", "VelocitySenseDepth");
    b.bar(l, G::Voice, "velocitySense.offset", "Velocity Sense Offset", "VelocitySenseOffset");

    b.bar(l, G::Effects, "reverbSend", "Reverb Send", "EffectReverb");
    b.bar(l, G::Effects, "chorusSend", "Chorus Send", "EffectChorus");
    b.flag(l, G::Effects, "variationSend", "Variation Send", "EffectVariation");

    b.bar(l, G::Filter, "cutoff", "Filter Cutoff", "FilterCutoff");
    b.bar(l, G::Filter, "resonance", "Filter Resonance", "FilterResonance");

    b.bar(l, G::AmpEG, "ampEG.attack", "Amp EG Attack", "AEGAtkTime");
    b.bar(l, G::AmpEG, "ampEG.decay", "Amp EG Decay", "AEGDcyTime");
    b.bar(l, G::AmpEG, "ampEG.sustain", "Amp EG Sustain", "AEGSusLevel");
    b.bar(l, G::AmpEG, "ampEG.release", "Amp EG Release", "AEGRelTime");

    b.bar(l, G::FilterEG, "filterEG.attack", "Filter EG Attack", "FEGAtkTime");
    b.bar(l, G::FilterEG, "filterEG.decay", "Filter EG Decay", "FEGDcyTime");
    b.bar(l, G::FilterEG, "filterEG.sustain", "Filter EG Sustain", "FEGSusLevel");
    b.bar(l, G::FilterEG, "filterEG.release", "Filter EG Release", "FEGRelTime");

    b.bar(l, G::Pitch, "noteShift", "Note Shift", "NoteShift");
    Parameter& detune = b.add(l, G::Pitch, "detune", "Detune", "NoteDetune", ParamKind::Number, Codec::Detune);
    detune.row = findField("NoteDetune");
    detune.bytes = {{layerKind(l), detune::kHighOffset}, {layerKind(l), detune::kLowOffset}};
    detune.max = 255;  // 128 - position over the bar's -127..128
    b.bar(l, G::Pitch, "pitchEG.initialLevel", "Pitch EG Initial Level", "PEGInitLevel");
    b.bar(l, G::Pitch, "pitchEG.attack", "Pitch EG Attack", "PEGAtkTime");
    b.bar(l, G::Pitch, "pitchEG.attackLevel", "Pitch EG Attack Level", "PEGAtkLevel");
    b.bar(l, G::Pitch, "pitchEG.decay", "Pitch EG Decay", "PEGDcyTime");
    b.bar(l, G::Pitch, "pitchEG.release", "Pitch EG Release", "PEGRelTime");
    b.bar(l, G::Pitch, "pitchEG.releaseLevel", "Pitch EG Release Level", "PEGRelLevel");

    b.list1(l, G::LFO, "lfo.wave", "LFO Wave", "LFOWaveSaw", kLfoWave, layerKind(l), 0x1F);
    b.list1(l, G::LFO, "lfo.sync", "LFO Sync", "LFOSyncFree", kLfoSync, layerKind(l), 0x10);
    b.bar(l, G::LFO, "lfo.speed", "LFO Speed", "LFOSpeed");
    b.bar(l, G::LFO, "lfo.amplitude", "LFO AM Depth", "LFOAMod");
    b.bar(l, G::LFO, "lfo.pitch", "LFO PM Depth", "LFOPMod");
    b.bar(l, G::LFO, "lfo.filter", "LFO FM Depth", "LFOFMod");
}

} // namespace

const char* groupName(ParamGroup g)
{
    switch (g) {
    case ParamGroup::Common: return "Common";
    case ParamGroup::Effects: return "Effects";
    case ParamGroup::Arpeggiator: return "Arpeggiator";
    case ParamGroup::Voice: return "Voice";
    case ParamGroup::Filter: return "Filter";
    case ParamGroup::AmpEG: return "Amp EG";
    case ParamGroup::FilterEG: return "Filter EG";
    case ParamGroup::Pitch: return "Pitch";
    case ParamGroup::LFO: return "LFO";
    }
    return "";
}

const std::vector<Parameter>& performanceParameters()
{
    static const std::vector<Parameter> list = [] {
        Builder b;
        addCommon(b);
        for (int l = 1; l <= 4; ++l)
            addLayer(b, l);
        auto find = [&](const std::string& key) {
            for (const Parameter& p : b.list)
                if (p.key == key)
                    return &p;
            throw std::logic_error("no parameter " + key);
        };
        PerformanceImage defaults;
        defaults.setDefaults();
        for (Parameter& p : b.list) {
            if (p.codec == Codec::VariParam)
                p.dependsOn = find("variation.type");
            if (p.codec == Codec::Voice)
                p.dependsOn = find("layer" + std::to_string(p.layer) + ".bank");
            p.defaultValue = p.value(defaults);
        }
        return std::move(b.list);  // moved, not copied: the dependsOn pointers stay valid
    }();
    return list;
}

const Parameter* findParameter(std::string_view key)
{
    for (const Parameter& p : performanceParameters())
        if (p.key == key)
            return &p;
    return nullptr;
}

// --- One parameter's bytes ---------------------------------------------------

int Parameter::value(const PerformanceImage& img) const
{
    const auto at = [&](size_t i) { return byteAt(img, bytes[i]); };
    switch (codec) {
    case Codec::Bar:
    case Codec::Pan:
    case Codec::List:
    case Codec::Voice: return at(0);
    case Codec::Flag: return at(0) != 0 ? 1 : 0;
    case Codec::Name: return 0;
    case Codec::Detune: return 16 * at(0) + at(1);
    case Codec::Tempo: return tempo::value(at(0), at(1));
    case Codec::ArpMode: {
        const arpMode::Boxes boxes = arpMode::boxesFromByte(at(0));
        return boxes.on ? 1 : boxes.hold ? 2 : 0;
    }
    case Codec::ArpSplit: return at(0) ? 0 : 1;
    case Codec::Bank: return bankRowOf(at(0), at(1));
    case Codec::ReverbType: return fx::reverbIndexOf(at(0), at(1)).value_or(-1);
    case Codec::ChorusType: return fx::chorusIndexOf(at(0), at(1)).value_or(-1);
    case Codec::VariType: return fx::variationIndexOf(at(0), at(1)).value_or(-1);
    case Codec::VariParam: return effectPair::join14(at(0), at(1));
    }
    return 0;
}

void Parameter::set(PerformanceImage& img, int v) const
{
    if (kind == ParamKind::Text)
        return;
    if (kind == ParamKind::Choice && (v < min || v > max))
        return;
    if (!(offScale && v == *offScale)) {
        const ParamRange r = rangeIn(img);
        v = std::clamp(v, r.min, r.max);
    }
    const auto put = [&](size_t i, int b) { putByte(img, bytes[i], b); };
    const auto putPair = [&](uint8_t msb, uint8_t lsb) {
        put(0, msb);
        put(1, lsb);
    };
    switch (codec) {
    case Codec::Bar:
    case Codec::Pan:
    case Codec::List:
    case Codec::Voice: put(0, v); break;
    case Codec::Flag: put(0, v ? row->onValue : 0); break;
    case Codec::Name: break;
    case Codec::Detune: putPair(uint8_t(v >> 4), uint8_t(v & 0x0F)); break;
    case Codec::Tempo: {
        const auto [high, low] = tempo::bytes(v);
        putPair(high, low);
        break;
    }
    case Codec::ArpMode: put(0, v); break;  // 1 on, 2 hold: the bits themselves
    case Codec::ArpSplit: put(0, v ? 0 : 0x04); break;
    case Codec::Bank: putPair(bankTable()[size_t(v)].msb, bankTable()[size_t(v)].lsb); break;
    case Codec::ReverbType: putPair(fx::reverbTypes()[size_t(v)].msb, fx::reverbTypes()[size_t(v)].lsb); break;
    case Codec::ChorusType: putPair(fx::chorusTypes()[size_t(v)].msb, fx::chorusTypes()[size_t(v)].lsb); break;
    case Codec::VariType:
        putPair(fx::variationTypes()[size_t(v)].msb, fx::variationTypes()[size_t(v)].lsb);
        break;
    case Codec::VariParam: {
        const auto [high, low] = effectPair::split14(v);
        putPair(high, low);
        break;
    }
    }
}

void Parameter::setName(PerformanceImage& img, std::string_view text) const
{
    if (codec != Codec::Name)
        return;
    const auto chars = perfName::bytes(text);
    for (size_t i = 0; i < chars.size(); ++i)
        putByte(img, bytes[i], chars[i]);
}

std::string Parameter::text(const PerformanceImage& img, std::string_view decimalSeparator) const
{
    const int v = value(img);
    const auto pair = [&] { return unknownPair(byteAt(img, bytes[0]), byteAt(img, bytes[1])); };
    switch (codec) {
    case Codec::Name: {
        // As the name box shows it, a byte the synth cannot show as a blank;
        // the blanks that pad it say nothing.
        std::string s;
        for (const ParamByte& b : bytes) {
            const uint8_t c = byteAt(img, b);
            s += perfName::storable(c) ? char(c) : ' ';
        }
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    }
    case Codec::Tempo:
        // A stored tempo beyond the bar's end still shows its own beats per minute.
        return v == 0 ? "MIDI" : std::to_string(v + 39);
    case Codec::Pan:
        if (v == pan::kRandom)
            return "Random";
        break;
    case Codec::Bank:
        return v < 0 ? pair() : cp1252ToUtf8(bankTable()[size_t(v)].name);
    case Codec::ReverbType:
    case Codec::ChorusType:
    case Codec::VariType:
        return v < 0 ? pair() : items[size_t(v)];
    case Codec::VariParam: {
        const vari::ParamSpec& spec = variSpec(img, slot);
        // A bar the type leaves off shows nothing of its bytes.
        return spec.enabled() ? vari::valueText(spec, v, decimalSeparator) : std::to_string(v);
    }
    default: break;
    }
    if (v < min || v > max)
        return unknownValue(v);
    switch (codec) {
    case Codec::Bar:
    case Codec::Pan: return row->labelText(row->positionFromStored(uint8_t(v)), decimalSeparator);
    case Codec::Detune: return detune::label(128 - v, decimalSeparator);
    case Codec::Voice: return cp1252ToUtf8(voiceEntry(listedBank(img, layer), v));
    default: return items[size_t(v)];
    }
}

std::string Parameter::nameIn(const PerformanceImage& img) const
{
    if (codec != Codec::VariParam)
        return name;
    const vari::ParamSpec& spec = variSpec(img, slot);
    return spec.enabled() ? std::string("Variation ") + spec.name : name;
}

ParamRange Parameter::rangeIn(const PerformanceImage& img) const
{
    if (codec != Codec::VariParam)
        return {min, max};
    const vari::ParamSpec& spec = variSpec(img, slot);
    return spec.enabled() ? ParamRange{spec.min, spec.max} : ParamRange{min, max};
}

bool Parameter::inUse(const PerformanceImage& img) const
{
    return codec != Codec::VariParam || variSpec(img, slot).enabled();
}

// --- Two performances --------------------------------------------------------

std::vector<Difference> differences(const PerformanceImage& a, const PerformanceImage& b,
                                    std::string_view decimalSeparator)
{
    std::vector<Difference> out;
    for (const Parameter& p : performanceParameters()) {
        if (!p.inUse(a) && !p.inUse(b))
            continue;  // bytes the sound does not use in either
        std::string before = p.text(a, decimalSeparator), after = p.text(b, decimalSeparator);
        if (before == after && p.value(a) == p.value(b))
            continue;
        const std::string na = p.nameIn(a), nb = p.nameIn(b);
        out.push_back({&p, na == nb ? na : p.name, std::move(before), std::move(after)});
    }
    return out;
}

std::string differenceLine(const Difference& d)
{
    return d.name + ": " + d.before + " -> " + d.after;
}

} // namespace kw
