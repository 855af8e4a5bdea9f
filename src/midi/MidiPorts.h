#pragma once
// The editor's two MIDI ports: the device lists of every backend, the
// configured devices, opening and closing, and the delivery of input to the
// UI thread in arrival order.

#include "midi/InputAssembler.h"
#include "midi/InputQueue.h"
#include "midi/MidiBackend.h"
#include "midi/OutputPort.h"
#include "model/Settings.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kw {

class Senders;

inline constexpr const char* kNoDeviceText = "You should have at least ONE MIDI-Device in your Computer I think!";

// Which way a message went through a port.
enum class Direction : uint8_t { In, Out };

struct PortHooks {
    std::function<void(const std::string&)> messageBox;
    std::function<void(const std::string&)> status;   // transient status-line text
};

class MidiPorts {
public:
    // `post` hands work to the UI thread; when empty, a Qt object created
    // here (in the calling thread, which must be the UI thread) does it.
    MidiPorts(Settings& settings, std::vector<std::unique_ptr<MidiBackend>> backends,
              PortHooks hooks = {}, UiPost post = {});
    ~MidiPorts();
    MidiPorts(const MidiPorts&) = delete;
    MidiPorts& operator=(const MidiPorts&) = delete;

    void setHooks(PortHooks hooks) { hooks_ = std::move(hooks); }
    // Every complete incoming message, on the UI thread, in arrival order.
    void setInputSink(std::function<void(const Bytes&)> sink) { sink_ = std::move(sink); }
    // A listener to every message that came in (just before the sink) and
    // every one that went out (once the port took it), on the UI thread, in
    // the order the editor handled them (the MIDI monitor). Several may
    // listen; the number addTap() gives takes one away again (not from
    // inside a tap).
    using Tap = std::function<void(Direction, ByteView)>;
    int addTap(Tap tap);
    void removeTap(int id);

    // Lists the devices, opens the configured ones and greets the synth
    // (start-up message, identity request). False, after telling the user,
    // when the computer lacks an input or an output device: the caller then
    // must not run the event loop.
    bool deviceCheck(Senders& senders);
    // Reads the device lists again (devices plugged in since the start) and
    // finds the configured devices in them; open ports stay open.
    void rescan();

    // What each backend that lists no ports gave as the reason at the last
    // listing ("No JACK server is running, ..."), in the backends' order.
    std::vector<std::string> absentDrivers() const;

    const std::vector<std::string>& inputNames() const { return inNames_; }
    const std::vector<std::string>& outputNames() const { return outNames_; }
    int configuredInput() const { return configuredIn_; }
    int configuredOutput() const { return configuredOut_; }
    void setConfiguredInput(int index) { configuredIn_ = index; }
    void setConfiguredOutput(int index) { configuredOut_ = index; }

    // Device numbers are positions in the name lists.
    void openInput(int device);
    bool closeInput();
    void openOutput(int device);
    bool closeOutput();
    bool inputOpen() const { return in_ != nullptr; }
    bool outputOpen() const { return out_ != nullptr; }
    // Open, and not known to have stopped working (its device or the
    // driver's server went away since it opened).
    bool inputWorking() const { return in_ && in_->working(); }
    bool outputWorking() const { return out_ && out_->working(); }
    int lastResult() const { return lastResult_; }

    // Stays valid while the ports are reopened; the senders hold on to it.
    OutputPort& output() { return facade_; }

    // Devices beside the two ports (a search for the synth), as the
    // backends list them now; the lists above stay as they are, so a dialog
    // that shows them keeps its rows.
    struct Device {
        size_t backend;
        std::string name;
        int occurrence;  // 0 for the first port of that name in its backend
    };
    // Only the backends that may be searched.
    std::vector<Device> searchableDevices(Direction d);
    Opened<BackendInput> openExtraInput(const Device& d, RawInput sink);
    Opened<BackendOutput> openExtraOutput(const Device& d);
    // Whether some backend lists a device of exactly this name now, as far
    // as it can tell without opening anything (MidiBackend::knownNames).
    bool lists(Direction d, const std::string& name);
    // How work reaches the UI thread from a driver's thread.
    const UiPost& poster() const { return post_; }

private:
    class Facade : public OutputPort {
    public:
        explicit Facade(MidiPorts& p) : p_(p) {}
        bool isOpen() const override { return p_.outputOpen(); }
        int send(ByteView message) override;
        std::string failureReason() const override;
    private:
        MidiPorts& p_;
    };
    // What one opening of the input port needs on the driver's thread.
    struct InputChannel;

    void listDevices();
    void show(const std::string& text) const;
    void deliver(InputItem& item);
    void tap(Direction d, ByteView message) const;

    Settings& settings_;
    std::vector<std::unique_ptr<MidiBackend>> backends_;
    PortHooks hooks_;
    std::unique_ptr<UiHop> hop_;
    UiPost post_;
    std::vector<std::pair<int, Tap>> taps_;
    int lastTap_ = 0;
    std::unique_ptr<InputQueue> queue_;
    std::function<void(const Bytes&)> sink_;

    std::vector<Device> inDevices_, outDevices_;
    std::vector<std::string> inNames_, outNames_;
    int configuredIn_ = -1;
    int configuredOut_ = -1;

    std::unique_ptr<BackendInput> in_;
    std::shared_ptr<InputChannel> inChannel_;
    uint64_t inGeneration_ = 0;
    std::unique_ptr<BackendOutput> out_;
    int lastResult_ = 0;
    Facade facade_{*this};
};

} // namespace kw
