#pragma once
#include "model/Block.h"

#include <string>

namespace kw {

// Result codes of a port call. The numbers are the ones users of the original
// Windows driver interface know from error boxes, so every backend maps its
// failures onto them.
namespace MidiResult {
inline constexpr int Ok = 0;
inline constexpr int BadDeviceId = 2;       // MMSYSERR_BADDEVICEID: no such device (any more)
inline constexpr int Allocated = 4;         // MMSYSERR_ALLOCATED: in use by another program
inline constexpr int InvalidHandle = 5;     // MMSYSERR_INVALHANDLE
inline constexpr int InvalidParam = 11;     // MMSYSERR_INVALPARAM
inline constexpr int Unprepared = 64;       // MIDIERR_UNPREPARED
inline constexpr int NotReady = 67;         // MIDIERR_NOTREADY
inline constexpr int Error = 1;             // MMSYSERR_ERROR: anything else
} // namespace MidiResult

// Where outgoing messages go: the real port, the virtual CS1x, or a recorder.
class OutputPort {
public:
    virtual ~OutputPort() = default;
    virtual bool isOpen() const = 0;
    // Sends one complete message (System Exclusive or a short channel
    // message); returns a MidiResult code.
    virtual int send(ByteView message) = 0;
    // The driver's own words for the last failed send; may be empty.
    virtual std::string failureReason() const { return {}; }
};

} // namespace kw
