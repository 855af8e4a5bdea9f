#pragma once
// The steps of the edit history: what one edit changed in the image and the
// mute memory, byte by byte, and the messages it sent. Undoing puts the old
// bytes back and sends the same messages again, which then carry the old
// values; redoing does the same with the new ones. One step type per kind of
// change, each with its own words for the Edit menu and its own rule for
// which later edits it takes in while the user's gesture lasts.

#include "model/FieldTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kw {

// A few entries in place, more on the heap: nearly every edit changes one
// byte (four under "Edit all Layers simult."), and ten thousand steps of
// history should not cost ten thousand allocations.
template <class T, size_t N>
class SmallList {
public:
    size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    T& operator[](size_t i) { return i < N ? inline_[i] : more_[i - N]; }
    const T& operator[](size_t i) const { return i < N ? inline_[i] : more_[i - N]; }
    void push_back(const T& t)
    {
        if (n_ < N)
            inline_[n_] = t;
        else
            more_.push_back(t);
        ++n_;
    }
    size_t heapBytes() const { return more_.capacity() * sizeof(T); }

private:
    std::array<T, N> inline_{};
    uint32_t n_ = 0;
    std::vector<T> more_;
};

// One byte an edit changed. Blocks 0..6 are the edit image's (a position in
// the whole buffer, header included); block kMuteBlock is the mute memory.
struct ByteChange {
    uint8_t block;
    uint8_t pos;
    uint8_t before;
    uint8_t after;
};
inline constexpr uint8_t kMuteBlock = 7;
// Positions in the mute memory: saved volume of layer L at L - 1, its
// muted flag at 4 + L - 1.
inline constexpr uint8_t mutedPos(int layer) { return uint8_t(4 + layer - 1); }
inline constexpr uint8_t savedVolumePos(int layer) { return uint8_t(layer - 1); }

// One message an edit sent, by where its value is read from the image.
struct StepSend {
    enum Kind : uint8_t { Param, Param2, Block };
    Kind kind;
    uint8_t block;   // 0..6 of the edit image
    uint8_t offset;  // data offset of the (first) byte; unused for Block
    bool operator==(const StepSend&) const = default;
};

// What every step holds.
struct StepBody {
    SmallList<ByteChange, 8> changes;
    SmallList<StepSend, 4> sends;

    // A byte about to change from `before` to `after`; the first `before`
    // of a byte is kept, the last `after` wins.
    void note(uint8_t block, uint8_t pos, uint8_t before, uint8_t after);
    void noteSend(StepSend send);
    // Takes a later edit of the same thing into this one.
    void absorb(const StepBody& next);
    // Nothing is different from before.
    bool unchanged() const;
    size_t heapBytes() const { return changes.heapBytes() + sends.heapBytes(); }
};

// The layer a layer step applies to, or all four.
inline constexpr int kAllLayers = 0;

// A control of the field tables moved (bars, check boxes, radio buttons,
// lists of parameters and types).
struct FieldChange {
    const FieldRow* row;
    int tab;    // assign bank shown, for the rows that have one
    int layer;  // layer rows: 1..4 or kAllLayers
    std::string text() const;
    bool sameTarget(const FieldChange& o) const { return row == o.row && tab == o.tab && layer == o.layer; }
};

// A change that goes out as whole layer blocks.
struct LayerBulkChange {
    enum What : uint8_t { Detune, VelocityDefaults, Paste };
    What what;
    int layer;
    std::string text() const;
    // A detune is a bar: one drag is one step. A button press never merges.
    bool sameTarget(const LayerBulkChange& o) const { return what == Detune && o.what == Detune && layer == o.layer; }
};

// The performance name, typed.
struct NameChange {
    std::string text() const { return "Performance Name"; }
    bool sameTarget(const NameChange&) const { return true; }
};

// The bank or the voice of a layer.
struct VoiceChange {
    const FieldRow* row;
    int layer;
    std::string text() const;
    bool sameTarget(const VoiceChange& o) const { return row == o.row && layer == o.layer; }
};

// A layer switched on or off, or muted or unmuted.
struct LayerSwitch {
    enum What : uint8_t { LayerOn, Mute };
    What what;
    int layer;
    bool on;
    std::string text() const;
    bool sameTarget(const LayerSwitch&) const { return false; }
};

// A sound a tool made (mutate, morph, a bred candidate) in the edit's place.
struct SoundChange {
    enum What : uint8_t { Mutate, Morph, Candidate };
    What what;
    std::string text() const;
    // One drag of the morph slider is one step, and so is one round of
    // trying candidates; every mutation is a step of its own.
    bool sameTarget(const SoundChange& o) const { return what == o.what && what != Mutate; }
};

// One entry of the edit history: what changed, and which kind of change
// it was.
class EditStep {
public:
    EditStep() = default;  // a place in the history that holds nothing yet
    template <class Kind>
    explicit EditStep(Kind kind) : kind_(kind)
    {
    }

    StepBody& body() { return body_; }
    const StepBody& body() const { return body_; }
    // What the Edit menu says after "Undo " or "Redo ".
    std::string text() const;
    // The one layer the step shows on the layer pages, or 0.
    int layer() const;
    bool mergeWith(const EditStep& next);
    bool empty() const { return body_.unchanged(); }
    size_t bytes() const { return sizeof(EditStep) + body_.heapBytes(); }

private:
    StepBody body_;
    std::variant<FieldChange, LayerBulkChange, NameChange, VoiceChange, LayerSwitch, SoundChange> kind_;
};

// Words for a control of the field tables ("Filter Cutoff"); the control's
// own name when it has none.
std::string fieldTitle(const FieldRow& row);

} // namespace kw
