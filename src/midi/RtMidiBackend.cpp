#include "midi/RtMidiBackend.h"

#include "midi/OutputPort.h"

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <cctype>
#include <functional>

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

// Where the driver's thread delivers; set up before the port opens, so not
// even the first message waits in RtMidi's own queue.
struct InputTarget {
    RawInput sink;
    static void received(double, std::vector<unsigned char>* message, void* self)
    {
        if (message && !message->empty())
            static_cast<InputTarget*>(self)->sink(ByteView(message->data(), message->size()));
    }
};

class RtInput : public BackendInput {
public:
    RtInput(std::unique_ptr<RtMidiIn> in, std::unique_ptr<InputTarget> target, std::unique_ptr<ErrorTrap> trap)
        : in_(std::move(in)), target_(std::move(target)), trap_(std::move(trap))
    {
    }
    ~RtInput() override { close(); }
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
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<InputTarget> target_;
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

namespace {

// A fresh RtMidi object of our own, opened on the `occurrence`-th port called
// `name`; null and the result code when that fails.
template <class Rt>
std::pair<std::unique_ptr<Rt>, int> openRt(int api, const std::string& client, ErrorTrap& trap,
                                           const std::string& name, int occurrence, const char* ourPortName,
                                           const std::function<void(Rt&)>& prepare = {})
{
    std::unique_ptr<Rt> rt;
    try {
        rt = std::make_unique<Rt>(RtMidi::Api(api), client);
    } catch (const RtMidiError& e) {
        return {nullptr, resultOf(e.getType())};
    }
    rt->setErrorCallback(&ErrorTrap::callback, &trap);
    const int index = findPort(*rt, name, occurrence);
    if (index < 0)
        return {nullptr, MidiResult::BadDeviceId};
    if (prepare)
        prepare(*rt);
    rt->openPort(unsigned(index), ourPortName);
    const int r = trap.take();
    if (!rt->isPortOpen())
        return {nullptr, r == MidiResult::Ok ? MidiResult::Error : r};
    return {std::move(rt), MidiResult::Ok};
}

} // namespace

Opened<BackendInput> RtMidiBackend::openInput(const std::string& name, int occurrence, RawInput sink)
{
    auto trap = std::make_unique<ErrorTrap>();
    auto target = std::make_unique<InputTarget>(InputTarget{std::move(sink)});
    auto [in, result] = openRt<RtMidiIn>(api_, client_, *trap, name, occurrence, "MIDI-IN", [&](RtMidiIn& rt) {
        // SysEx in, timing messages in (the dispatcher shows them), active
        // sensing out before it costs anything.
        rt.ignoreTypes(false, false, true);
        rt.setCallback(&InputTarget::received, target.get());
    });
    if (!in)
        return {nullptr, result};
    return {std::make_unique<RtInput>(std::move(in), std::move(target), std::move(trap)), MidiResult::Ok};
}

Opened<BackendOutput> RtMidiBackend::openOutput(const std::string& name, int occurrence)
{
    auto trap = std::make_unique<ErrorTrap>();
    auto [out, result] = openRt<RtMidiOut>(api_, client_, *trap, name, occurrence, "MIDI-OUT");
    if (!out)
        return {nullptr, result};
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
