#pragma once
// A source of MIDI devices: one RtMidi API (ALSA, JACK, ...) or the virtual
// CS1x. The port layer lists every backend's devices one after the other and
// opens them through the backend that listed them.

#include "model/Block.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kw {

// Bytes as the driver delivers them: possibly a piece of a SysEx, possibly
// on a thread of the driver's own.
using RawInput = std::function<void(ByteView)>;

class BackendInput {
public:
    virtual ~BackendInput() = default;
    // MidiResult code; after a failure the port counts as still open.
    virtual int close() = 0;
};

class BackendOutput {
public:
    virtual ~BackendOutput() = default;
    virtual int send(ByteView message) = 0;
    virtual int close() = 0;
};

template <class Port>
struct Opened {
    std::unique_ptr<Port> port;   // null when the open failed
    int result = 0;               // MidiResult code
};

class MidiBackend {
public:
    virtual ~MidiBackend() = default;
    virtual std::string apiName() const = 0;
    virtual std::vector<std::string> inputNames() = 0;
    virtual std::vector<std::string> outputNames() = 0;
    // `name` and `occurrence` (0 for the first port of that name in this
    // backend's list) say which device is meant; the backend finds it again
    // by them, so a device list that changed since it was read still opens
    // the device the user picked.
    virtual Opened<BackendInput> openInput(const std::string& name, int occurrence, RawInput sink) = 0;
    virtual Opened<BackendOutput> openOutput(const std::string& name, int occurrence) = 0;
};

} // namespace kw
