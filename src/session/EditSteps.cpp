#include "session/EditSteps.h"

#include <string_view>
#include <utility>

namespace kw {

namespace {

struct Title {
    std::string_view control;
    const char* words;
};

// The name of each parameter as a musician says it. Radio buttons over one
// byte share their parameter's name.
constexpr Title kTitles[] = {
    {"PatchBankNumber", "Bank"},
    {"PatchVoiceNumber", "Voice"},
    {"PlayPoly", "Poly"},
    {"NoteShift", "Note Shift"},
    {"NoteDetune", "Detune"},
    {"LayerVolume", "Layer Volume"},
    {"VelocitySenseDepth", "Velocity Sense Depth"},
    {"VelocitySenseOffset", "Velocity Sense Offset"},
    {"PanPot", "Pan"},
    {"RandomPan", "Random Panning"},
    {"NoteLimitLow", "Note Limit Low"},
    {"NoteLimitHigh", "Note Limit High"},
    {"EffectChorus", "Chorus Send"},
    {"EffectReverb", "Reverb Send"},
    {"EffectVariation", "Variation Send"},
    {"LFOSyncFree", "LFO Sync"},
    {"LFOSyncRetrigger", "LFO Sync"},
    {"LFOSyncElement", "LFO Sync"},
    {"FilterCutoff", "Filter Cutoff"},
    {"FilterResonance", "Filter Resonance"},
    {"AEGAtkTime", "Amp EG Attack"},
    {"AEGDcyTime", "Amp EG Decay"},
    {"AEGRelTime", "Amp EG Release"},
    {"LayerOn", "Layer On"},
    {"PEGInitLevel", "Pitch EG Initial Level"},
    {"PEGAtkTime", "Pitch EG Attack"},
    {"PEGRelTime", "Pitch EG Release"},
    {"PEGRelLevel", "Pitch EG Release Level"},
    {"VelocityLimitLow", "Velocity Limit Low"},
    {"VelocityLimitHigh", "Velocity Limit High"},
    {"AEGSusLevel", "Amp EG Sustain"},
    {"LFOSpeed", "LFO Speed"},
    {"LFOWaveSaw", "LFO Wave"},
    {"LFOWaveTriangle", "LFO Wave"},
    {"LFOWaveSH", "LFO Wave"},
    {"LFOWaveElement", "LFO Wave"},
    {"LFOAMod", "LFO AM Depth"},
    {"LFOPMod", "LFO PM Depth"},
    {"LFOFMod", "LFO FM Depth"},
    {"FEGAtkTime", "Filter EG Attack"},
    {"FEGDcyTime", "Filter EG Decay"},
    {"FEGSusLevel", "Filter EG Sustain"},
    {"FEGRelTime", "Filter EG Release"},
    {"PEGAtkLevel", "Pitch EG Attack Level"},
    {"PEGDcyTime", "Pitch EG Decay"},
    {"PerformanceName", "Performance Name"},
    {"PerformanceType", "Category"},
    {"CommonVolume", "Volume"},
    {"Scene1Knob1", "Scene 1 Knob 1"},
    {"Scene1Knob2", "Scene 1 Knob 2"},
    {"Scene1Knob3", "Scene 1 Knob 3"},
    {"Scene1Knob4", "Scene 1 Knob 4"},
    {"Scene1Knob5", "Scene 1 Knob 5"},
    {"Scene1Knob6", "Scene 1 Knob 6"},
    {"Scene2Knob1", "Scene 2 Knob 1"},
    {"Scene2Knob2", "Scene 2 Knob 2"},
    {"Scene2Knob3", "Scene 2 Knob 3"},
    {"Scene2Knob4", "Scene 2 Knob 4"},
    {"Scene2Knob5", "Scene 2 Knob 5"},
    {"Scene2Knob6", "Scene 2 Knob 6"},
    {"Assign2Layer1", "Assign Knob 2 Layer"},
    {"Assign2Layer2", "Assign Knob 2 Layer"},
    {"Assign2Layer3", "Assign Knob 2 Layer"},
    {"Assign2Layer4", "Assign Knob 2 Layer"},
    {"Assign2Para", "Assign Knob 2 Parameter"},
    {"Assign2Level", "Assign Knob 2 Sense"},
    {"Assign1Para", "Assign Knob 1 Parameter"},
    {"ArpTempo", "Arpeggio Tempo"},
    {"ArpTempoMidi", "Arpeggio MIDI Clock"},
    {"ArpeggioType", "Arpeggio Type"},
    {"ArpeggioSubdiv", "Arpeggio Subdivision"},
    {"ArpModeOn", "Arpeggiator On"},
    {"ArpModeHold", "Arpeggio Hold"},
    {"ArpModeSplit", "Arpeggio Split"},
    {"ReverbType", "Reverb Type"},
    {"ChorusType", "Chorus Type"},
    {"VariType", "Variation Type"},
    {"VPara1", "Variation Parameter 1"},
    {"VPara2", "Variation Parameter 2"},
    {"VPara3", "Variation Parameter 3"},
    {"VPara4", "Variation Parameter 4"},
    {"VPara5", "Variation Parameter 5"},
    {"VPara10", "Variation Parameter 10"},
    {"FCVariCtl", "Foot Controller Variation"},
    {"ChorusToReverb", "Chorus to Reverb"},
    {"VariOnRev", "Variation to Reverb"},
    {"VariOnCho", "Variation to Chorus"},
    {"MWFilterCtl", "Mod Wheel Filter"},
    {"MWLFOPMod", "Mod Wheel LFO PM"},
    {"MWLFOFMod", "Mod Wheel LFO FM"},
    {"PitchBend", "Pitch Bend Range"},
    {"FCFilterCtl", "Foot Controller Filter"},
    {"FCLFOFMod", "Foot Controller LFO FM"},
    {"PortaOn", "Portamento"},
    {"PortaTime", "Portamento Time"},
};

std::string layerSuffix(int layer)
{
    return layer == kAllLayers ? " (All Layers)" : " (Layer " + std::to_string(layer) + ")";
}

} // namespace

std::string fieldTitle(const FieldRow& row)
{
    for (const Title& t : kTitles)
        if (t.control == row.control)
            return t.words;
    return row.control;
}

void StepBody::note(uint8_t block, uint8_t pos, uint8_t before, uint8_t after)
{
    for (size_t i = 0; i < changes.size(); ++i) {
        ByteChange& c = changes[i];
        if (c.block == block && c.pos == pos) {
            c.after = after;
            return;
        }
    }
    changes.push_back({block, pos, before, after});
}

void StepBody::noteSend(StepSend send)
{
    for (size_t i = 0; i < sends.size(); ++i)
        if (sends[i] == send)
            return;
    sends.push_back(send);
}

void StepBody::absorb(const StepBody& next)
{
    for (size_t i = 0; i < next.changes.size(); ++i) {
        const ByteChange& c = next.changes[i];
        note(c.block, c.pos, c.before, c.after);
    }
    for (size_t i = 0; i < next.sends.size(); ++i)
        noteSend(next.sends[i]);
}

bool StepBody::unchanged() const
{
    for (size_t i = 0; i < changes.size(); ++i)
        if (changes[i].before != changes[i].after)
            return false;
    return true;
}

std::string FieldChange::text() const
{
    std::string t = fieldTitle(*row);
    if (row->tabStride)
        t += " (Param. " + std::to_string(tab + 1) + ")";
    if (row->isLayer())
        t += layerSuffix(layer);
    return t;
}

std::string LayerBulkChange::text() const
{
    switch (what) {
    case Detune: return "Detune" + layerSuffix(layer);
    case VelocityDefaults: return "Velocity Defaults" + layerSuffix(layer);
    case Paste: return "Paste Layer" + layerSuffix(layer);
    }
    return {};
}

std::string VoiceChange::text() const
{
    return fieldTitle(*row) + layerSuffix(layer);
}

std::string LayerSwitch::text() const
{
    if (what == Mute)
        return (on ? "Mute Layer " : "Unmute Layer ") + std::to_string(layer);
    return (on ? "Layer On" : "Layer Off") + layerSuffix(layer);
}

std::string SoundChange::text() const
{
    switch (what) {
    case Mutate: return "Mutate";
    case Morph: return "Morph";
    case Candidate: return "Bred Sound";
    }
    return {};
}

std::string EditStep::text() const
{
    return std::visit([](const auto& k) { return k.text(); }, kind_);
}

int EditStep::layer() const
{
    if (const auto* f = std::get_if<FieldChange>(&kind_))
        return f->row->isLayer() ? f->layer : 0;
    if (const auto* s = std::get_if<LayerSwitch>(&kind_))
        return s->what == LayerSwitch::LayerOn ? s->layer : 0;  // a mute button stands for its own layer
    if (const auto* b = std::get_if<LayerBulkChange>(&kind_))
        return b->layer;
    if (const auto* v = std::get_if<VoiceChange>(&kind_))
        return v->layer;
    return 0;
}

bool EditStep::mergeWith(const EditStep& next)
{
    if (kind_.index() != next.kind_.index())
        return false;
    const bool same = std::visit(
        [&next](const auto& mine) { return mine.sameTarget(std::get<std::decay_t<decltype(mine)>>(next.kind_)); },
        kind_);
    if (same)
        body_.absorb(next.body_);
    return same;
}

} // namespace kw
