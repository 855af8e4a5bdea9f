#include "midi/MidiPorts.h"

#include "midi/Senders.h"

#include <map>

namespace kw {

struct MidiPorts::InputChannel {
    InputChannel(InputQueue& q, uint64_t generation)
        : assembler({[this](Bytes m) { queue.push({this->generation, std::move(m)}); },
                     [this] { queue.push({this->generation, {}}); }}),
          queue(q), generation(generation)
    {
    }
    InputAssembler assembler;
    InputQueue& queue;
    uint64_t generation;
};

MidiPorts::MidiPorts(Settings& settings, std::vector<std::unique_ptr<MidiBackend>> backends, PortHooks hooks,
                     UiPost post)
    : settings_(settings), backends_(std::move(backends)), hooks_(std::move(hooks))
{
    if (!post) {
        hop_ = std::make_unique<UiHop>();
        post = hop_->poster();
    }
    post_ = post;
    queue_ = std::make_unique<InputQueue>(std::move(post), [this](InputItem& item) { deliver(item); });
}

MidiPorts::~MidiPorts()
{
    // The driver threads must be gone before the queue they push into.
    in_.reset();
    out_.reset();
}

void MidiPorts::show(const std::string& text) const
{
    if (hooks_.messageBox)
        hooks_.messageBox(text);
}

void MidiPorts::deliver(InputItem& item)
{
    // Leftovers of an input port that has been closed or replaced meanwhile
    // belong to a device the user no longer listens to.
    if (!in_ || item.port != inGeneration_)
        return;
    if (item.bytes.empty()) {
        if (hooks_.status)
            hooks_.status(kSysExTooLongText);
        return;
    }
    tap(Direction::In, item.bytes);
    if (sink_)
        sink_(item.bytes);
}

int MidiPorts::addTap(Tap tap)
{
    taps_.emplace_back(++lastTap_, std::move(tap));
    return lastTap_;
}

void MidiPorts::removeTap(int id)
{
    std::erase_if(taps_, [id](const auto& t) { return t.first == id; });
}

void MidiPorts::tap(Direction d, ByteView message) const
{
    for (const auto& t : taps_)
        t.second(d, message);
}

std::vector<MidiPorts::Device> MidiPorts::searchableDevices(Direction d)
{
    std::vector<Device> out;
    for (size_t b = 0; b < backends_.size(); ++b) {
        if (!backends_[b]->searchable())
            continue;
        std::map<std::string, int> seen;
        for (auto& n : d == Direction::In ? backends_[b]->inputNames() : backends_[b]->outputNames())
            out.push_back({b, n, seen[n]++});
    }
    return out;
}

Opened<BackendInput> MidiPorts::openExtraInput(const Device& d, RawInput sink)
{
    if (d.backend >= backends_.size())
        return {nullptr, MidiResult::BadDeviceId};
    return backends_[d.backend]->openInput(d.name, d.occurrence, std::move(sink));
}

Opened<BackendOutput> MidiPorts::openExtraOutput(const Device& d)
{
    if (d.backend >= backends_.size())
        return {nullptr, MidiResult::BadDeviceId};
    return backends_[d.backend]->openOutput(d.name, d.occurrence);
}

bool MidiPorts::lists(Direction d, const std::string& name)
{
    for (auto& b : backends_)
        for (auto& n : b->knownNames(d == Direction::In))
            if (n == name)
                return true;
    return false;
}

void MidiPorts::listDevices()
{
    inDevices_.clear();
    outDevices_.clear();
    inNames_.clear();
    outNames_.clear();
    for (size_t b = 0; b < backends_.size(); ++b) {
        std::map<std::string, int> seenIn, seenOut;
        for (auto& n : backends_[b]->inputNames()) {
            inDevices_.push_back({b, n, seenIn[n]++});
            inNames_.push_back(n);
        }
        for (auto& n : backends_[b]->outputNames()) {
            outDevices_.push_back({b, n, seenOut[n]++});
            outNames_.push_back(n);
        }
    }
}

std::vector<std::string> MidiPorts::absentDrivers() const
{
    std::vector<std::string> out;
    for (const auto& b : backends_)
        if (std::string why = b->absence(); !why.empty())
            out.push_back(std::move(why));
    return out;
}

bool MidiPorts::deviceCheck(Senders& senders)
{
    configuredIn_ = -1;
    configuredOut_ = -1;
    listDevices();
    if (inNames_.empty() || outNames_.empty()) {
        show(kNoDeviceText);
        return false;
    }
    // Several devices of the configured name: each is opened in turn and the
    // last one stays open.
    for (size_t i = 0; i < inNames_.size(); ++i)
        if (inNames_[i] == settings_.midiIn) {
            configuredIn_ = int(i);
            openInput(int(i));
        }
    for (size_t i = 0; i < outNames_.size(); ++i)
        if (outNames_[i] == settings_.midiOut) {
            configuredOut_ = int(i);
            openOutput(int(i));
        }
    senders.startupMessage();
    senders.request(Request::identity());
    return true;
}

void MidiPorts::rescan()
{
    listDevices();
    configuredIn_ = -1;
    configuredOut_ = -1;
    for (size_t i = 0; i < inNames_.size(); ++i)
        if (inNames_[i] == settings_.midiIn)
            configuredIn_ = int(i);
    for (size_t i = 0; i < outNames_.size(); ++i)
        if (outNames_[i] == settings_.midiOut)
            configuredOut_ = int(i);
}

void MidiPorts::openInput(int device)
{
    if (!closeInput())
        return;
    if (device < 0 || size_t(device) >= inDevices_.size()) {
        lastResult_ = MidiResult::BadDeviceId;
        show("Unable to open MIDI-IN-Device <" + settings_.midiIn + "> : " + std::to_string(lastResult_));
        return;
    }
    const Device& d = inDevices_[size_t(device)];
    auto channel = std::make_shared<InputChannel>(*queue_, ++inGeneration_);
    std::weak_ptr<InputChannel> weak = channel;
    auto opened = backends_[d.backend]->openInput(d.name, d.occurrence, [weak](ByteView bytes) {
        // Runs on the driver's thread; the channel outlives the port.
        if (auto c = weak.lock())
            c->assembler.feed(bytes);
    });
    lastResult_ = opened.result;
    if (!opened.port) {
        show("Unable to open MIDI-IN-Device <" + settings_.midiIn + "> : " + std::to_string(lastResult_));
        return;
    }
    if (!opened.reason.empty())
        show("MIDI-In error: " + opened.reason);
    inChannel_ = std::move(channel);
    in_ = std::move(opened.port);
}

bool MidiPorts::closeInput()
{
    if (!in_)
        return true;
    lastResult_ = in_->close();
    if (lastResult_ != MidiResult::Ok) {
        show("Unable to close MIDI-IN-Device <" + settings_.midiIn + "> : " + std::to_string(lastResult_));
        return false;
    }
    in_.reset();
    inChannel_.reset();
    ++inGeneration_;
    return true;
}

void MidiPorts::openOutput(int device)
{
    if (!closeOutput())
        return;
    if (device < 0 || size_t(device) >= outDevices_.size()) {
        lastResult_ = MidiResult::BadDeviceId;
        show("Unable to open MIDI-OUT-Device <" + settings_.midiOut + "> : " + std::to_string(lastResult_));
        return;
    }
    const Device& d = outDevices_[size_t(device)];
    auto opened = backends_[d.backend]->openOutput(d.name, d.occurrence);
    lastResult_ = opened.result;
    if (!opened.port) {
        show("Unable to open MIDI-OUT-Device <" + settings_.midiOut + "> : " + std::to_string(lastResult_));
        return;
    }
    if (!opened.reason.empty())
        show("MIDI-Out error: " + opened.reason);
    out_ = std::move(opened.port);
}

bool MidiPorts::closeOutput()
{
    if (!out_)
        return true;
    lastResult_ = out_->close();
    if (lastResult_ != MidiResult::Ok) {
        show("Unable to close MIDI-Device <" + settings_.midiOut + "> : " + std::to_string(lastResult_));
        return false;
    }
    out_.reset();
    return true;
}

int MidiPorts::Facade::send(ByteView message)
{
    if (!p_.out_)
        return p_.lastResult_ = MidiResult::InvalidHandle;
    p_.lastResult_ = p_.out_->send(message);
    if (p_.lastResult_ == MidiResult::Ok)
        p_.tap(Direction::Out, message);
    return p_.lastResult_;
}

std::string MidiPorts::Facade::failureReason() const { return p_.out_ ? p_.out_->errorText() : std::string(); }

} // namespace kw
