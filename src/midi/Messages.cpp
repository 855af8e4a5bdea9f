#include "midi/Messages.h"

#include "midi/OutputPort.h"

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
    return {0xF0, 0x43, 0x10, 0x4B, ah, am, al, uint8_t(value & 0x7F), 0xF7};
}

Bytes parameterChange2(uint8_t ah, uint8_t am, uint8_t al, uint8_t d1, uint8_t d2)
{
    return {0xF0, 0x43, 0x10, 0x4B, ah, am, al, uint8_t(d1 & 0x7F), uint8_t(d2 & 0x7F), 0xF7};
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
