#include "files/MidiFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kw {

namespace {

uint32_t be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint16_t be16(const uint8_t* p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

bool tagIs(ByteView bytes, size_t at, const char* tag)
{
    return bytes.size() >= at + 4 && std::memcmp(bytes.data() + at, tag, 4) == 0;
}

FileError damaged(std::string reason)
{
    return FileError{FileErrorKind::DamagedMidiFile, {}, std::move(reason)};
}

std::string atByte(size_t offset)
{
    return " at byte " + std::to_string(offset);
}

struct Timed {
    uint64_t tick;
    size_t track;
    Bytes message;
};

// One track chunk's events; the SysEx messages go to `out`.
class TrackReader {
public:
    TrackReader(ByteView file, size_t begin, size_t end, size_t track, std::vector<Timed>& out, SysexFilter keep)
        : file_(file), pos_(begin), end_(end), track_(track), out_(out), keep_(keep)
    {
    }

    std::optional<FileError> read()
    {
        uint64_t tick = 0;
        while (pos_ < end_) {
            const auto delta = varLength("delta time");
            if (!delta)
                return error_;
            tick += *delta;
            if (pos_ >= end_)
                return fail("an event is missing after its delta time", pos_);
            const size_t at = pos_;
            const uint8_t first = file_[pos_];
            if (first == 0xFF) {
                ++pos_;
                running_ = 0;
                if (pos_ >= end_)
                    return fail("a meta event runs past the track's end", at);
                const uint8_t type = file_[pos_++];
                const auto body = payload(at);
                if (!body)
                    return error_;
                if (type == 0x2F)
                    return std::nullopt;  // end of track: whatever follows is not played
            } else if (first == 0xF0 || first == 0xF7) {
                ++pos_;
                running_ = 0;
                const auto body = payload(at);
                if (!body)
                    return error_;
                sysex(first, *body, tick);
            } else if (first > 0xF0) {
                return fail("status byte " + hex(first) + " has no place in a MIDI file", at);
            } else {
                uint8_t status = first;
                if (first & 0x80) {
                    ++pos_;
                    running_ = first;
                } else if (running_ == 0) {
                    return fail("a data byte without a status", at);
                } else {
                    status = running_;
                }
                const size_t count = (status & 0xE0) == 0xC0 ? 1 : 2;  // Cn and Dn take one
                if (end_ - pos_ < count)
                    return fail("a channel message runs past the track's end", at);
                for (size_t i = 0; i < count; ++i)
                    if (file_[pos_ + i] & 0x80)
                        return fail("a channel message holds a status byte", pos_ + i);
                pos_ += count;
            }
        }
        return std::nullopt;
    }

private:
    static std::string hex(uint8_t b)
    {
        static const char* digits = "0123456789ABCDEF";
        return {digits[b >> 4], digits[b & 15]};
    }

    std::optional<FileError> fail(const std::string& what, size_t at)
    {
        error_ = damaged("track " + std::to_string(track_ + 1) + ": " + what + atByte(at));
        return error_;
    }

    // A variable-length quantity of at most four bytes, as the format has it.
    std::optional<uint32_t> varLength(const char* what)
    {
        const size_t at = pos_;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos_ >= end_) {
                fail(std::string("a ") + what + " runs past the track's end", at);
                return std::nullopt;
            }
            const uint8_t b = file_[pos_++];
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80))
                return value;
        }
        fail(std::string("a ") + what + " of more than four bytes", at);
        return std::nullopt;
    }

    // A length and the bytes it counts, which must lie inside the track.
    std::optional<ByteView> payload(size_t eventAt)
    {
        const auto length = varLength("length");
        if (!length)
            return std::nullopt;
        if (*length > end_ - pos_) {
            fail("an event runs past the track's end", eventAt);
            return std::nullopt;
        }
        const ByteView body = file_.subspan(pos_, *length);
        pos_ += *length;
        return body;
    }

    void sysex(uint8_t kind, ByteView body, uint64_t tick)
    {
        if (kind == 0xF0) {
            // A new message: one still waiting for its continuation never
            // gets it.
            pending_.assign(1, 0xF0);
        } else if (pending_.empty()) {
            // An escape: only one that carries a whole message of its own
            // start is a SysEx message.
            if (body.empty() || body[0] != 0xF0)
                return;
        }
        pending_.insert(pending_.end(), body.begin(), body.end());
        if (pending_.size() >= 2 && pending_.back() == 0xF7) {
            if (!keep_ || keep_(pending_))
                out_.push_back({tick, track_, std::move(pending_)});
            pending_.clear();  // a message dropped leaves its room for the next
        }
    }

    ByteView file_;
    size_t pos_, end_, track_;
    std::vector<Timed>& out_;
    SysexFilter keep_;
    uint8_t running_ = 0;
    Bytes pending_;
    FileError error_{FileErrorKind::DamagedMidiFile, {}, {}};
};

