#pragma once
// The one path every edit takes. A control's position goes through its
// field row into the image (the edit layer's block, or all four under
// "Edit all Layers simult."), then out as the message the row names; the
// senders set the modified flag for what really went out. The rules that tie
// fields together live here too (mute memory, velocity defaults, copy and
// paste; those of single rows, such as the note limits, random pan or layer
// volume, in FieldRules.cpp), and the switch to another user performance.
//
// Every edit is recorded here as one step of the history: the bytes it
// changed and the messages it sent. Undo and redo put the bytes back and
// send the same messages with the restored values, so the synth follows.

#include "model/FieldTable.h"
#include "model/PerformanceImage.h"
#include "session/EditSteps.h"
#include "session/History.h"
#include "session/UserPerfNames.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

class Chain;
class Dialogs;
class MidiCore;
class Senders;
class Ui;

// Controls that an edit changed besides the one that made it: the caller
// sets each of them again from the image, and nothing else.
struct Echo {
    std::vector<const FieldRow*> rows;
    void add(const FieldRow& row) { rows.push_back(&row); }
    bool empty() const { return rows.empty(); }
};

// The layers an edit covers: the edit layer, or all four under "Edit all
// Layers simult.". Iterable, first to last.
struct LayerSpan {
    int first;
    int last;
    // What a step of the history names: the one layer, or kAllLayers.
    int scope() const { return first == last ? first : kAllLayers; }

    struct Iterator {
        int layer;
        int operator*() const { return layer; }
        Iterator& operator++()
        {
            ++layer;
            return *this;
        }
        bool operator==(const Iterator&) const = default;
    };
    Iterator begin() const { return {first}; }
    Iterator end() const { return {last + 1}; }
};

// Sending stays off while controls are set from the image. Pauses nest: each
// gives back the state it found.
class SendsPaused {
public:
    explicit SendsPaused(EditorState& st) : st_(st), was_(st.sendEnable) { st_.sendEnable = false; }
    ~SendsPaused() { st_.sendEnable = was_; }
    SendsPaused(const SendsPaused&) = delete;
    SendsPaused& operator=(const SendsPaused&) = delete;

private:
    EditorState& st_;
    bool was_;
};

class EditSession {
public:
    // What the switch of user performance needs of the receiving side. It
    // exists only after the window and the core, so it is linked afterwards
    // (linkToCore below); without it a list click switches nothing and a
    // program change fetches nothing, edits go on as ever.
    struct Links {
        std::function<void()> startFetch{};                         // the receiving core's performance fetch
        std::function<bool()> inputOpen{};                          // the output's state is the senders'
        std::function<void(const std::string&)> status{};          // a status-line text that returns to "OK"
        std::function<void()> acted{};                              // the user edited: an old failure stops standing
        std::function<void(const std::string&)> report{};          // a status-line text that stays a while
        std::function<void(std::unique_ptr<Chain>)> startChain{};  // the receiver runs a send job
        std::function<bool()> transferBusy{};                       // a transfer runs or waits its turn
        // Why a switch cannot reach the synth (no device chosen, a port
        // not open), or empty when it can.
        std::function<std::string()> whyNoSynth{};
    };

    // How many steps the edit history keeps; older ones are forgotten.
    static constexpr size_t kHistorySteps = 10000;

    EditSession(PerformanceImage& image, EditorState& state, Senders& senders);
    void link(Links links) { links_ = std::move(links); }
    // The window that shows the session (busy state, the UserPerf lines, the
    // layer page) and the dialogs it asks through. The window attaches
    // itself when it is made and detaches when it goes; while attached it is
    // told every line of the user-performance list that changes.
    void attach(Ui& ui, Dialogs& dialogs);
    void detach();

    PerformanceImage& image() { return image_; }
    const PerformanceImage& image() const { return image_; }
    EditorState& state() { return state_; }
    const EditorState& state() const { return state_; }
    Senders& senders() { return senders_; }
    // The 128 lines of the user-performance list.
    UserPerfNames& userPerfs() { return names_; }
    const UserPerfNames& userPerfs() const { return names_; }

    // --- Edits -----------------------------------------------------------

