#pragma once
// Bulk-dump blocks of the CS1x: the edit image's seven blocks and the seven
// blocks of the user-performance form, each held as a complete message.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kw {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// The first seven kinds are the edit image (60 xx xx), the next seven the
// user-performance form (70 pp xx / 7L pp 00).
enum class BlockKind : uint8_t {
    Common00, Common30, Common50, Layer1, Layer2, Layer3, Layer4,
    UserCommon00, UserCommon30, UserCommon50, UserLayer1, UserLayer2, UserLayer3, UserLayer4,
};
inline constexpr int kBlockKinds = 14;
inline constexpr int kBlocksPerPerformance = 7;

struct BlockInfo {
    uint8_t dataLength;      // N
    uint8_t addrHigh, addrMid, addrLow;  // header template address
    bool userForm;
    int layer;               // 1..4 for layer blocks, 0 otherwise
    constexpr size_t length() const { return size_t(dataLength) + 11; }
};

constexpr BlockInfo blockInfo(BlockKind k)
{
    switch (k) {
    case BlockKind::Common00: return {0x2E, 0x60, 0x00, 0x00, false, 0};
    case BlockKind::Common30: return {0x17, 0x60, 0x00, 0x30, false, 0};
    case BlockKind::Common50: return {0x09, 0x60, 0x00, 0x50, false, 0};
    case BlockKind::Layer1: return {0x29, 0x60, 0x01, 0x00, false, 1};
    case BlockKind::Layer2: return {0x29, 0x60, 0x02, 0x00, false, 2};
    case BlockKind::Layer3: return {0x29, 0x60, 0x03, 0x00, false, 3};
    case BlockKind::Layer4: return {0x29, 0x60, 0x04, 0x00, false, 4};
    case BlockKind::UserCommon00: return {0x2E, 0x70, 0x00, 0x00, true, 0};
    case BlockKind::UserCommon30: return {0x15, 0x70, 0x00, 0x30, true, 0};
    case BlockKind::UserCommon50: return {0x09, 0x70, 0x00, 0x50, true, 0};
    case BlockKind::UserLayer1: return {0x29, 0x71, 0x00, 0x00, true, 1};
    case BlockKind::UserLayer2: return {0x29, 0x72, 0x00, 0x00, true, 2};
    case BlockKind::UserLayer3: return {0x29, 0x73, 0x00, 0x00, true, 3};
    case BlockKind::UserLayer4: return {0x29, 0x74, 0x00, 0x00, true, 4};
    }
    return {0, 0, 0, 0, false, 0};
}

constexpr BlockKind layerKind(int layer) { return BlockKind(int(BlockKind::Layer1) + layer - 1); }
constexpr BlockKind userLayerKind(int layer) { return BlockKind(int(BlockKind::UserLayer1) + layer - 1); }
// The user-form counterpart of an edit block and back (index 0..6 in both sets).
constexpr BlockKind toUserKind(BlockKind k) { return BlockKind(int(k) % 7 + 7); }
constexpr BlockKind toEditKind(BlockKind k) { return BlockKind(int(k) % 7); }

// Checksum rule of Yamaha bulk dumps: the sum of byte count, address and data
// plus the checksum is 0 in its low seven bits.
uint8_t bulkChecksum(ByteView message);  // over positions 4 .. size-3

// One bulk-dump message with its fixed length. The bytes are whatever was
// last received or loaded; the header is only trusted after stamp().
class BulkBlock {
public:
    BulkBlock() = default;
    explicit BulkBlock(BlockKind kind) : kind_(kind), bytes_(blockInfo(kind).length(), 0) {}

    BlockKind kind() const { return kind_; }
    size_t size() const { return bytes_.size(); }
    size_t dataLength() const { return bytes_.size() - 11; }
    uint8_t* bytes() { return bytes_.data(); }
    const uint8_t* bytes() const { return bytes_.data(); }
    ByteView view() const { return bytes_; }
    uint8_t& operator[](size_t pos) { return bytes_[pos]; }
    uint8_t operator[](size_t pos) const { return bytes_[pos]; }

    uint8_t& data(size_t offset) { return bytes_[9 + offset]; }
    uint8_t data(size_t offset) const { return bytes_[9 + offset]; }

    // Copies a whole message over the buffer when its length is the block's;
    // any other length leaves the block untouched and returns false.
    bool assign(ByteView message);

    // Writes the header template (with `number` in position 7 for user-form
    // blocks; edit blocks ignore it) and the end byte. The checksum is left
    // alone: it belongs to the outgoing copy, not to the image.
    void stampHeader(int number = 0);
    // Header, end byte and checksum, all written into this buffer (used when a
    // block changes form and must be complete in itself).
    void stampAll(int number = 0);
    // What goes on the wire or to disk: stampHeader() on this buffer, then a
    // copy with the checksum computed into the copy only.
    Bytes outgoing(int number = 0);

private:
    BlockKind kind_ = BlockKind::Common00;
    Bytes bytes_;
};

} // namespace kw
