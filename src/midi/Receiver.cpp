#include "midi/Receiver.h"

#include "midi/HexText.h"
#include "midi/MidiTimers.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/Settings.h"
#include "model/UserPerfList.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace kw {

namespace {
constexpr const char* kNoResponse = "CS1x does not respond on selected MIDI-device!\n";
constexpr const char* kTimeoutText = "MIDI-Data receive-timeout!";
constexpr const char* kCablingText = "Please check cabling and/or device-settings";
constexpr const char* kPortClosedText = "no MIDI-OUT device open";
// What the synth is asked before a chain begins in doubt (see flushes_): a
// small block of its user memory, which no fetch asks for and nothing but a
// request makes the synth send (an identity reply may answer another
// program's identity request). Each time of another performance, so that a
// late answer to one cannot pass for the next one's.
constexpr Request kFlushRequest = Request::of(BlockKind::UserCommon50);
using Match = ReplyCheck::Match;
} // namespace

Receiver::Receiver(Senders& senders, Ui& ui, Scheduler& sched, const Settings& settings, MidiTimers& timers)
    : senders_(senders), ui_(ui), sched_(sched), settings_(settings), timers_(timers)
{
    timers_.setRequestTimeoutHandler([this] { requestTimedOut(); });
    timers_.setBusyQuery([this] { return waiting(); });
}

Receiver::~Receiver()
{
    timers_.setRequestTimeoutHandler({});
    timers_.setBusyQuery({});
    cancelPause();
}

bool Receiver::waiting() const
{
    return chain_ || queued_ || !flushes_.empty() || (identityWait_ && !identityWait_->timedOut)
           || (lone_ && !lone_->timedOut);
}

void Receiver::wrapUp()
{
    wrappingUp_ = true;
    if (queued_) {
        std::unique_ptr<Chain> dropped = std::move(queued_);
        try {
            dropped->abandon(*this);
        } catch (...) {
        }
    }
    if (chain_ && chain_->isPerformanceFetch()) {
        try {
            chain_->abandon(*this);
        } catch (...) {
        }
        finishChain();
    }
    flushBoxes();
}

PerformanceImage& Receiver::image() { return senders_.image(); }
EditorState& Receiver::state() { return senders_.state(); }

void Receiver::status(const std::string& text) { timers_.status(text); }

void Receiver::report(const std::string& text) { timers_.status(text, MidiTimers::kReportMs); }

void Receiver::say(std::string box, bool statusHasIt) { boxes_.push_back({std::move(box), statusHasIt, false, {}}); }

void Receiver::answer(std::string box, std::string topic)
{
    boxes_.push_back({std::move(box), false, true, std::move(topic)});
}

void Receiver::stand(const std::string& text) { timers_.stand(text); }

void Receiver::flushBoxes()
{
    // Last, when everything is in order: whatever showing a box may run
    // (the window's own event handling, say) finds the chains consistent.
    while (!boxes_.empty()) {
        const Box b = std::move(boxes_.front());
        boxes_.pop_front();
        if (b.answer && wrappingUp_)
            std::fprintf(stderr, "knobwright: %s\n", b.text.c_str());  // no box outlives the program
        else if (b.answer)
            ui_.answerBox(b.text, b.topic);
        else
            timers_.box(b.text, b.statusHasIt);
    }
    if (!waiting())
        timers_.settled();
}

void Receiver::requestSent(const Request& r, int performance)
{
    if (sendingForChain_)
        return;
    if (r.type == Request::Type::Identity) {
        if (askingAgain_)
            return;
        identityWait_ = Wait{r, 0};
        // Whatever the synth said to the last asking no longer holds.
        ui_.withdrawBox(kSynthTopic);
    } else if (r.type == Request::Type::Block) {
        lone_ = Wait{r, performance};
    }
}

void Receiver::answered(const Request& r)
{
    if (senders_.pending() == r)
        senders_.clearPending();
}

void Receiver::settleTimeout()
{
    const bool waiting = awaited_ || !flushes_.empty() || (identityWait_ && !identityWait_->timedOut)
                         || (lone_ && !lone_->timedOut);
    if (!waiting)
        timers_.stopRequestTimeout();
}