    // A control of `row` moved to `position`: a bar's position, a list's or
    // selector's entry, 1/0 for a check box, 1 for the radio button clicked,
    // the bank table row for `PatchBankNumber`, the effect table entry for the
    // three type lists. `tab` picks the assign bank of the rows that have one.
    // Unchecking `ArpTempoMidi` stores nothing by itself: the tempo bar's
    // position is then applied as `ArpTempo`.
    Echo apply(const FieldRow& row, int position, int tab = 0);
    // "Set to defaults" of the velocity group: limits 1 and 127, sense 64 and 64.
    Echo velocityDefaults();
    // Mute button of layer 1..4 pressed or released.
    Echo mute(int layer, bool down);
    // The performance name as typed (Windows-1252), cut or padded to eight.
    void setName(std::string_view text);
    // A variation parameter (slot 0..5) as its 14-bit value.
    void setVariationValue(int slot, int value);

    // A sound a tool made takes the edit's place: every parameter in which
    // `target` differs from the image takes its bits, as one step of
    // `what`, and goes out as its control's edit sends it (a layer's bank
    // and detune as the layer block, a variation type as common block 30,
    // which carries its parameters). A muted layer's volume stays as the
    // mute button keeps it. Answers the bytes of the messages sent: 0 when
    // nothing differs or while comparing.
    size_t applySound(const BlockSet& target, SoundChange::What what);

    // The edit layer (1..4); the window shows the new layer at once.
    void setEditLayer(int layer);
    void setAffectAll(bool on) { state_.affectAll = on; }
    void copyLayer();
    // Does nothing until something was copied.
    void pasteLayer();

    // --- History ----------------------------------------------------------

    // The user's gesture ended (a button released, a key let go, the name
    // box left): the next edit is a step of its own, even of the same
    // control. Until then, edits of one control are one step.
    void endGesture() { history_.seal(); }
    bool canUndo() const { return history_.toUndo() != nullptr; }
    bool canRedo() const { return history_.toRedo() != nullptr; }
    // What an undo or a redo would change ("Filter Cutoff (Layer 2)"), or "".
    std::string undoText() const;
    std::string redoText() const;
    // Puts back what the newest step changed, or does again what the last
    // undo took back, and sends what that step sent with the values it now
    // holds. The layer pages show the layer the step changed.
    void undo();
    void redo();
    size_t historySize() const { return history_.size(); }
    size_t historyBytes() const { return history_.bytes(); }
    // Off, edits are not recorded and the history stays as it is: what
    // recording costs an edit can be measured against it.
    void recordHistory(bool on) { recordingOn_ = on; }
    // Called when what undo, redo or compare would do has changed; not for
    // every edit of one gesture.
    void onHistoryChange(std::function<void()> fn) { historyChanged_ = std::move(fn); }
    // Drops every step (a performance came that the steps do not lead to);
    // the status line says so when there were any.
    void startNewHistory();
    // Counts every change of the history and every compare: whoever puts an
    // image back tells by it whether steps were taken on another image
    // meanwhile.
    uint64_t historyMoves() const { return moves_; }
    // The edited performance is what the synth stores now ("Save changes to
    // User-Perf" went through): nothing to lose, and back here by undo or
    // redo it counts as unmodified again.
    void markStored();

    // --- Compare ----------------------------------------------------------

    // Toggles between the performance as last fetched or loaded and the
    // edited one, sending the whole of it each time. While comparing, edits
    // are refused; the second press gives back the edit exactly.
    void compare();
    bool comparing() const { return aside_.has_value(); }
    // A bank slot sounds in the synth in place of the edit: compare waits.
    void setAuditioning(bool on) { auditioning_ = on; }
    // The edited performance, also while the original is being compared:
    // what "Save" stores.
    const BlockSet& editedImage() const { return aside_ ? aside_->blocks : image_.edit; }

    // --- Showing the image ----------------------------------------------

    // The position a control of `row` shows for the image, clamped as the
    // control would. Lists give the stored entry as it is, so an entry past
    // their end shows nothing selected; -1 means the image names no entry of
    // the control's table and the control stays as it was.
    int position(const FieldRow& row, int tab = 0) const;
    // The text the control's value label shows for the image.
    std::string shownText(const FieldRow& row, int tab, std::string_view decimalSeparator) const;

