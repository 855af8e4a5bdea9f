#include "midi/RtMidiBackend.h"

#include "midi/OutputPort.h"

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <cctype>

namespace kw {

std::string stablePortName(const std::string& raw)
{
    std::string s = raw;
    // Trailing " client:port" numbers of the ALSA sequencer.
    size_t end = s.size();
    size_t i = end;
    auto digitsBack = [&](size_t& p) {
        const size_t start = p;
        while (p > 0 && std::isdigit(static_cast<unsigned char>(s[p - 1])))
            --p;
        return p < start;
    };
    if (digitsBack(i) && i > 0 && s[i - 1] == ':') {
        --i;
        // Only when what is left still reads "client:port".
        if (digitsBack(i) && i > 0 && s[i - 1] == ' ' && s.find(':') < i - 1)
            s.erase(i - 1);
    }
    // "client-01:port": JACK numbers a second client of the same name by
    // the order in which they started.
    if (const size_t colon = s.find(':'); colon != std::string::npos && colon >= 3 && s[colon - 3] == '-'
        && std::isdigit(static_cast<unsigned char>(s[colon - 2])) && std::isdigit(static_cast<unsigned char>(s[colon - 1])))
        s.erase(colon - 3, 3);
    // " [20]": ALSA client numbers inside names bridged into JACK.
    for (size_t open = s.find(" ["); open != std::string::npos; open = s.find(" [", open + 1)) {
        size_t p = open + 2;
        while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p])))
            ++p;
        if (p > open + 2 && p < s.size() && s[p] == ']')
            s.erase(open, p + 1 - open);
    }
    return s;
}

namespace {

int resultOf(RtMidiError::Type t)
{
    switch (t) {
    case RtMidiError::WARNING:
    case RtMidiError::DEBUG_WARNING: return MidiResult::NotReady;
    case RtMidiError::NO_DEVICES_FOUND:
    case RtMidiError::INVALID_DEVICE: return MidiResult::BadDeviceId;
    case RtMidiError::INVALID_PARAMETER:
    case RtMidiError::INVALID_USE: return MidiResult::InvalidParam;
    default: return MidiResult::Error;
    }
}

// RtMidi reports trouble through a callback (or by throwing when none is
// set); each port keeps the worst thing it heard since it last looked.
struct ErrorTrap {
    std::atomic<int> result{MidiResult::Ok};
    static void callback(RtMidiError::Type type, const std::string&, void* self)
    {
        static_cast<ErrorTrap*>(self)->result = resultOf(type);
    }
    int take() { return result.exchange(MidiResult::Ok); }
};

bool ownPort(const std::string& name, const std::string& client)
{
    return name.rfind(client + ":", 0) == 0;
}

template <class Rt>
std::vector<std::string> namesOf(Rt& rt, const std::string& client)
{
    std::vector<std::string> out;
    const unsigned n = rt.getPortCount();
    for (unsigned i = 0; i < n; ++i) {
        const std::string name = stablePortName(rt.getPortName(i));
        if (!name.empty() && !ownPort(name, client))
            out.push_back(name);
    }
    return out;
}

// Position of the `occurrence`-th port called `name` in the current list.
template <class Rt>
int findPort(Rt& rt, const std::string& name, int occurrence)
{
    const unsigned n = rt.getPortCount();
    for (unsigned i = 0; i < n; ++i)
        if (stablePortName(rt.getPortName(i)) == name && occurrence-- == 0)
            return int(i);
    return -1;
}

class RtInput : public BackendInput {
public:
    RtInput(std::unique_ptr<RtMidiIn> in, RawInput sink, std::unique_ptr<ErrorTrap> trap)
        : in_(std::move(in)), sink_(std::move(sink)), trap_(std::move(trap))
    {
    }
    ~RtInput() override { close(); }
    void start()
    {
        // SysEx in, timing messages in (the dispatcher shows them), active
        // sensing out before it costs anything.
        in_->ignoreTypes(false, false, true);
        in_->setCallback(&RtInput::received, this);
    }
    int close() override
    {
        if (in_) {
            in_->cancelCallback();
            in_->closePort();
            in_.reset();
        }
        return MidiResult::Ok;
    }

private:
    static void received(double, std::vector<unsigned char>* message, void* self)
    {
        if (message && !message->empty())
            static_cast<RtInput*>(self)->sink_(ByteView(message->data(), message->size()));
    }
    std::unique_ptr<RtMidiIn> in_;
    RawInput sink_;
    std::unique_ptr<ErrorTrap> trap_;
};

class RtOutput : public BackendOutput {
public:
    RtOutput(std::unique_ptr<RtMidiOut> out, std::unique_ptr<ErrorTrap> trap)
        : out_(std::move(out)), trap_(std::move(trap))
    {
    }
    ~RtOutput() override { close(); }
    int send(ByteView m) override
    {
        if (!out_)
            return MidiResult::InvalidHandle;
        if (m.empty())
            return MidiResult::InvalidParam;
        trap_->take();
        out_->sendMessage(m.data(), m.size());
        return trap_->take();
    }
    int close() override
    {
        if (out_) {
            out_->closePort();
            out_.reset();
        }
        return MidiResult::Ok;
    }

private:
    std::unique_ptr<RtMidiOut> out_;
    std::unique_ptr<ErrorTrap> trap_;
};

} // namespace

