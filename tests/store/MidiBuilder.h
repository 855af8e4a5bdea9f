#pragma once
// Standard MIDI Files put together event by event, in the forms other
// programs write: running status, SysEx split into F7 continuations,
// escapes, foreign chunks, a RIFF wrapper.

#include "model/Block.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace kwtest {

inline kw::Bytes varLen(uint32_t v)
{
    kw::Bytes groups;
    do {
        groups.insert(groups.begin(), uint8_t(v & 0x7F));
        v >>= 7;
    } while (v);
    for (size_t i = 0; i + 1 < groups.size(); ++i)
        groups[i] |= 0x80;
    return groups;
}

inline kw::Bytes cat(std::initializer_list<kw::Bytes> parts)
{
    kw::Bytes out;
    for (const kw::Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline kw::Bytes be32(uint32_t v)
{
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

inline kw::Bytes chunk(const std::string& tag, const kw::Bytes& body)
{
    return cat({kw::Bytes(tag.begin(), tag.end()), be32(uint32_t(body.size())), body});
}

inline kw::Bytes header(int format, int tracks, int division = 96)
{
    return chunk("MThd", {0, uint8_t(format), uint8_t(tracks >> 8), uint8_t(tracks), uint8_t(division >> 8),
                          uint8_t(division)});
}

inline kw::Bytes track(std::initializer_list<kw::Bytes> events)
{
    return chunk("MTrk", cat(events));
}

// A whole message (F0 ... F7) as one F0 event.
inline kw::Bytes sysex(uint32_t delta, const kw::Bytes& message)
{
    return cat({varLen(delta), {0xF0}, varLen(uint32_t(message.size() - 1)), kw::Bytes(message.begin() + 1, message.end())});
}

// An F0 event of the message's first `first` bytes, the rest as F7
// continuations of `step` bytes each, `between` (events) before each.
inline kw::Bytes splitSysex(const kw::Bytes& message, size_t first, size_t step, const kw::Bytes& between = {})
{
    kw::Bytes out = cat({{0x00, 0xF0}, varLen(uint32_t(first - 1)), kw::Bytes(message.begin() + 1, message.begin() + ptrdiff_t(first))});
    for (size_t at = first; at < message.size(); at += step) {
        const size_t n = std::min(step, message.size() - at);
        out = cat({out, between, {0x05, 0xF7}, varLen(uint32_t(n)),
                   kw::Bytes(message.begin() + ptrdiff_t(at), message.begin() + ptrdiff_t(at + n))});
    }
    return out;
}

inline const kw::Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

} // namespace kwtest
