#include "midi/Messages.h"

#include "midi/HexText.h"
#include "midi/OutputPort.h"

#include <algorithm>

namespace kw {

size_t Request::replyLength() const
{
    switch (type) {
    case Type::None: return 0;
    case Type::Identity: return sizeof msg::kIdentityReply;
    case Type::Block: return blockInfo(block).length();
    }
    return 0;
}

ReplyCheck checkReply(const Request& r, int performance, ByteView m)
{
    using Match = ReplyCheck::Match;
    if (m.size() < 2 || m.front() != 0xF0)
        return {};
    switch (r.type) {
    case Request::Type::None: return {};
    case Request::Type::Identity: {
        // F0 7E dd 06 02 (manufacturer, family, member, version) F7
        if (m.size() < 5 || m[1] != 0x7E || m[3] != 0x06 || m[4] != 0x02)
            return {};
        if (m.size() != sizeof msg::kIdentityReply || m.back() != 0xF7)
            return {Match::Wrong, kWrongBlocksizeText};
        return {Match::Reply};
    }
    case Request::Type::Block: {
        // F0 43 0n 4B bh bl ah am al data.. checksum F7
        const BlockInfo info = blockInfo(r.block);
        const uint8_t mid = info.userForm ? uint8_t(performance & 0x7F) : info.addrMid;
        if (m.size() < 9 || m[1] != 0x43 || (m[2] & 0xF0) != 0x00 || m[3] != 0x4B || m[6] != info.addrHigh
            || m[7] != mid || m[8] != info.addrLow)
            return {};
        const size_t count = size_t(m[4]) << 7 | m[5];
        if (m.size() != info.length() || count != info.dataLength || m.back() != 0xF7)
            return {Match::Wrong, kWrongBlocksizeText};
        if (bulkChecksum(m) != m[m.size() - 2])
            return {Match::Wrong, kWrongChecksumText};
        return {Match::Reply};
    }
    }
    return {};
}

namespace msg {

Bytes parameterChange(uint8_t ah, uint8_t am, uint8_t al, uint8_t value)
{
    // Not masked: a value out of range is a fault the senders refuse, not
    // something to send as another value.
    return {0xF0, 0x43, 0x10, 0x4B, ah, am, al, value, 0xF7};
}

Bytes parameterChange2(uint8_t ah, uint8_t am, uint8_t al, uint8_t d1, uint8_t d2)
{
    return {0xF0, 0x43, 0x10, 0x4B, ah, am, al, d1, d2, 0xF7};
}

Bytes dumpRequest(BlockKind k, int performance)
{
    const BlockInfo info = blockInfo(k);
    const uint8_t mid = info.userForm ? uint8_t(performance & 0x7F) : info.addrMid;
    return {0xF0, 0x43, 0x20, 0x4B, info.addrHigh, mid, info.addrLow, 0xF7};
}

std::array<Bytes, 3> selectUserPerformance(int pp)
{
    return {Bytes{0xB0, 0x00, 0x3F}, Bytes{0xB0, 0x20, 0x41}, Bytes{0xC0, uint8_t(pp & 0x7F)}};
}

std::optional<size_t> firstNon7BitByte(ByteView message)
{
    if (message.size() < 2 || message.front() != 0xF0)
        return std::nullopt;
    for (size_t i = 1; i + 1 < message.size(); ++i)
        if (message[i] & 0x80)
            return i;
    return std::nullopt;
}

std::string non7BitReport(ByteView message, size_t position)
{
    return "Internal error: a message was not sent because its byte " + std::to_string(position) + " is " +
           hexByte(message[position]) + ", which MIDI does not allow inside a SysEx message.\n" +
           hexText(message.first(std::min<size_t>(message.size(), 9))) + " ...";
}

} // namespace msg

std::string midiResultText(int code)
{
    switch (code) {
    case MidiResult::InvalidHandle: return "MMSYSERR_INVALHANDLE";
    case MidiResult::InvalidParam: return "MMSYSERR_INVALPARAM";
    case MidiResult::Unprepared: return "MIDIERR_UNPREPARED";
    case MidiResult::NotReady: return "MIDIERR_NOTREADY";
    default: return {};
    }
}

} // namespace kw