bool Receiver::storeInImage(const Request& r, ByteView reply)
{
    if (r.type != Request::Type::Block)
        return false;
    PerformanceImage& img = image();
    BulkBlock& block = blockInfo(r.block).userForm ? img.transfer[r.block] : img.edit[r.block];
    return block.assign(reply);
}

bool Receiver::receive(ByteView m)
{
    if (awaited_) {
        const ReplyCheck c = checkReply(awaited_->request, awaited_->performance, m);
        if (c.match != Match::Other) {
            answered(awaited_->request);
            if (c.match == Match::Reply) {
                awaited_.reset();
                settleTimeout();
                step([&] { return chain_->replyArrived(*this, m); });
            } else {
                attemptFailed({c.why, c.why});
            }
            flushBoxes();
            return true;
        }
    }
    if (stale_ && checkReply(stale_->request, stale_->performance, m).match != Match::Other) {
        // The replaced fetch's reply: nobody's.
        answered(stale_->request);
        stale_.reset();
        return true;
    }
    for (size_t i = 0; i < flushes_.size(); ++i) {
        if (checkReply(kFlushRequest, flushes_[i], m).match == Match::Other)
            continue;
        answered(kFlushRequest);
        // The synth answers in order: the ones asked before are lost.
        flushes_.erase(flushes_.begin(), flushes_.begin() + long(i) + 1);
        if (flushes_.empty()) {
            // Everything the synth sent before is in: the chain may ask.
            doubt_ = false;
            stale_.reset();
            settleTimeout();
            if (chain_)
                schedulePause([this] { beginChain(); });
        }
        return true;
    }
    if (identityWait_) {
        const ReplyCheck c = checkReply(Request::identity(), 0, m);
        if (c.match != Match::Other) {
            identityWait_.reset();
            answered(Request::identity());
            settleTimeout();
            // The answer to the user's choice of ports (or to the start).
            if (c.match == Match::Reply) {
                std::copy(m.begin(), m.end(), identity_.begin());
                answer("CS1x responding... Device-Code: " + hexByte(identity_[8]) + " " + hexByte(identity_[9])
                           + " - TG-Level: " + hexByte(identity_[13]),
                       kSynthTopic);
            } else {
                answer(c.why, kSynthTopic);
            }
            flushBoxes();
            if (c.match == Match::Reply && greeted_)
                greeted_();
            return true;
        }
    } else if (checkReply(Request::identity(), 0, m).match != Match::Other) {
        // Nobody here asked: the answer to another program's question, or to
        // a search for the synth that listens on ports of its own.
        return true;
    }
    if (chain_ && chain_->isPerformanceFetch() && static_cast<const PerformanceFetch&>(*chain_).contradicts(m)) {
        // The synth answers in order, so a block it sent before switching
        // can only come ahead of the reply it passed for: this is that
        // reply. The fetch starts again, asking for nothing before
        // everything the synth sent before is in.
        startPerformanceFetch();
        return true;
    }
    if (lone_) {
        const ReplyCheck c = checkReply(lone_->request, lone_->performance, m);
        if (c.match != Match::Other) {
            const Request r = lone_->request;
            lone_.reset();
            answered(r);
            settleTimeout();
            if (c.match == Match::Reply)
                storeInImage(r, m);
            else
                say(c.why);
            flushBoxes();
            return true;
        }
    }
    return false;
}

void Receiver::requestTimedOut()
{
    const bool chainTimedOut = awaited_.has_value();
    bool nobodyAnswers = false;
    if (!flushes_.empty()) {
        // Without that answer, a reply the chain got could be one the synth
        // sent before. (Still in doubt: the next chain asks again.)
        flushes_.clear();
        stale_.reset();
        nobodyAnswers = chain_ != nullptr;
    }
    // A request unanswered in time may be answered late.
    if (chainTimedOut || (lone_ && !lone_->timedOut))
        doubt_ = true;
    if (identityWait_ && !identityWait_->timedOut) {
        // Asked once more, as every request is: the first message through a
        // port just opened may be lost (JACK puts a new connection in place
        // at the start of a later cycle).
        bool again = false;
        if (identityWait_->attempt == 0 && senders_.portOpen()) {
            askingAgain_ = true;
            again = senders_.request(Request::identity());
            askingAgain_ = false;
        }
        if (again) {
            identityWait_->attempt = 1;
        } else {
            // Still taken (and greeted) if it comes late.
            identityWait_->timedOut = true;
            answer(std::string(kNoResponse) + kCablingText, kSynthTopic);
        }
    }
    if (lone_ && !lone_->timedOut) {
        lone_->timedOut = true;
        say(std::string(kNoResponse) + kTimeoutText);
    }
    if (chainTimedOut)
        attemptFailed({kTimeoutText, std::string(kNoResponse) + kTimeoutText});
    else if (nobodyAnswers)
        stopChain({kTimeoutText, std::string(kNoResponse) + kTimeoutText});
    if (!chain_)
        ui_.setBusy(false);
    flushBoxes();
}

