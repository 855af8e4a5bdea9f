#pragma once
// The one path of every XG edit: a parameter of the XG side set to a value
// goes into the editor's copy of what the instrument holds, out as its
// parameter change at once (as a performance edit goes), and into the
// history, so undo and redo put the value back and send it again.
//
// In Performance mode the instrument plays the performance on parts 1-4 and
// ignores the XG effects, so those are refused here rather than edited in
// a copy the instrument would never follow.

#include "midi/XgMessages.h"
#include "model/XgMemory.h"
#include "session/History.h"

#include <cstddef>
#include <string>

namespace kw {

class Senders;

class XgSession {
public:
    static constexpr size_t kHistorySteps = 10000;

    enum class Outcome : uint8_t {
        Done,         // set and sent (or set with no output open: the copy still follows the edit)
        Unchanged,    // the value was already there
        NotTaken,     // the row does not take the value: nothing changes
        NotInMode,    // Performance mode: the effects and parts 1-4 are not the XG side's
    };

    explicit XgSession(Senders& senders) : senders_(senders) {}

    const xg::Memory& memory() const { return memory_; }
    int value(const xg::Param& p) const { return memory_.value(p); }
    // What the instrument plays in; false is Performance mode.
    void setMultiMode(bool on) { multi_ = on; }
    bool multiMode() const { return multi_; }
    // Whether the instrument follows edits of `p` in the present mode.
    bool editable(const xg::Param& p) const;

    Outcome apply(const xg::Param& p, int value);
    // The user's gesture ended: the next edit is a step of its own.
    void endGesture() { history_.seal(); }

    bool canUndo() const { return history_.toUndo() != nullptr; }
    bool canRedo() const { return history_.toRedo() != nullptr; }
    // "Reverb Send (Part 5)", "Level (Drum Setup 1 C1)", "Reverb Type", or "".
    std::string undoText() const;
    std::string redoText() const;
    void undo();
    void redo();
    size_t historySize() const { return history_.size(); }

    // A reply to a request for `asked`: taken into the copy when it is the
    // reply; anything else changes nothing and says why. What the
    // instrument holds is no edit, so it is not in the history.
    xg::ReplyCheck takeReply(const xg::Param& asked, ByteView message);

private:
    struct Step {
        xg::Param param;
        int before = -1, after = -1;
        bool mergeWith(const Step& next)
        {
            if (!(next.param == param))
                return false;
            after = next.after;
            return true;
        }
        bool empty() const { return before == after; }
        size_t bytes() const { return sizeof(Step); }
    };
    static std::string stepText(const Step* s);
    void put(const xg::Param& p, int value);

    Senders& senders_;
    xg::Memory memory_;
    bool multi_ = false;
    History<Step> history_{kHistorySteps};
};

} // namespace kw
