#include "midi/RtMidiBackend.h"

#include "midi/OutputPort.h"

#include <rtmidi/RtMidi.h>

#include "midi/DriverLog.h"
#include "midi/JackWatch.h"

#include <algorithm>
#include <cctype>
#include <atomic>
#include <functional>
#include <mutex>
#include <type_traits>

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

bool isJack(int api) { return api == RtMidi::UNIX_JACK; }

int resultOf(RtMidiError::Type t)
{
    switch (t) {
    case RtMidiError::DEBUG_WARNING: return MidiResult::Ok;  // chatter, not trouble
    case RtMidiError::NO_DEVICES_FOUND:
    case RtMidiError::INVALID_DEVICE: return MidiResult::BadDeviceId;
    case RtMidiError::INVALID_PARAMETER: return MidiResult::InvalidParam;
    case RtMidiError::INVALID_USE: return MidiResult::InvalidHandle;
    default: return MidiResult::Error;  // reported with RtMidi's own words
    }
}

// RtMidi reports trouble through a callback (or by throwing when none is
// set); each port keeps the first thing it heard since it last looked. The
// callback may run on a driver thread.
struct ErrorTrap {
    std::mutex mutex;
    int result = MidiResult::Ok;
    std::string reason;
    static void callback(RtMidiError::Type type, const std::string& text, void* self)
    {
        auto* t = static_cast<ErrorTrap*>(self);
        const int r = resultOf(type);
        std::lock_guard lock(t->mutex);
        if (r == MidiResult::Ok || t->result != MidiResult::Ok)
            return;
        t->result = r;
        t->reason = text;
    }
    std::pair<int, std::string> take()
    {
        std::lock_guard lock(mutex);
        auto out = std::make_pair(result, std::move(reason));
        result = MidiResult::Ok;
        reason.clear();
        return out;
    }
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

template <class Rt>
bool listsRaw(Rt& rt, const std::string& raw)
{
    const unsigned n = rt.getPortCount();
    for (unsigned i = 0; i < n; ++i)
        if (rt.getPortName(i) == raw)
            return true;
    return false;
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

void ignoreErrors(RtMidiError::Type, const std::string&, void*) {}

// What goes wrong while the ports are listed shows as empty lists; RtMidi's
// own words go to the log.
void logErrors(RtMidiError::Type, const std::string& text, void*) { logDriverText("RtMidi", text); }

// A new RtMidi object, whose constructor talks to the terminal when its API
// does not start.
template <class Rt>
std::shared_ptr<Rt> makeRt(int api, const std::string& client)
{
    const CerrToLog quiet("RtMidi");
    return std::make_shared<Rt>(RtMidi::Api(api), client);
}

} // namespace

// One opened RtMidi port with everything RtMidi holds pointers to, and where
// it is connected. A port whose JACK server died is never called into again:
// it is buried whole when closed (see JackWatch.h).
template <class Rt>
struct OpenRt {
    // Usually the backend's lister for this direction, lent to the port.
    std::shared_ptr<Rt> rt;
    std::shared_ptr<std::atomic<bool>> lent;  // the lister's flag; null for an object of the port's own
    std::unique_ptr<ErrorTrap> trap;
    std::unique_ptr<InputTarget> target;
    int api = 0;
    jack::Life life = 0;
    std::string client;
    std::string ourPortName;
    std::string device;  // the device's port as the driver names it

    OpenRt() = default;
    OpenRt(OpenRt&&) = default;
    ~OpenRt() { close(); }

