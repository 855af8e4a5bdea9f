#include "midi/InputAssembler.h"

namespace kw {

int dataBytesAfter(uint8_t status)
{
    switch (status & 0xF0) {
    case 0x80: case 0x90: case 0xA0: case 0xB0: case 0xE0: return 2;
    case 0xC0: case 0xD0: return 1;
    default: break;
    }
    switch (status) {
    case 0xF1: case 0xF3: return 1;
    case 0xF2: return 2;
    default: return 0;
    }
}

void InputAssembler::reset()
{
    state_ = State::Idle;
    sysex_.clear();
    running_.clear();
    expected_ = 0;
}

void InputAssembler::byteOfSysEx(uint8_t b)
{
    if (state_ == State::Discarding) {
        if (b == 0xF7)
            state_ = State::Idle;
        return;
    }
    if (sysex_.size() >= limit_) {
        // Too long for the buffer: forget what we have and swallow the rest.
        sysex_.clear();
        sysex_.shrink_to_fit();
        state_ = b == 0xF7 ? State::Idle : State::Discarding;
        if (sink_.overflow)
            sink_.overflow();
        return;
    }
    sysex_.push_back(b);
    if (b == 0xF7) {
        state_ = State::Idle;
        Bytes done;
        done.swap(sysex_);
        if (sink_.message)
            sink_.message(std::move(done));
    }
}

void InputAssembler::feed(ByteView packet)
{
    for (const uint8_t b : packet) {
        if (b >= 0xF8) {
            if (b != 0xFE && sink_.message)
                sink_.message(Bytes{b});
            continue;
        }
        if (state_ != State::Idle) {
            if (b < 0x80 || b == 0xF7) {
                byteOfSysEx(b);
                continue;
            }
            // A status byte cuts an unterminated SysEx short; it is lost, as
            // it would be on the wire.
            state_ = State::Idle;
            sysex_.clear();
        }
        if (b == 0xF0) {
            running_.clear();
            expected_ = 0;
            state_ = State::SysEx;
            sysex_.clear();
            sysex_.push_back(b);
            continue;
        }
        if (b == 0xF7 || b == 0xF4 || b == 0xF5) {
            running_.clear();  // an end without a start, or undefined
            continue;
        }
        if (b >= 0x80) {
            running_.assign(1, b);
            expected_ = size_t(dataBytesAfter(b));
        } else if (!running_.empty()) {
            if (running_.size() > expected_) {
                // Running status: the last status byte applies again.
                running_.resize(1);
            }
            running_.push_back(b);
        } else {
            continue;  // a stray data byte without status
        }
        if (running_.size() == expected_ + 1) {
            if (sink_.message)
                sink_.message(running_);
            if (running_[0] >= 0xF0) {
                running_.clear();  // system common messages set no running status
            }
        }
    }
}

} // namespace kw
