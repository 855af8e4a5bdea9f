#include "session/StatusTexts.h"

#include "midi/SynthLink.h"
#include "model/Settings.h"

namespace kw {

std::string noSynthText(const Settings& settings, bool outputOpen, bool inputOpen, bool fetches)
{
    if (outputOpen && (inputOpen || !fetches))
        return {};
    if (settings.midiIn.empty() || settings.midiOut.empty())
        return kNoDeviceChosenText;
    return outputOpen ? kNoInputText : kNoOutputText;
}

} // namespace kw
