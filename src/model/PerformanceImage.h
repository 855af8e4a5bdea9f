#pragma once
// The performance being edited (the synth's edit buffer) and the one
// performance in user-memory form that files and transfers move around.

#include "model/Block.h"

#include <array>

namespace kw {

// Seven blocks of one kind set, indexed 0..6 in BlockKind order.
class BlockSet {
public:
    explicit BlockSet(bool userForm);
    BulkBlock& operator[](BlockKind k) { return blocks_[index(k)]; }
    const BulkBlock& operator[](BlockKind k) const { return blocks_[index(k)]; }
    BulkBlock& at(int i) { return blocks_[size_t(i)]; }
    const BulkBlock& at(int i) const { return blocks_[size_t(i)]; }
    BulkBlock& layer(int l) { return blocks_[size_t(2 + l)]; }
    const BulkBlock& layer(int l) const { return blocks_[size_t(2 + l)]; }
    bool userForm() const { return userForm_; }
    // All seven blocks as they stand, back to back (317 bytes in user form).
    Bytes concatenated() const;

private:
    static size_t index(BlockKind k) { return size_t(int(k) % 7); }
    bool userForm_;
    std::array<BulkBlock, 7> blocks_;
};

inline constexpr size_t kPerformanceRecordSize = 57 + 32 + 20 + 4 * 52;  // 317

// Default data bytes of the start-up performance ("InitPerf").
extern const std::array<uint8_t, 46> kDefaultCommon00;
extern const std::array<uint8_t, 23> kDefaultCommon30;
extern const std::array<uint8_t, 9> kDefaultCommon50;
extern const std::array<uint8_t, 41> kDefaultLayer;

struct MuteMemory {
    uint8_t savedVolume = 127;
    bool muted = false;
};

struct EditorState {
    int editLayer = 1;              // 1..4
    bool affectAll = false;
    bool sendEnable = true;
    bool modified = false;
    int selectedUserPerf = -1;      // -1..127
    // The user performance whose fetch the editor shows, as the synth held
    // it then (-1: none: the defaults, a file, a bank sent since).
    int shownUserPerf = -1;
    std::array<MuteMemory, 4> mute{};   // index layer-1
    BulkBlock layerClipboard{BlockKind::Layer1};
    bool clipboardFilled = false;   // "Paste Layerdata" is offered from the first copy on

    void resetToStart();
};

struct PerformanceImage {
    BlockSet edit{false};
    BlockSet transfer{true};

    // Data bytes of all seven edit blocks to the defaults; headers, checksums
    // and end bytes are left as they are.
    void setDefaults();

    BulkBlock& editLayerBlock(const EditorState& st) { return edit.layer(st.editLayer); }
    const BulkBlock& editLayerBlock(const EditorState& st) const { return edit.layer(st.editLayer); }

    // Takes a performance in user form into the edit image: each buffer gets
    // the shorter block's bytes; common 30 thereby loses its last two edit-only
    // fields, which are set to 0. Every block is re-stamped in edit form.
    static void userToEdit(const BlockSet& user, BlockSet& edit);
    // The edit image in user form for performance `number`.
    static void editToUser(const BlockSet& edit, BlockSet& user, int number);
};

// The start-up performance: defaults into the image, and the layer clipboard
// holding a copy of layer 1.
void setDefaults(PerformanceImage& img, EditorState& st);

// Writes the layer field at `offset` the way every layer control does: into all
// four layer blocks under affect-all, otherwise into the edit layer only.
void writeLayerField(PerformanceImage& img, const EditorState& st, size_t offset, uint8_t value);

} // namespace kw
