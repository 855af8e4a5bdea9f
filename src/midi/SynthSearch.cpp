#include "midi/SynthSearch.h"

#include "midi/InputAssembler.h"
#include "midi/InputQueue.h"
#include "midi/Messages.h"

#include <algorithm>

namespace kw {

namespace {

std::string clientOf(const std::string& port)
{
    const size_t colon = port.find(':');
    return colon == std::string::npos ? port : port.substr(0, colon);
}

} // namespace

struct SynthSearch::Channel {
    Channel(InputQueue& q, uint64_t trial)
        : assembler({[this](Bytes m) { queue.push({this->trial, std::move(m)}); }, [] {}}), queue(q), trial(trial)
    {
    }
    InputAssembler assembler;
    InputQueue& queue;
    uint64_t trial;
};

SynthSearch::SynthSearch(MidiPorts& ports, Scheduler& sched) : ports_(ports), sched_(sched)
{
    queue_ = std::make_unique<InputQueue>(ports_.poster(), [this](InputItem& item) {
        if (running_ && item.port == trial_ && isCs1xIdentity(item.bytes) && next_ > 0) {
            const auto [i, o] = pairs_[next_ - 1];
            finish(Found{inDevices_[i].name, outDevices_[o].name});
        }
    });
}

SynthSearch::~SynthSearch()
{
    cancelTimers();
    closePorts();
}

bool SynthSearch::isCs1xIdentity(ByteView m)
{
    // F0 7E dd 06 02, manufacturer 43, family 00 41, member, version, F7.
    return m.size() == 15 && m[0] == 0xF0 && m[1] == 0x7E && m[3] == 0x06 && m[4] == 0x02 && m[5] == 0x43
           && m[6] == 0x00 && m[7] == 0x41 && m[14] == 0xF7;
}

std::string SynthSearch::portText(const Found& f)
{
    return f.input == f.output ? f.input : f.input + " and " + f.output;
}

void SynthSearch::start(Hooks hooks)
{
    stop();
    hooks_ = std::move(hooks);
    running_ = true;
    inDevices_ = ports_.searchableDevices(Direction::In);
    outDevices_ = ports_.searchableDevices(Direction::Out);
    // Likeliest first: one name for both (a USB interface's two ports), then
    // two ports of one device, then the rest in the order listed.
    auto rank = [this](const std::pair<size_t, size_t>& p) {
        const std::string& in = inDevices_[p.first].name;
        const std::string& out = outDevices_[p.second].name;
        return in == out ? 0 : clientOf(in) == clientOf(out) ? 1 : 2;
    };
    pairs_.clear();
    for (size_t i = 0; i < inDevices_.size(); ++i)
        for (size_t o = 0; o < outDevices_.size(); ++o)
            pairs_.emplace_back(i, o);
    std::stable_sort(pairs_.begin(), pairs_.end(), [&](auto& a, auto& b) { return rank(a) < rank(b); });
    next_ = 0;
    later(0, [this] { tryNext(); });
}

void SynthSearch::stop()
{
    cancelTimers();
    closePorts();
    running_ = false;
}

void SynthSearch::later(int ms, std::function<void()> fn) { timers_.push_back(sched_.after(ms, std::move(fn))); }

void SynthSearch::cancelTimers()
{
    for (const Scheduler::TimerId id : timers_)
        sched_.cancel(id);
    timers_.clear();
}

void SynthSearch::tryNext()
{
    cancelTimers();
    closePorts();
    // A pair whose ports do not open (gone since they were listed) is
    // skipped at once.
    while (next_ < pairs_.size()) {
        const auto [i, o] = pairs_[next_++];
        if (hooks_.progress)
            hooks_.progress("Asking " + portText({inDevices_[i].name, outDevices_[o].name}) + " ("
                            + std::to_string(next_) + " of " + std::to_string(pairs_.size()) + ")...");
        auto channel = std::make_shared<Channel>(*queue_, trial_);
        std::weak_ptr<Channel> weak = channel;
        in_ = ports_.openExtraInput(inDevices_[i], [weak](ByteView bytes) {
                 // The driver's thread; the channel outlives the port.
                 if (auto c = weak.lock())
                     c->assembler.feed(bytes);
             }).port;
        out_ = in_ ? ports_.openExtraOutput(outDevices_[o]).port : nullptr;
        if (in_ && out_) {
            channel_ = std::move(channel);
            later(kSettleMs, [this] { ask(); });
            later(kSettleMs + kAskAgainMs, [this] { ask(); });
            later(kPairMs, [this] { tryNext(); });
            return;
        }
        closePorts();
    }
    finish(std::nullopt);
}

void SynthSearch::ask()
{
    if (out_)
        out_->send(ByteView(msg::kIdentityRequest, sizeof msg::kIdentityRequest));
}

void SynthSearch::finish(const std::optional<Found>& found)
{
    cancelTimers();
    closePorts();
    running_ = false;
    // The hook may end the search's owner.
    const auto done = hooks_.done;
    if (done)
        done(found);
}

void SynthSearch::closePorts()
{
    // The input first: no driver thread feeds the channel once it is closed.
    if (in_)
        in_->close();
    in_.reset();
    channel_.reset();
    if (out_)
        out_->close();
    out_.reset();
    // Whatever is still on its way belongs to no pair.
    ++trial_;
}

} // namespace kw
