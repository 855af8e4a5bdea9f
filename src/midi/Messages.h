#pragma once
// Byte layouts of everything the editor sends to the CS1x.

#include "model/Block.h"

#include <optional>
#include <string>

namespace kw {

// What the editor asked for and is waiting on: nothing, the identity reply,
// or one block of the edit buffer or of a user performance.
struct Request {
    enum class Type : uint8_t { None, Identity, Block };
    Type type = Type::None;
    BlockKind block = BlockKind::Common00;

    static constexpr Request none() { return {}; }
    static constexpr Request identity() { return {Type::Identity, BlockKind::Common00}; }
    static constexpr Request of(BlockKind k) { return {Type::Block, k}; }
    bool isNone() const { return type == Type::None; }
    bool operator==(const Request& o) const
    {
        return type == o.type && (type != Type::Block || block == o.block);
    }
    // Whole length of the expected reply, F0 to F7 (0 for none).
    size_t replyLength() const;
};

// Texts of a reply that is not what was asked for.
inline constexpr const char* kWrongBlocksizeText = "Receive-Error - Wrong blocksize";
inline constexpr const char* kWrongChecksumText = "Receive-Error - Wrong checksum";

// How an incoming System Exclusive message stands to a request.
struct ReplyCheck {
    enum class Match : uint8_t {
        Reply,   // the reply: for a block a bulk dump (any device number) of the
                 // requested address and length with a right checksum; for the
                 // identity request an identity reply
        Wrong,   // meant as the reply (its address, or the identity reply's
                 // opening) but damaged: `why` says how
        Other,   // something else altogether
    };
    Match match = Match::Other;
    const char* why = nullptr;
};
// `performance` is the number a user-block request carried.
ReplyCheck checkReply(const Request& r, int performance, ByteView message);

namespace msg {
inline constexpr uint8_t kIdentityRequest[] = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
inline constexpr uint8_t kStartup[] = {0xF0, 0x43, 0x10, 0x4B, 0x50, 0x00, 0x06, 0x03, 0xF7};
inline constexpr uint8_t kIdentityReply[] = {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x43, 0x00, 0x41,
                                             0x0F, 0x05, 0x00, 0x00, 0x00, 0x01, 0xF7};

Bytes parameterChange(uint8_t ah, uint8_t am, uint8_t al, uint8_t value);
Bytes parameterChange2(uint8_t ah, uint8_t am, uint8_t al, uint8_t d1, uint8_t d2);
// Dump request for a block; `performance` goes into position 5 of user requests.
Bytes dumpRequest(BlockKind k, int performance = 0);
// Bank select 63/65 and program change pp on channel 1, as three messages.
std::array<Bytes, 3> selectUserPerformance(int pp);

// Every byte between F0 and F7 of a System Exclusive message must be 7-bit:
// a byte of 0x80 or more ends the message early on the synth, and what
// follows is read as channel messages. The position of the first such byte,
// or nothing for a clean message (and for anything that is not a SysEx).
std::optional<size_t> firstNon7BitByte(ByteView message);
// What the user is told when a message was held back for such a byte: the
// editor built it wrong, so it says so.
std::string non7BitReport(ByteView message, size_t position);
} // namespace msg

// Text for the result codes that the user is told about; empty for the rest.
std::string midiResultText(int code);

} // namespace kw
