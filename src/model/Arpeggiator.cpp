#include "model/Arpeggiator.h"

#include <algorithm>

namespace kw::arp {

const std::array<const char*, kTypes>& typeItems()
{
    static const std::array<const char*, kTypes> items = {
        "Up Oct 1", "Up Oct 2", "Up Oct 4", "Down Oct 1", "Down Oct 2", "Down Oct 4",
        "UpDown A Oct 1", "UpDown A Oct 2", "UpDown A Oct 4", "UpDown B Oct 1", "UpDown B Oct 2",
        "UpDown B Oct 4", "Random Oct 1", "Random Oct 2", "Random Oct 4", "Techno-A", "Techno-B",
        "Techno-C", "Techno-D", "DA House", "Syncopation A", "Syncopation B", "Echo & Pan",
        "Tekk Echo", "Sweep Line", "Pulse Line", "Bass Line A", "Bass Line B", "Bass Line C",
        "Bass Line D",
    };
    return items;
}

const std::array<const char*, kSubdivs>& subdivItems()
{
    static const std::array<const char*, kSubdivs> items = {
        "3 / 8", "1 / 4", "3 / 16", "1 / 6", "1 / 8", "3 / 32", "1 / 12", "1 / 16", "1 / 24", "1 / 32",
    };
    return items;
}

int tempoValueFromPosition(int position)
{
    return kTempoMaxPosition + 1 - std::clamp(position, kTempoMinPosition, kTempoMaxPosition);
}

std::pair<uint8_t, uint8_t> tempoBytes(int tempoValue)
{
    return {uint8_t(tempoValue > 127 ? 1 : 0), uint8_t(tempoValue & 0x7F)};
}

int tempoValue(uint8_t high, uint8_t low)
{
    return 128 * high + low;
}

TempoView tempoView(uint8_t high, uint8_t low)
{
    const int v = tempoValue(high, low);
    if (v == kMidiClock)
        return {kMidiClockPosition, true, kMidiClockPosition};
    const int position = std::clamp(kTempoMaxPosition + 1 - v, kTempoMinPosition, kTempoMaxPosition);
    return {position, false, bpm(v)};
}

ModeBoxes normalised(ModeBoxes b)
{
    if (b.on)
        b.hold = false;
    return b;
}

uint8_t modeByte(ModeBoxes b)
{
    b = normalised(b);
    uint8_t m = b.split ? 0 : 4;
    if (b.on)
        m += 1;
    else if (b.hold)
        m += 2;
    return m;
}

ModeBoxes modeBoxes(uint8_t byte)
{
    ModeBoxes b;
    b.on = byte & 1;
    b.hold = !b.on && (byte & 2);
    b.split = !(byte & 4);
    return b;
}

} // namespace kw::arp
