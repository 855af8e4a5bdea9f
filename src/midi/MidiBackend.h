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
    // False when the port is known to have stopped working since it opened
    // (the device or the driver's server went away and came back, say).
    virtual bool working() { return true; }
};

class BackendOutput {
public:
    virtual ~BackendOutput() = default;
    virtual int send(ByteView message) = 0;
    // The driver's own words for the last failed send; may be empty.
    virtual std::string errorText() const { return {}; }
    virtual int close() = 0;
    virtual bool working() { return true; }
};

template <class Port>
struct Opened {
    Opened(std::unique_ptr<Port> p, int r, std::string why = {})
        : port(std::move(p)), result(r), reason(std::move(why))
    {
    }
    std::unique_ptr<Port> port;   // null when the open failed
    int result = 0;               // MidiResult code
    std::string reason;           // the driver's words on trouble, even when the port opened
};

class MidiBackend {
public:
    virtual ~MidiBackend() = default;
    virtual std::string apiName() const = 0;
    // Why this backend lists no ports just now, in words for the user ("No
    // JACK server is running, ..."), as of its last listing; empty while it works.
    virtual std::string absence() const { return {}; }
    virtual std::vector<std::string> inputNames() = 0;
    virtual std::vector<std::string> outputNames() = 0;
    // The inputs' or the outputs' names, looked at without opening anything
    // new in the driver; a backend that could only look by opening a client
    // (a JACK server started since it last listed) lists nothing. For
    // watching the ports twice a second.
    virtual std::vector<std::string> knownNames(bool inputs) { return inputs ? inputNames() : outputNames(); }
    // `name` and `occurrence` (0 for the first port of that name in this
    // backend's list) say which device is meant; the backend finds it again
    // by them, so a device list that changed since it was read still opens
    // the device the user picked.
    virtual Opened<BackendInput> openInput(const std::string& name, int occurrence, RawInput sink) = 0;
    virtual Opened<BackendOutput> openOutput(const std::string& name, int occurrence) = 0;
    // Whether a search for the synth may ask this backend's devices. The
    // editor's own emulation is chosen by name only: it would answer any
    // search and hide the instrument the user is looking for.
    virtual bool searchable() const { return true; }
};

} // namespace kw
