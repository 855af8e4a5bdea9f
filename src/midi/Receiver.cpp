#include "midi/Receiver.h"

#include "midi/HexText.h"
#include "midi/MidiTimers.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/Settings.h"

#include <algorithm>
#include <exception>

namespace kw {

Receiver::Receiver(Senders& senders, Ui& ui, Scheduler& sched, const Settings& settings, MidiTimers& timers)
    : senders_(senders), ui_(ui), sched_(sched), settings_(settings), timers_(timers)
{
}

Receiver::~Receiver() { cancelPause(); }

PerformanceImage& Receiver::image() { return senders_.image(); }
EditorState& Receiver::state() { return senders_.state(); }

void Receiver::status(const std::string& text) { timers_.status(text); }

void Receiver::request(Request r, int performance)
{
    awaited_ = r;
    if (!senders_.portOpen()) {
        // The port went away mid-chain: nothing is sent and nothing will
        // answer, but the window must not stay disabled for good. The
        // time-out gives it back as it would for a silent synth.
        timers_.restartRequestTimeout();
        return;
    }
    senders_.request(r, performance);
}

void Receiver::afterPause(std::function<void()> next)
{
    cancelPause();
    pausing_ = true;
    pause_ = sched_.after(settings_.transferPause(), [this, next = std::move(next)] {
        pausing_ = false;
        guarded(next);
    });
}

void Receiver::cancelPause()
{
    if (pausing_)
        sched_.cancel(pause_);
    pausing_ = false;
}

bool Receiver::store(const Request& r, ByteView message)
{
    if (message.size() != r.replyLength()) {
        ui_.messageBox("Receive-Error - Wrong blocksize");
        return false;
    }
    if (r.type == Request::Type::Identity) {
        std::copy(message.begin(), message.end(), identity_.begin());
        ui_.messageBox("CS1x responding... Device-Code: " + hexByte(identity_[8]) + " " + hexByte(identity_[9])
                       + " - TG-Level: " + hexByte(identity_[13]));
        return true;
    }
    PerformanceImage& img = image();
    BulkBlock& block = blockInfo(r.block).userForm ? img.transfer[r.block] : img.edit[r.block];
    return block.assign(message);
}

void Receiver::receive(ByteView message)
{
    const Request r = senders_.pending();
    if (r.isNone())
        return;
    const bool late = !timers_.requestTimeoutRunning();
    timers_.stopRequestTimeout();
    const bool stored = store(r, message);
    senders_.clearPending();

    // Only the reply to the chain's own request moves the chain on; a reply
    // to some other request (an identity check, say) is stored and that is all.
    if (!chain_ || awaited_.isNone() || !(r == awaited_))
        return;
    awaited_ = Request::none();

    if (beginAfterReply_) {
        beginAfterReply_ = false;
        if (late && chain_->keepsWindowBusy())
            ui_.setBusy(true);
        afterPause([this] { beginChain(); });
        return;
    }
    bool goesOn = true;
    if (!guarded([&] { goesOn = chain_->blockArrived(*this, stored); }))
        return;
    if (!goesOn) {
        chainEnded();
        return;
    }
    // The time-out gave the window back; the chain is running again.
    if (late && chain_->keepsWindowBusy())
        ui_.setBusy(true);
}

bool Receiver::chainStalled() const { return !pausing_ && !timers_.requestTimeoutRunning(); }

void Receiver::startPerformanceFetch()
{
    startChain(std::make_unique<PerformanceFetch>());
    // Shown at once, even when the first request has to wait its turn.
    status("Receiving Perf-COMMON");
}

void Receiver::startChain(std::unique_ptr<Chain> chain)
{
    if (!chain)
        return;
    if (!chain_) {
        chain_ = std::move(chain);
        beginChain();
        return;
    }
    if (chainStalled()) {
        // Its reply is not coming; without this nothing could ever run again.
        try {
            chain_->abandon(*this);
        } catch (...) {
        }
        replaceChain(std::move(chain));
        beginChain();
        return;
    }
    if (chain_->isPerformanceFetch() && chain->isPerformanceFetch()) {
        // The synth has switched again: only the newest performance matters.
        // A reply still on its way must come in before the new requests go
        // out, or it would be taken for the first of them.
        const bool replyOnItsWay = !pausing_;
        replaceChain(std::move(chain));
        if (replyOnItsWay)
            beginAfterReply_ = true;
        else
            beginChain();
        return;
    }
    queued_ = std::move(chain);
}

void Receiver::replaceChain(std::unique_ptr<Chain> chain)
{
    cancelPause();
    beginAfterReply_ = false;
    chain_ = std::move(chain);
}

void Receiver::beginChain()
{
    guarded([this] { chain_->begin(*this); });
}

bool Receiver::guarded(const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        chainFailed(e.what());
    } catch (...) {
        chainFailed("Error");
    }
    return false;
}

void Receiver::chainFailed(const std::string& what)
{
    // The chain stops where it failed (a file that cannot be written, say):
    // it releases what it holds, the user is told, and the window and the
    // receiver are free for whatever comes next.
    std::unique_ptr<Chain> failed = std::move(chain_);
    cancelPause();
    beginAfterReply_ = false;
    awaited_ = Request::none();
    try {
        failed->abandon(*this);
    } catch (...) {
    }
    ui_.setBusy(false);
    ui_.messageBox(what);
    chainEnded();
}

void Receiver::chainEnded()
{
    cancelPause();
    chain_.reset();
    if (!queued_)
        return;
    chain_ = std::move(queued_);
    if (chain_->keepsWindowBusy())
        ui_.setBusy(true);
    afterPause([this] { beginChain(); });
}

void PerformanceFetch::begin(Receiver& rx)
{
    toCome_ = 6;
    rx.request(Request::of(BlockKind::Common00));
}

bool PerformanceFetch::blockArrived(Receiver& rx, bool)
{
    if (toCome_ == 0) {
        rx.ui().refreshAll();
        return false;
    }
    --toCome_;
    rx.afterPause([this, &rx] { requestNext(rx); });
    return true;
}

void PerformanceFetch::requestNext(Receiver& rx)
{
    switch (toCome_) {
    case 5: rx.request(Request::of(BlockKind::Common30)); break;
    case 4: rx.request(Request::of(BlockKind::Common50)); break;
    default: {
        const int layer = 4 - toCome_;
        rx.request(Request::of(layerKind(layer)));
        rx.status("Receiving LAYER-" + std::to_string(layer));
        break;
    }
    }
}

} // namespace kw