RtMidiBackend::RtMidiBackend(int api, std::string clientName) : api_(api), client_(std::move(clientName))
{
    listIn_ = std::make_unique<RtMidiIn>(RtMidi::Api(api), client_);
    listOut_ = std::make_unique<RtMidiOut>(RtMidi::Api(api), client_);
    // Listing problems show up as empty lists, not as exceptions.
    listIn_->setErrorCallback([](RtMidiError::Type, const std::string&, void*) {}, nullptr);
    listOut_->setErrorCallback([](RtMidiError::Type, const std::string&, void*) {}, nullptr);
}

RtMidiBackend::~RtMidiBackend() = default;

std::string RtMidiBackend::apiName() const { return RtMidi::getApiName(RtMidi::Api(api_)); }

std::vector<std::string> RtMidiBackend::inputNames() { return namesOf(*listIn_, client_); }

std::vector<std::string> RtMidiBackend::outputNames() { return namesOf(*listOut_, client_); }

Opened<BackendInput> RtMidiBackend::openInput(const std::string& name, int occurrence, RawInput sink)
{
    auto trap = std::make_unique<ErrorTrap>();
    std::unique_ptr<RtMidiIn> in;
    try {
        in = std::make_unique<RtMidiIn>(RtMidi::Api(api_), client_);
    } catch (const RtMidiError& e) {
        return {nullptr, resultOf(e.getType())};
    }
    in->setErrorCallback(&ErrorTrap::callback, trap.get());
    const int index = findPort(*in, name, occurrence);
    if (index < 0)
        return {nullptr, MidiResult::BadDeviceId};
    in->openPort(unsigned(index), "MIDI-IN");
    if (!in->isPortOpen()) {
        const int r = trap->take();
        return {nullptr, r == MidiResult::Ok ? MidiResult::Error : r};
    }
    trap->take();
    auto port = std::make_unique<RtInput>(std::move(in), std::move(sink), std::move(trap));
    port->start();
    return {std::move(port), MidiResult::Ok};
}

Opened<BackendOutput> RtMidiBackend::openOutput(const std::string& name, int occurrence)
{
    auto trap = std::make_unique<ErrorTrap>();
    std::unique_ptr<RtMidiOut> out;
    try {
        out = std::make_unique<RtMidiOut>(RtMidi::Api(api_), client_);
    } catch (const RtMidiError& e) {
        return {nullptr, resultOf(e.getType())};
    }
    out->setErrorCallback(&ErrorTrap::callback, trap.get());
    const int index = findPort(*out, name, occurrence);
    if (index < 0)
        return {nullptr, MidiResult::BadDeviceId};
    out->openPort(unsigned(index), "MIDI-OUT");
    if (!out->isPortOpen()) {
        const int r = trap->take();
        return {nullptr, r == MidiResult::Ok ? MidiResult::Error : r};
    }
    trap->take();
    return {std::make_unique<RtOutput>(std::move(out), std::move(trap)), MidiResult::Ok};
}

std::unique_ptr<RtMidiBackend> backendByName(const std::string& apiName, std::string clientName)
{
    const RtMidi::Api api = RtMidi::getCompiledApiByName(apiName);
    if (api == RtMidi::UNSPECIFIED)
        return nullptr;
    try {
        return std::make_unique<RtMidiBackend>(int(api), std::move(clientName));
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

std::vector<std::unique_ptr<MidiBackend>> systemBackends(std::string clientName)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::vector<std::unique_ptr<MidiBackend>> out;
    for (const RtMidi::Api api : apis) {
        if (api == RtMidi::RTMIDI_DUMMY || api == RtMidi::UNSPECIFIED)
            continue;
        try {
            out.push_back(std::make_unique<RtMidiBackend>(int(api), clientName));
        } catch (const RtMidiError&) {
            // This API does not work here; the others may.
        }
    }
    return out;
}

} // namespace kw
