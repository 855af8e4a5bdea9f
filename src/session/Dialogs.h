#pragma once
// Everything the editor's commands need to ask of the user, without knowing
// which toolkit asks. The program answers with Qt's dialogs and the editor's
// own windows; tests answer from a script. All texts are UTF-8.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kw {

// A running progress window. Closed at the latest when the object goes.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void setValue(int value) = 0;
    virtual void setText(const std::string& text) = 0;
    // True once the user has pressed the cancel button.
    virtual bool cancelled() const = 0;
    virtual void close() = 0;
};

// What the user-performance chooser shows.
struct UserPerfChoice {
    std::string caption;
    std::string buttonText;
    int selected = -1;                  // line shown selected (-1: none)
    int topIndex = 0;                   // line scrolled to the top
    std::vector<std::string> entries;   // the 128 lines of the user-performance list
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The two-button question window: 1 for the first button, 2 for the
    // second, 0 when it was closed without either.
    virtual int ask(const std::string& text, const std::string& firstButton, const std::string& secondButton) = 0;
    // A standard Yes/No question box with its own caption; true unless the
    // user answered No. A question whose Yes throws work away defaults to
    // No, so that Return keeps the work.
    enum class Default { Yes, No };
    virtual bool confirm(const std::string& caption, const std::string& text, Default byDefault = Default::Yes) = 0;
    // A question box with its own caption and buttons, the last of them
    // the one that backs out: the index of the button pressed, the last
    // one's when the box was closed otherwise.
    virtual int choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons) = 0;
    // A message box with an OK button.
    virtual void inform(const std::string& text) = 0;
    // The same with `details` (a long list, say) in an area of its own that
    // the user can open and copy from.
    virtual void inform(const std::string& text, const std::string& details) { inform(text + "\n\n" + details); }
    // A message box with an OK button that does not wait for it: the program
    // goes on (input, timers, transfers) while it is up. What the synth's
    // input has to tell comes this way.
    virtual void notify(const std::string& text) { inform(text); }
    // True while the box of notify() or answer() is still up.
    virtual bool notifying() const { return false; }
    // The box of notify() with an answer to the user's own action (a
    // transfer's result, the synth's greeting): shown whatever is up, active
    // with the focus on its button, and it does not wait for OK either. The
    // rules of what it shows are BoxContent's (midi/Ui.h).
    virtual void answer(const std::string& text, const std::string& /*topic*/ = {}) { inform(text); }
    // Takes back an answer of `topic` that no longer holds.
    virtual void withdraw(const std::string& /*topic*/) {}

    // `filter` in the usual "Description (*.EXT *.ext);;All files (*)" form.
    // Empty: the user cancelled.
    virtual std::optional<std::string> chooseOpenFile(const std::string& title, const std::string& filter,
                                                      const std::string& folder) = 0;
    // Several files at once; empty: the user cancelled.
    virtual std::vector<std::string> chooseOpenFiles(const std::string& title, const std::string& filter,
                                                     const std::string& folder)
    {
        auto one = chooseOpenFile(title, filter, folder);
        return one ? std::vector<std::string>{*one} : std::vector<std::string>{};
    }
    virtual std::optional<std::string> chooseSaveFile(const std::string& title, const std::string& filter,
                                                      const std::string& folder,
                                                      const std::string& proposedName) = 0;
    // `title` says what the folder is for: where received performances go,
    // what is imported. Empty: the user cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& title, const std::string& startFolder) = 0;
    // The index of the chosen line, or nothing when the user cancelled.
    virtual std::optional<int> chooseUserPerf(const UserPerfChoice& choice) = 0;

    // Opens a progress window counting from 0 to `maximum`.
    virtual std::unique_ptr<Progress> progress(const std::string& title, const std::string& text, int maximum) = 0;
};

} // namespace kw
