#include "model/AssignLists.h"

namespace kw::assign {

const std::array<const char*, kTargets>& knob1Targets()
{
    static const std::array<const char*, kTargets> items = {
        "Off", "Performance Level", "Arpeggio Tempo", "Arpeggio Type", "Arpeggio Subdivide",
        "MW Cutoff", "MW Pitch-Mod Depth", "MW Filter-Mod Depth", "Pitch-Bend Range", "FC Cutoff",
        "FC Filter-Mod Depth", "FC Variation Depth", "Portamento Time", "Filter-EG Decay-Time",
        "Amp-EG Decay-Time", "Chorus-Send to Reverb", "Variation Control", "Reverb & Chorus Send",
        "Chorus Send", "Reverb Send", "Pan Position", "LFO Speed", "LFO Pitch-Mod Depth",
        "LFO Pitch-Mod Delay", "LFO Amp.-Mod Depth", "LFO Filter-Mod Depth", "Filter-EG Attack-Time",
        "Filter-EG Sustain-Level", "Filter-EG Velocity-Sens.", "Oscillator Pitch",
    };
    return items;
}

const std::array<const char*, kTargets>& knob2Targets()
{
    static const std::array<const char*, kTargets> items = {
        "Off", "Layer Volume", "Note Shift", "Detune", "Pan Position", "Chorus Send", "Reverb Send",
        "Oscillator Pitch", "Velocity Sense Depth", "Velocity Sense Offset", "Filter Cutoff Frequency",
        "Filter Resonance", "Amp-EG Attack Time", "Amp-EG Decay Time", "Amp-EG Sustain Level",
        "Amp-EG Release Time", "LFO Speed", "LFO Amp.-Modulation", "LFO Pitch-Modulation",
        "LFO Filter-Modulation", "Filter-EG Attack Time", "Filter-EG Decay Time",
        "Filter-EG Sustain Level", "Filter-EG Release Time", "Pitch-EG Initial Level",
        "Pitch-EG Attack Time", "Pitch-EG Attack Level", "Pitch-EG Decay Time",
        "Pitch-EG Release Time", "Pitch-EG Release Level",
    };
    return items;
}

} // namespace kw::assign
