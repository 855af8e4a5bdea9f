#include "model/Arpeggiator.h"

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

} // namespace kw::arp
