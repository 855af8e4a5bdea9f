#include "model/ValueLists.h"

namespace kw {

const std::array<const char*, 23>& performanceTypeItems()
{
    static const std::array<const char*, 23> items = {
        "--",
        "PF  Piano",
        "CP  Chromatic Perc.",
        "OR Organ",
        "GT  Guitar",
        "BA  Bass",
        "ST  Strings/Orch.",
        "EN  Ensemble",
        "BR  Brass",
        "RD  Reed",
        "PI   Pipe",
        "LD  Synth Lead",
        "PD  Synth Pad",
        "FX  Synth SFX",
        "ET  Ethnic",
        "PC  Percussive",
        "SE  Sound Effect",
        "DR  Drums",
        "SC  String Comping",
        "VO  Vocal",
        "CO  Combination",
        "WV Material Wave",
        "SQ  Sequence",
    };
    return items;
}

const std::array<const char*, 30>& assign1ParaItems()
{
    static const std::array<const char*, 30> items = {
        "Off",
        "Performance Level",
        "Arpeggio Tempo",
        "Arpeggio Type",
        "Arpeggio Subdivide",
        "MW Cutoff",
        "MW Pitch-Mod Depth",
        "MW Filter-Mod Depth",
        "Pitch-Bend Range",
        "FC Cutoff",
        "FC Filter-Mod Depth",
        "FC Variation Depth",
        "Portamento Time",
        "Filter-EG Decay-Time",
        "Amp-EG Decay-Time",
        "Chorus-Send to Reverb",
        "Variation Control",
        "Reverb & Chorus Send",
        "Chorus Send",
        "Reverb Send",
        "Pan Position",
        "LFO Speed",
        "LFO Pitch-Mod Depth",
        "LFO Pitch-Mod Delay",
        "LFO Amp.-Mod Depth",
        "LFO Filter-Mod Depth",
        "Filter-EG Attack-Time",
        "Filter-EG Sustain-Level",
        "Filter-EG Velocity-Sens.",
        "Oscillator Pitch",
    };
    return items;
}

const std::array<const char*, 30>& assign2ParaItems()
{
    static const std::array<const char*, 30> items = {
        "Off",
        "Layer Volume",
        "Note Shift",
        "Detune",
        "Pan Position",
        "Chorus Send",
        "Reverb Send",
        "Oscillator Pitch",
        "Velocity Sense Depth",
        "Velocity Sense Offset",
        "Filter Cutoff Frequency",
        "Filter Resonance",
        "Amp-EG Attack Time",
        "Amp-EG Decay Time",
        "Amp-EG Sustain Level",
        "Amp-EG Release Time",
        "LFO Speed",
        "LFO Amp.-Modulation",
        "LFO Pitch-Modulation",
        "LFO Filter-Modulation",
        "Filter-EG Attack Time",
        "Filter-EG Decay Time",
        "Filter-EG Sustain Level",
        "Filter-EG Release Time",
        "Pitch-EG Initial Level",
        "Pitch-EG Attack Time",
        "Pitch-EG Attack Level",
        "Pitch-EG Decay Time",
        "Pitch-EG Release Time",
        "Pitch-EG Release Level",
    };
    return items;
}

} // namespace kw
