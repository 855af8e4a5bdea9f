#pragma once
// Turns what a driver hands over (one packet at a time, possibly a piece of a
// System Exclusive message) into complete messages. Plain C++, so it can run
// on the driver's own thread.

#include "model/Block.h"

#include <functional>

namespace kw {

// Longest System Exclusive message taken in, F0 to F7: the size of the input
// buffer the editor has always had.
inline constexpr size_t kInputBufferSize = 8192;

// Shown when a System Exclusive message does not fit the input buffer.
inline constexpr const char* kSysExTooLongText = "SysEx-message longer than 8192 bytes - dropped!";

class InputAssembler {
public:
    struct Sink {
        std::function<void(Bytes)> message;     // a short message or a complete SysEx
        std::function<void()> overflow;         // a SysEx was dropped for its size
    };

    explicit InputAssembler(Sink sink, size_t limit = kInputBufferSize)
        : sink_(std::move(sink)), limit_(limit) {}

    // One packet from the driver. Active sensing is dropped here, before
    // anything else sees it; other real-time bytes are passed on at once even
    // in the middle of a SysEx, the way they travel on the wire.
    void feed(ByteView packet);
    // Forgets a SysEx that is still open (the port was closed under it).
    void reset();
    bool inSysEx() const { return state_ != State::Idle; }

private:
    enum class State { Idle, SysEx, Discarding };
    void byteOfSysEx(uint8_t b);

    Sink sink_;
    size_t limit_;
    State state_ = State::Idle;
    Bytes sysex_;
    Bytes running_;   // a short message being collected across packets
    size_t expected_ = 0;
};

// Data bytes that follow a status byte (0 for the ones that stand alone).
int dataBytesAfter(uint8_t status);

} // namespace kw