// The SMF inside a RIFF "RMID" file (its "data" chunk), or the file itself.
std::optional<ByteView> unwrapRiff(ByteView file)
{
    if (!tagIs(file, 0, "RIFF") || !tagIs(file, 8, "RMID"))
        return file;
    size_t pos = 12;
    while (file.size() - pos >= 8) {
        const uint64_t length = le32(file.data() + pos + 4);
        if (tagIs(file, pos, "data"))
            return length <= file.size() - pos - 8 ? std::optional(file.subspan(pos + 8, size_t(length))) : std::nullopt;
        pos += 8 + size_t(std::min<uint64_t>(length + (length & 1), file.size()));
        if (pos > file.size())
            break;
    }
    return std::nullopt;
}

void putVarLength(Bytes& out, uint32_t value)
{
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = uint8_t(value & 0x7F);
        value >>= 7;
    } while (value > 0);
    while (n > 1)
        out.push_back(groups[--n] | 0x80);
    out.push_back(groups[0]);
}

void putBe32(Bytes& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

} // namespace

Result<std::vector<Bytes>> readMidiSysex(ByteView whole, SysexFilter keep)
{
    const auto unwrapped = unwrapRiff(whole);
    if (!unwrapped)
        return damaged("a RIFF MIDI file without its data");
    const ByteView file = *unwrapped;
    if (!tagIs(file, 0, "MThd") || file.size() < 14)
        return damaged("no MIDI file header");
    const uint32_t headerLength = be32(file.data() + 4);
    if (headerLength < 6 || headerLength > file.size() - 8)
        return damaged("a header of " + std::to_string(headerLength) + " bytes");
    const uint16_t format = be16(file.data() + 8);
    const uint16_t tracks = be16(file.data() + 10);
    if (format > 2)
        return damaged("format " + std::to_string(format) + " is no MIDI file format");

    std::vector<Timed> messages;
    size_t pos = 8 + headerLength;
    size_t found = 0;
    while (file.size() - pos >= 8) {
        const uint64_t length = be32(file.data() + pos + 4);
        const size_t body = pos + 8;
        if (length > file.size() - body) {
            if (tagIs(file, pos, "MTrk"))
                return damaged("track " + std::to_string(found + 1) + " is cut off" + atByte(file.size()));
            break;  // a foreign chunk cut off at the end holds nothing to read
        }
        if (tagIs(file, pos, "MTrk")) {
            if (auto e = TrackReader(file, body, body + size_t(length), found, messages, keep).read())
                return *e;
            ++found;
        }
        pos = body + size_t(length);
    }
    if (found < tracks)
        return damaged("holds " + std::to_string(found) + " of its " + std::to_string(tracks) + " tracks");

    if (format != 2)
        std::stable_sort(messages.begin(), messages.end(), [](const Timed& a, const Timed& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.track < b.track;
        });
    std::vector<Bytes> out;
    out.reserve(messages.size());
    for (Timed& t : messages)
        out.push_back(std::move(t.message));
    return out;
}

Bytes midiFileBytes(std::span<const PerformanceRecord> records)
{
    constexpr uint16_t kDivision = 96;      // ticks per quarter note
    constexpr uint32_t kTempo = 500000;     // microseconds per quarter note (120 bpm)
    constexpr uint32_t kPauseTicks = 20;    // 104 ms at that tempo
    Bytes track;
    // The tempo first, so every player times the pauses alike.
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03, uint8_t(kTempo >> 16), uint8_t(kTempo >> 8), uint8_t(kTempo)});
    bool first = true;
    for (const PerformanceRecord& r : records) {
        for (int m = 0; m < kBlocksPerPerformance; ++m) {
            const ByteView message = r.message(m);
            putVarLength(track, first ? 0 : kPauseTicks);
            first = false;
            track.push_back(0xF0);
            putVarLength(track, uint32_t(message.size() - 1));
            track.insert(track.end(), message.begin() + 1, message.end());
        }
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, uint8_t(kDivision >> 8), uint8_t(kDivision & 0xFF),
                 'M', 'T', 'r', 'k'};
    putBe32(out, uint32_t(track.size()));
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

} // namespace kw
