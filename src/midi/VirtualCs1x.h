#pragma once
// The instrument's side of everything the editor exchanges with a CS1x:
// identity, dump requests, parameter changes, bulk dumps and switching to a
// user performance; and its XG side: XG parameter changes, requests, bulk
// dumps and their requests, XG System On. Pure logic over its own memory; VirtualBackend puts it
// into the device lists and the simulator program puts it on real ports.

#include "model/PerformanceImage.h"
#include "model/XgMemory.h"

#include <array>
#include <functional>
#include <vector>

namespace kw {

inline constexpr const char* kVirtualDeviceName = "Virtual CS1x";

// What loading a memory image found.
struct MemoryLoad {
    static constexpr int kPerformances = 1 + 128;  // the edit buffer, then user performances 1 to 128
    int taken = 0;     // bulk dumps taken into memory (whole performances only)
    int rejected = 0;  // messages that are no well-formed whole block of this memory
    // Intact blocks found, per performance; a performance is taken when all 7 are.
    std::array<uint8_t, kPerformances> blocks{};
    // Every block once, nothing else, and not a byte more or less.
    bool whole = false;
};

// What the instrument plays: a performance (its four layers, with XG parts
// 5-16 beside them) or sixteen XG parts with their own effects.
enum class ToneMode : uint8_t { Performance, Multi };

class VirtualCs1x {
public:
    // Edit buffer at the start-up performance, user performances named and
    // categorised as the editor's built-in list, with default data.
    VirtualCs1x();

    // One complete incoming message; returns what the instrument sends back
    // (nothing for most messages).
    std::vector<Bytes> handle(ByteView message);

    // The player picks user performance `pp` on the instrument's own panel:
    // it becomes the edit buffer and the instrument announces it as a
    // program change on channel 1 (what the editor follows when asked to).
    std::vector<Bytes> selectOnPanel(int pp);

    // Runs after every message that changed the memory.
    void setOnChange(std::function<void()> fn) { onChange_ = std::move(fn); }

    const BlockSet& editBuffer() const { return edit_; }
    const BlockSet& user(int pp) const { return user_[size_t(pp)]; }
    // The complete memory as bulk dumps: the edit buffer, then user
    // performances 1 to 128 (41 KB of valid SysEx a real CS1x accepts too).
    Bytes memoryImage() const;
    // Takes every performance of `image` whose seven blocks are all there and
    // intact, whatever their device number; the others keep what they had.
    MemoryLoad loadMemoryImage(ByteView image);
    void resetMemory();

    // Switched on the instrument's panel. In Performance mode XG changes
    // and dumps of the effects and of parts 1-4 are ignored (the
    // performance plays there); requests are answered in either mode.
    void setToneMode(ToneMode mode) { mode_ = mode; }
    ToneMode toneMode() const { return mode_; }
    const xg::Memory& xg() const { return xg_; }

private:
    struct Place {
        BulkBlock* block = nullptr;
        size_t offset = 0;
        int performance = 0;  // 0: the edit buffer, 1 + pp: user performance pp
        int index = 0;        // of the block within its performance
    };
    Place locate(uint8_t ah, uint8_t am, uint8_t al);
    // Where a well-formed dump of this memory goes; none for anything else.
    Place placeOf(ByteView m);
    // The place written, or none when the dump was not taken.
    Place takeBulk(ByteView m);
    Bytes dump(BlockKind k, int pp);
    void changed();
    std::vector<Bytes> handleXg(ByteView m);
    // Whether Performance mode leaves the XG data of this table and part alone.
    bool ignoredInMode(xg::Table table, int part) const;

    BlockSet edit_{false};
    std::vector<BlockSet> user_;
    uint8_t bankMsb_ = 0;
    uint8_t bankLsb_ = 0;
    ToneMode mode_ = ToneMode::Performance;
    xg::Memory xg_;
    std::function<void()> onChange_;
};

// Splits a byte stream into its SysEx messages (F0 .. F7); bytes outside
// them are skipped.
std::vector<Bytes> splitSysEx(ByteView stream);

} // namespace kw