    // --- User performances ----------------------------------------------

    // A click (or Return) on line `pp` of the user-performance list: asks
    // before an edited performance is dropped, then switches the synth and
    // fetches the performance.
    void chooseUserPerf(int pp);
    // The synth switched to `pp` by itself: follow it and fetch.
    void programChange(int pp);

    // The window shows a performance the user changed (edited, or opened
    // from a file) since it last came from the synth: a fetch the user did
    // not ask for would replace that work.
    bool userWork() const { return userWork_; }
    // The window's first full refresh showed the start-up performance:
    // compare compares with it until a fetch or a file comes.
    void startShown() { referenceFrom_ = From::Start; }
    // A file (or a library entry) was opened into the editor, after the
    // full refresh that shows it: compare compares with what it held.
    void fileOpened()
    {
        userWork_ = true;
        referenceFrom_ = From::Loaded;
    }

    // The editor state as the full refresh leaves it: edit layer 1, no
    // affect-all, no layer muted, nothing modified. The image is a
    // performance fetched or loaded, so it is what compare compares with,
    // and the steps before it no longer apply: the history starts anew.
    void resetForRefresh();
    // How often the window was set anew from the whole image (a fetch, a
    // file opened): what it shows is the image as it stood then.
    int fullRefreshes() const { return fullRefreshes_; }

    // A transient text on the status line (back to "OK" shortly after).
    void status(const std::string& text);
    // The same, left long enough to be read: what undo, redo and compare did.
    void report(const std::string& text);

private:
    enum class Origin { List, Synth };
    // Where the performance that compare compares with came from.
    enum class From { Start, Fetch, Loaded };
    // Records what one edit changes and sends as one step, and hands it to
    // the history when the edit is done.
    class Recording;
    struct Aside {
        BlockSet blocks;
        std::array<MuteMemory, 4> mute;
        bool modified;
    };

    void acted();
    void switchTo(int pp, Origin origin, const std::string& line);
    // True (and the controls set back) while comparing.
    bool refused();
    void historyChanged();
    void takeStep(bool back);
    LayerSpan layers() const
    {
        return state_.affectAll ? LayerSpan{1, 4} : LayerSpan{state_.editLayer, state_.editLayer};
    }

    // The rows whose edits are more than storing a control's position at the
    // row's offset: what an edit of one writes and what its control shows for
    // the image, side by side (FieldRules.cpp). nullptr for the other rows.
    struct Rule;
    static const Rule* ruleFor(const FieldRow& row);
    // The path of the other rows.
    Echo writeField(const FieldRow& row, int position, int tab);
    int readField(const FieldRow& row, int tab) const;

    BulkBlock& block(const FieldRow& row);
    const BulkBlock& block(const FieldRow& row) const;
    BulkBlock& editLayer() { return image_.edit.layer(state_.editLayer); }
    // Every write of an edit goes through these, so the step holds it.
    void put(BulkBlock& b, size_t pos, uint8_t value);
    void putData(BulkBlock& b, size_t offset, uint8_t value) { put(b, 9 + offset, value); }
    void putMute(int layer, MuteMemory m);
    void writeLayer(size_t offset, uint8_t value);
    // Every message of an edit goes through these, so the step can send it again.
    void send(const FieldRow& row, int tab = 0);
    void sendOut(StepSend m);

    void sendVolume(int layer);

    PerformanceImage& image_;
    EditorState& state_;
    Senders& senders_;
    Links links_;
    UserPerfNames names_;
    Ui* ui_ = nullptr;
    Dialogs* dialogs_ = nullptr;
    int fullRefreshes_ = 0;
    History<EditStep> history_{kHistorySteps};
    StepBody* recording_ = nullptr;
    bool recordingOn_ = true;
    bool auditioning_ = false;
    uint64_t moves_ = 0;
    std::function<void()> historyChanged_;
    // The performance as last fetched or loaded, and while comparing the
    // edited one kept aside.
    BlockSet reference_{false};
    From referenceFrom_ = From::Start;
    std::optional<Aside> aside_;
    bool userWork_ = false;
};

} // namespace kw
