#pragma once
// MIDI devices through RtMidi, one backend per RtMidi API (ALSA sequencer,
// JACK, ...), each listing the ports it can see.

#include "midi/MidiBackend.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

namespace kw {

template <class Rt>
struct OpenRt;  // a port opened through RtMidi

// A port name without the parts that change from one boot or replugging to
// the next ("CS1x:CS1x MIDI 1 20:0" -> "CS1x:CS1x MIDI 1", "a2j:CS1x [20]
// (capture): x" -> "a2j:CS1x (capture): x", "sim-01:x" -> "sim:x"), because settings match names
// exactly.
std::string stablePortName(const std::string& raw);

// Client name under which the editor's own ports appear; ports of ours are
// left out of the device lists.
inline constexpr const char* kClientName = "Knobwright";

class RtMidiBackend : public MidiBackend {
public:
    // Throws when the API does not work on this machine (no /dev/snd, ...).
    RtMidiBackend(int rtMidiApi, std::string clientName = kClientName);
    ~RtMidiBackend() override;

    std::string apiName() const override;
    std::string absence() const override;
    std::vector<std::string> inputNames() override;
    std::vector<std::string> outputNames() override;
    // Nothing from a JACK server that came up since the listers were made:
    // a client of ours opened while the server's first clients still start
    // may stall the server (see Lister). Choosing the ports (Preferences)
    // opens the new server's clients.
    std::vector<std::string> knownNames(bool inputs) override;
    Opened<BackendInput> openInput(const std::string& name, int occurrence, RawInput sink) override;
    Opened<BackendOutput> openOutput(const std::string& name, int occurrence) override;

    int api() const { return api_; }

private:
    // The RtMidi object that lists one direction's ports, and which life of
    // the JACK server it was made in.
    template <class Rt>
    struct Lister;
    // The working lister; null while no JACK server runs.
    template <class Rt>
    Rt* lister(Lister<Rt>& l);
    template <class Rt>
    void retire(Lister<Rt>& l);
    template <class Rt>
    bool lives(const Lister<Rt>& l) const;
    template <class Rt>
    Opened<OpenRt<Rt>> openPort(Lister<Rt>& l, const std::string& name, int occurrence, const char* ourPortName,
                                       const std::function<void(Rt&, OpenRt<Rt>&)>& prepare);

    int api_;
    std::string client_;
    // The last look for a JACK server found none.
    bool serverMissing_ = false;
    std::unique_ptr<Lister<RtMidiIn>> listIn_;
    std::unique_ptr<Lister<RtMidiOut>> listOut_;
};

// Every compiled RtMidi API, ALSA before JACK; one that fails to start lists
// no ports and says why (a machine without sound hardware still has JACK,
// and the virtual CS1x is always there).
std::vector<std::unique_ptr<MidiBackend>> systemBackends(std::string clientName = kClientName);
// The backend of one API by its RtMidi name ("alsa", "jack"); null when it
// is not compiled in or does not start.
std::unique_ptr<RtMidiBackend> backendByName(const std::string& apiName, std::string clientName = kClientName);

} // namespace kw
