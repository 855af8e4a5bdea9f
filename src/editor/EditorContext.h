#pragma once
// What every page of the editor works on: the image, the editor state, the
// senders and the settings. One instance lives for the whole run.

#include "midi/Senders.h"
#include "model/PerformanceImage.h"
#include "model/Settings.h"

#include <functional>
#include <string>

namespace kw {

struct EditorContext {
    PerformanceImage& image;
    EditorState& state;
    Senders& senders;
    Settings& settings;
    // The status setter: shows a transient text in the status line.
    std::function<void(const std::string&)> status;
    // Whether the MIDI input port is open (the output's state is senders.portOpen()).
    std::function<bool()> inputOpen = [] { return false; };
};

} // namespace kw