void Receiver::connectionLost(const std::string& why)
{
    // Requests outside any chain die quietly: the status line tells why.
    identityWait_.reset();
    lone_.reset();
    flushes_.clear();
    stale_.reset();
    if (!senders_.pending().isNone())
        senders_.clearPending();
    // Whatever the synth sends once it is back may answer something asked
    // before: the next chain makes sure first.
    doubt_ = true;
    if (chain_)
        stopChain({why, why});
    settleTimeout();
    if (!chain_)
        ui_.setBusy(false);
    flushBoxes();
}

bool Receiver::askToFlush()
{
    if (!senders_.portOpen())
        return false;
    const int performance = nextFlush_;
    sendingForChain_ = true;
    const bool sent = senders_.request(kFlushRequest, performance);
    sendingForChain_ = false;
    if (!sent)
        return false;
    nextFlush_ = (nextFlush_ + 1) % kUserPerformances;
    flushes_.push_back(performance);
    return true;
}

void Receiver::request(Request r, int performance)
{
    awaited_ = Wait{r, performance};
    sendAwaited();
}

void Receiver::sendAwaited()
{
    awaited_->unsent.clear();
    if (!senders_.portOpen()) {
        awaited_->unsent = kPortClosedText;
        return;
    }
    sendingForChain_ = true;
    const bool sent = senders_.request(awaited_->request, awaited_->performance);
    sendingForChain_ = false;
    if (!sent)
        awaited_->unsent = senders_.lastFailure();
}

void Receiver::attemptFailed(const Failure& f)
{
    if (awaited_->attempt > 0) {
        stopChain(f);
        return;
    }
    // Asked for once more, after the pause; a late reply to the first asking
    // meanwhile is not taken (it would race the second one's).
    retry_ = std::move(awaited_);
    awaited_.reset();
    retry_->attempt = 1;
    settleTimeout();
    status(f.reason + " - asking again");
    schedulePause([this] {
        if (!retry_)
            return;
        awaited_ = std::move(retry_);
        retry_.reset();
        sendAwaited();
        afterStep(true);
    });
}

void Receiver::step(const std::function<bool()>& fn)
{
    bool goesOn = false;
    std::string failure;
    try {
        goesOn = fn();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "Error";
    }
    if (!failure.empty()) {
        stopChain({failure, failure});
        return;
    }
    afterStep(goesOn);
}

void Receiver::afterStep(bool goesOn)
{
    if (!chain_)
        return;
    if (!goesOn) {
        finishChain();
        return;
    }
    if (awaited_ && !awaited_->unsent.empty()) {
        // The senders have told the user already when the port failed.
        attemptFailed({awaited_->unsent, {}});
        return;
    }
    if (!awaited_ && !pausing_ && flushes_.empty())
        finishChain();  // it asked for nothing more: nothing would ever move it on
}

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
    // Something new is under way: what the status line kept standing is old.
    timers_.clearStanding();
    if (!chain_) {
        chain_ = std::move(chain);
        beginChain();
    } else if (chain_->isPerformanceFetch() && chain->isPerformanceFetch()) {
        // The synth has switched again: only the newest performance matters.
        try {
            chain_->abandon(*this);
        } catch (...) {
        }
        cancelPause();
        if (awaited_)
            stale_ = std::move(awaited_);
        else if (retry_)
            stale_ = std::move(retry_);  // its first asking may still be answered
        awaited_.reset();
        retry_.reset();
        chain_ = std::move(chain);
        // Blocks of the performance the synth held may still be on their
        // way, asked for or not.
        doubt_ = true;
        if (!flushes_.empty())
            askToFlush();  // the one under way was asked before the switch
        beginChain();
    } else {
        if (queued_) {
            try {
                queued_->abandon(*this);
            } catch (...) {
            }
        }
        queued_ = std::move(chain);
    }
    flushBoxes();
}

