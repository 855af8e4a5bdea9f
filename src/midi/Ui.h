#pragma once
// What the core (receiver, dispatcher, chains) asks of the main window. The
// window implements it; tests implement it with a recorder.

#include <string>
#include <utility>
#include <vector>

namespace kw {

enum class Lamp { In, Out };

// What the program's one message box shows, apart from the toolkit, so the
// window and the test doubles keep the same rules:
// - a notice, raised by the synth's input while the user plays: shown only
//   while no box is up (the callers send the text to the status line then);
// - answers to the user's own action (a transfer's result, the synth's
//   greeting after the ports were chosen): shown whatever is up. One takes
//   the place of a notice; an answer still up keeps its text and gets the
//   new one below it, except one of the same topic, which it replaces.
class BoxContent {
public:
    bool up() const { return up_; }
    bool showsAnswers() const { return up_ && !answers_.empty(); }
    // The whole text shown.
    const std::string& text() const { return text_; }

    void notice(std::string text);
    void answer(std::string text, const std::string& topic = {});
    // Takes the answer of `topic` away; the box is down when nothing is left.
    // True when the box changed.
    bool withdraw(const std::string& topic);
    // The user closed the box.
    void closed();

private:
    void compose();
    bool up_ = false;
    std::string text_;
    std::vector<std::pair<std::string, std::string>> answers_;  // topic, text
};

// The topic of the synth's answer to the identity request: its greeting or
// the word that it does not respond. A new request makes either stale.
inline constexpr const char* kSynthTopic = "synth";

class Ui {
public:
    virtual ~Ui() = default;
    // Raw text of the status line; the core's status setter times the return to "OK".
    virtual void showStatus(const std::string& text) = 0;
    virtual void setLamp(Lamp lamp, bool bright) = 0;
    // Shows a notice (see BoxContent) with an OK button and returns at once:
    // input, timers and chains go on while it is up. It takes no focus.
    virtual void messageBox(const std::string& text) = 0;
    // Shows an answer (see BoxContent), returning at once; it comes up
    // active with the focus on its button.
    virtual void answerBox(const std::string& text, const std::string& /*topic*/ = {}) { messageBox(text); }
    // Takes back an answer that no longer holds (see BoxContent::withdraw).
    virtual void withdrawBox(const std::string& /*topic*/) {}
    // True while the box is up (boxes that close by themselves never are).
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
    // Sets every control from the image and the editor state as they stand
    // (after an undo, a redo, a compare): resets nothing and sends nothing.
    virtual void showImage() = 0;
    // Selects a line of `UserPerf` (-1: none).
    virtual void selectUserPerf(int index) = 0;
    // Replaces a line of `UserPerf`; the text is in Windows-1252.
    virtual void setUserPerfEntry(int index, const std::string& text) = 0;
    // Moves a layer control to `position` without running its handler, sets
    // its label and redraws its envelope (a knob moved on the synth).
    virtual void followKnob(const std::string& control, int position) = 0;
};

} // namespace kw
