#pragma once
// What the core (receiver, dispatcher, chains) asks of the main window. The
// window implements it; tests implement it with a recorder.

#include <string>

namespace kw {

enum class Lamp { In, Out };

class Ui {
public:
    virtual ~Ui() = default;
    // Raw text of the status line; the core's status setter times the return to "OK".
    virtual void showStatus(const std::string& text) = 0;
    virtual void setLamp(Lamp lamp, bool bright) = 0;
    // Shows a box with an OK button and returns at once: input, timers and
    // chains go on while it is up.
    virtual void messageBox(const std::string& text) = 0;
    // True while the box shown last is still up (boxes that close by
    // themselves never are).
    virtual bool messageBoxShown() const { return false; }
    // True while a dialog the user must answer first is up (a file dialog,
    // Preferences, a question): the performance must not change under it.
    virtual bool dialogOpen() const { return false; }
    // Disabled window with the busy cursor, or enabled with the normal cursor.
    virtual void setBusy(bool busy) = 0;
    // Sets every control from the image (the full refresh also re-enables the
    // window and clears the modified flag).
    virtual void refreshAll() = 0;
    virtual void refreshLayerPage() = 0;
    // Selects a line of `UserPerf` (-1: none).
    virtual void selectUserPerf(int index) = 0;
    // Replaces a line of `UserPerf`; the text is in Windows-1252.
    virtual void setUserPerfEntry(int index, const std::string& text) = 0;
    // Moves a layer control to `position` without running its handler, sets
    // its label and redraws its envelope (a knob moved on the synth).
    virtual void followKnob(const std::string& control, int position) = 0;
};

} // namespace kw