void Receiver::beginChain()
{
    if (chain_->keepsWindowBusy())
        ui_.setBusy(true);
    // It begins once the answer is in.
    if (!flushes_.empty() || (doubt_ && askToFlush()))
        return;
    step([this] {
        chain_->begin(*this);
        return true;
    });
}

void Receiver::stopChain(const Failure& f)
{
    std::unique_ptr<Chain> stopped = std::move(chain_);
    cancelPause();
    if (awaited_)
        answered(awaited_->request);  // a late reply is nobody's now
    awaited_.reset();
    retry_.reset();
    settleTimeout();
    // Why first, then what the chain kept. The chain's last word is on the
    // status line already, so a box that cannot show now is dropped. A
    // chain that reports its own end says why in its report.
    if (!f.box.empty() && !(stopped && stopped->reportsItsEnd()))
        say(f.box, true);
    if (stopped) {
        try {
            stopped->stopped(*this, f.reason);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "knobwright: stopping a transfer: %s\n", e.what());
        } catch (...) {
        }
    }
    nextChain();
}

void Receiver::finishChain()
{
    cancelPause();
    awaited_.reset();
    retry_.reset();
    chain_.reset();
    nextChain();
}

void Receiver::nextChain()
{
    if (!queued_) {
        ui_.setBusy(false);
        return;
    }
    chain_ = std::move(queued_);
    if (chain_->keepsWindowBusy())
        ui_.setBusy(true);
    schedulePause([this] { beginChain(); });
}

void Receiver::afterPause(std::function<void()> next)
{
    schedulePause([this, next = std::move(next)] {
        step([&] {
            next();
            return true;
        });
    });
}

void Receiver::schedulePause(std::function<void()> fn)
{
    cancelPause();
    pausing_ = true;
    pause_ = sched_.after(settings_.transferPause(), [this, fn = std::move(fn)] {
        pausing_ = false;
        fn();
        flushBoxes();
    });
}

void Receiver::cancelPause()
{
    if (pausing_)
        sched_.cancel(pause_);
    pausing_ = false;
}

void PerformanceFetch::begin(Receiver& rx)
{
    begun_ = true;
    toCome_ = 6;
    performance_ = rx.state().selectedUserPerf;
    rx.request(Request::of(BlockKind::Common00));
}

bool PerformanceFetch::contradicts(ByteView message) const
{
    for (int i = 0; i < taken_; ++i) {
        const BulkBlock& b = blocks_.at(i);
        // Another device number is no other answer; other data is.
        if (checkReply(Request::of(b.kind()), 0, message).match == Match::Reply)
            return !std::equal(message.begin() + 9, message.end() - 2, b.bytes() + 9);
    }
    return false;
}

bool PerformanceFetch::replyArrived(Receiver& rx, ByteView reply)
{
    blocks_.at(kBlocksPerPerformance - 1 - toCome_).assign(reply);
    ++taken_;
    if (toCome_ == 0) {
        // All seven are in: only now does the image change.
        rx.image().edit = blocks_;
        rx.state().shownUserPerf = performance_;
        rx.ui().refreshAll();
        rx.fetched(performance_);
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

void PerformanceFetch::stopped(Receiver& rx, const std::string& why)
{
    // The window keeps showing what it showed, and the modified flag stays;
    // the list shows again which performance that is (or none), and the
    // status line says what failed until the user's next action.
    const int performance = begun_ ? performance_ : rx.state().selectedUserPerf;
    EditorState& st = rx.state();
    st.selectedUserPerf = st.shownUserPerf;
    rx.ui().selectUserPerf(st.shownUserPerf);
    std::string number = std::to_string(performance + 1);
    number.insert(0, number.size() < 3 ? 3 - number.size() : 0, '0');
    rx.stand((performance >= 0 ? "Perf. #" + number : std::string("Performance")) + " not fetched: " + why);
}

} // namespace kw