    bool serverAlive() const { return !isJack(api) || jack::alive(life); }
    bool working() const
    {
        if (!rt || !serverAlive())
            return false;
        if (!isJack(api))
            return listsRaw(*rt, device);
        // JACK keeps our port when the device goes away, and a device that
        // comes back is not connected to it again.
        for (const std::string& c : jack::connections(device))
            if (stablePortName(c) == client + ":" + ourPortName)
                return true;
        return false;
    }
    void close()
    {
        if (!rt)
            return;
        if (!serverAlive()) {
            jack::bury(std::move(rt));
            jack::bury(std::move(trap));
            jack::bury(std::move(target));
            return;
        }
        if constexpr (std::is_same_v<Rt, RtMidiIn>)
            rt->cancelCallback();
        rt->closePort();
        rt->setErrorCallback(&ignoreErrors, nullptr);
        rt.reset();
        if (lent)
            lent->store(false);
        lent.reset();
    }
};

namespace {

class RtInput : public BackendInput {
public:
    explicit RtInput(std::unique_ptr<OpenRt<RtMidiIn>> in) : in_(std::move(in)) {}
    ~RtInput() override { close(); }
    int close() override
    {
        in_->close();
        return MidiResult::Ok;
    }
    bool working() override { return in_->working(); }

private:
    std::unique_ptr<OpenRt<RtMidiIn>> in_;
};

class RtOutput : public BackendOutput {
public:
    explicit RtOutput(std::unique_ptr<OpenRt<RtMidiOut>> out) : out_(std::move(out)) {}
    ~RtOutput() override { close(); }
    int send(ByteView m) override
    {
        reason_.clear();
        if (!out_->rt)
            return MidiResult::InvalidHandle;
        if (m.empty())
            return MidiResult::InvalidParam;
        if (!out_->serverAlive()) {
            // RtMidi would queue it for a client that no longer runs, and
            // wait for room in that queue for ever once it is full.
            reason_ = "the JACK server has shut down";
            return MidiResult::Error;
        }
        out_->trap->take();
        out_->rt->sendMessage(m.data(), m.size());
        auto [result, reason] = out_->trap->take();
        reason_ = std::move(reason);
        return result;
    }
    std::string errorText() const override { return reason_; }
    int close() override
    {
        out_->close();
        return MidiResult::Ok;
    }
    bool working() override { return out_->working(); }

private:
    std::unique_ptr<OpenRt<RtMidiOut>> out_;
    std::string reason_;
};

// Opens the `occurrence`-th port called `name` on `o.rt`; the result code
// (and RtMidi's words) when that fails.
template <class Rt>
Opened<OpenRt<Rt>> openOn(std::unique_ptr<OpenRt<Rt>> o, const std::string& name, int occurrence,
                          const std::function<void(Rt&, OpenRt<Rt>&)>& prepare)
{
    o->trap = std::make_unique<ErrorTrap>();
    o->rt->setErrorCallback(&ErrorTrap::callback, o->trap.get());
    auto failed = [&](int code, std::string reason) {
        o->close();
        return Opened<OpenRt<Rt>>{nullptr, code, std::move(reason)};
    };
    const int index = findPort(*o->rt, name, occurrence);
    if (index < 0)
        return failed(MidiResult::BadDeviceId, {});
    o->device = o->rt->getPortName(unsigned(index));
    if (prepare)
        prepare(*o->rt, *o);
    o->rt->openPort(unsigned(index), o->ourPortName);
    auto [r, reason] = o->trap->take();
    if (!o->rt->isPortOpen())
        return failed(r == MidiResult::Ok ? MidiResult::Error : r, std::move(reason));
    return {std::move(o), MidiResult::Ok, std::move(reason)};
}

} // namespace

// Ports open on the lister's own client rather than on a client of their
// own: with JACK, every client a process opens while another of its clients
// still runs risks a lost wake-up in the JACK library (clients of one process
// share one table of the server's wake-up words, and each client's thread
// updates it when clients come and go; a new client may be handed the slot
// of one that just closed before all of them have caught up). That stalls
// the whole JACK graph for good. So a server's life sees exactly two clients
// of ours, opened once, and reconnecting only moves ports.
//
// A second port of one direction at once (a search for the synth listens
// beside the editor's own port) gets a spare client, which is kept like the
// lister for the rest of the server's life: a search moves its ports from
// device to device on the same clients and never opens or closes one.
template <class Rt>
struct RtMidiBackend::Lister {
    struct Client {
        std::shared_ptr<Rt> rt;
        std::shared_ptr<std::atomic<bool>> lent = std::make_shared<std::atomic<bool>>(false);
    };
    std::shared_ptr<Rt> rt;  // lists the ports; the first client lent
    jack::Life life = 0;
    std::shared_ptr<std::atomic<bool>> lent = std::make_shared<std::atomic<bool>>(false);
    std::vector<Client> spares;  // of the same server life
};

RtMidiBackend::RtMidiBackend(int api, std::string clientName)
    : api_(api), client_(std::move(clientName)), listIn_(std::make_unique<Lister<RtMidiIn>>()),
      listOut_(std::make_unique<Lister<RtMidiOut>>())
{
    routeDriverMessages();
    // Throws, as documented, when the API does not work here (a JACK server
    // that is not running yet may come later).
    lister(*listIn_);
    lister(*listOut_);
}

RtMidiBackend::~RtMidiBackend()
{
    retire(*listIn_);
    retire(*listOut_);
}

template <class Rt>
Rt* RtMidiBackend::lister(Lister<Rt>& l)
{
    if (l.rt && (!isJack(api_) || jack::alive(l.life)))
        return l.rt.get();
    // Its server died: a new object finds the one that runs now (if any).
    retire(l);
    if (isJack(api_)) {
        const auto life = jack::lifeForNewClient(client_);
        serverMissing_ = !life;
        if (!life)
            return nullptr;  // no server, no ports
        l.life = *life;
    }
    l.rt = makeRt<Rt>(api_, client_);
    l.lent = std::make_shared<std::atomic<bool>>(false);
    // Listing problems show up as empty lists, not as exceptions.
    l.rt->setErrorCallback(&logErrors, nullptr);
    return l.rt.get();
}

template <class Rt>
void RtMidiBackend::retire(Lister<Rt>& l)
{
    const bool dead = isJack(api_) && !jack::alive(l.life);
    if (l.rt && dead)
        jack::bury(std::move(l.rt));
    l.rt.reset();
    for (auto& spare : l.spares)
        if (dead)
            jack::bury(std::move(spare.rt));
    l.spares.clear();
}

std::string RtMidiBackend::apiName() const { return RtMidi::getApiName(RtMidi::Api(api_)); }

std::string RtMidiBackend::absence() const
{
    return serverMissing_ ? "No JACK server is running, so no JACK ports are listed." : std::string();
}

std::vector<std::string> RtMidiBackend::inputNames()
{
    try {
        auto* rt = lister(*listIn_);
        return rt ? namesOf(*rt, client_) : std::vector<std::string>{};
    } catch (const RtMidiError&) {
        return {};
    }
}

template <class Rt>
bool RtMidiBackend::lives(const Lister<Rt>& l) const
{
    return l.rt && (!isJack(api_) || jack::alive(l.life));
}

std::vector<std::string> RtMidiBackend::knownNames(bool inputs)
{
    if (!(inputs ? lives(*listIn_) : lives(*listOut_)))
        return {};
    return inputs ? inputNames() : outputNames();
}

std::vector<std::string> RtMidiBackend::outputNames()
{
    try {
        auto* rt = lister(*listOut_);
        return rt ? namesOf(*rt, client_) : std::vector<std::string>{};
    } catch (const RtMidiError&) {
        return {};
    }
}

template <class Rt>
Opened<OpenRt<Rt>> RtMidiBackend::openPort(Lister<Rt>& l, const std::string& name, int occurrence, const char* ourPortName,
                                           const std::function<void(Rt&, OpenRt<Rt>&)>& prepare)
{
    auto o = std::make_unique<OpenRt<Rt>>();
    o->api = api_;
    o->client = client_;
    o->ourPortName = ourPortName;
    try {
        Rt* rt = lister(l);
        if (!rt)
            return {nullptr, MidiResult::BadDeviceId, "the JACK server is not running"};
        o->life = l.life;
        if (!l.lent->exchange(true)) {
            o->rt = l.rt;
            o->lent = l.lent;
        } else {
            auto spare = std::find_if(l.spares.begin(), l.spares.end(), [](auto& c) { return !c.lent->load(); });
            if (spare == l.spares.end()) {
                l.spares.push_back({std::make_shared<Rt>(RtMidi::Api(api_), client_)});
                spare = l.spares.end() - 1;
            }
            spare->lent->store(true);
            o->rt = spare->rt;
            o->lent = spare->lent;
        }
    } catch (const RtMidiError& e) {
        return {nullptr, resultOf(e.getType()), e.getMessage()};
    }
    return openOn<Rt>(std::move(o), name, occurrence, prepare);
}

Opened<BackendInput> RtMidiBackend::openInput(const std::string& name, int occurrence, RawInput sink)
{
    auto target = std::make_unique<InputTarget>(InputTarget{std::move(sink)});
    auto opened = openPort<RtMidiIn>(*listIn_, name, occurrence, "MIDI-IN", [&](RtMidiIn& rt, OpenRt<RtMidiIn>& o) {
        // SysEx in, timing messages in (the dispatcher shows them), active
        // sensing out before it costs anything.
        rt.ignoreTypes(false, false, true);
        rt.setCallback(&InputTarget::received, target.get());
        o.target = std::move(target);
    });
    if (!opened.port)
        return {nullptr, opened.result, std::move(opened.reason)};
    return {std::make_unique<RtInput>(std::move(opened.port)), MidiResult::Ok, std::move(opened.reason)};
}

Opened<BackendOutput> RtMidiBackend::openOutput(const std::string& name, int occurrence)
{
    auto opened = openPort<RtMidiOut>(*listOut_, name, occurrence, "MIDI-OUT", {});
    if (!opened.port)
        return {nullptr, opened.result, std::move(opened.reason)};
    return {std::make_unique<RtOutput>(std::move(opened.port)), MidiResult::Ok, std::move(opened.reason)};
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

namespace {

// An API that does not start here: it lists nothing and says why.
class AbsentBackend : public MidiBackend {
public:
    AbsentBackend(std::string api, std::string why) : api_(std::move(api)), why_(std::move(why)) {}
    std::string apiName() const override { return api_; }
    std::vector<std::string> inputNames() override { return {}; }
    std::vector<std::string> outputNames() override { return {}; }
    Opened<BackendInput> openInput(const std::string&, int, RawInput) override
    {
        return {nullptr, MidiResult::BadDeviceId, why_};
    }
    Opened<BackendOutput> openOutput(const std::string&, int) override
    {
        return {nullptr, MidiResult::BadDeviceId, why_};
    }
    std::string absence() const override { return why_; }

private:
    std::string api_;
    std::string why_;
};

std::string absenceOf(RtMidi::Api api)
{
    switch (api) {
    case RtMidi::LINUX_ALSA: return "The ALSA sequencer cannot be opened, so no ALSA ports are listed.";
    case RtMidi::UNIX_JACK: return "JACK does not start here, so no JACK ports are listed.";
    default: return RtMidi::getApiDisplayName(api) + " does not start here, so its ports are not listed.";
    }
}

} // namespace

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
            out.push_back(std::make_unique<AbsentBackend>(RtMidi::getApiName(api), absenceOf(api)));
        }
    }
    return out;
}

} // namespace kw
