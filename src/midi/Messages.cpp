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
