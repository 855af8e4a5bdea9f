#pragma once
// Takes the reply to each request, checks that it is what was asked for,
// and lets the running chain send its next request. Replies are asked for
// once more when they are wrong or do not come; a chain that still gets no
// good reply is stopped, keeping what is complete.
//
// Whenever no chain runs, the main window is enabled; while one runs,
// something (a pause or the request time-out) always moves it on.

#include "midi/Chain.h"
#include "midi/Messages.h"
#include "midi/Scheduler.h"
#include "model/PerformanceImage.h"

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kw {

class MidiTimers;
class Senders;
class Ui;
struct Settings;
struct EditorState;

class Receiver {
public:
    Receiver(Senders& senders, Ui& ui, Scheduler& sched, const Settings& settings, MidiTimers& timers);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // A complete System Exclusive message (F0 .. F7). True when it answered,
    // rightly or wrongly, a request that is awaited; false when nothing asked
    // for it (the caller reports it as unsolicited data).
    bool receive(ByteView message);
    // Every request that went out (the senders tell us).
    void requestSent(const Request& r, int performance);
    // The request time-out ran out.
    void requestTimedOut();
    // The synth's ports went away: nothing awaited comes any more. The
    // running chain stops as after a time-out, saying `why`, and its
    // result is shown.
    void connectionLost(const std::string& why);
    // Runs (after the greeting is shown) each time the synth answers the
    // identity request the editor sent.
    void setGreetedHandler(std::function<void()> fn) { greeted_ = std::move(fn); }
    // Runs each time a whole performance has been fetched into the image:
    // the user performance it is (-1: the edit buffer, none chosen).
    void setFetchedHandler(std::function<void(int performance)> fn) { fetched_ = std::move(fn); }
    void fetched(int performance)
    {
        if (fetched_)
            fetched_(performance);
    }

    // Fetches the synth's edit buffer into the image, ending in the full
    // refresh. Callers send the select sequence first. A fetch started while
    // another fetch runs replaces it (the synth has moved on); one started
    // during another kind of chain follows that chain.
    void startPerformanceFetch();
    // Runs a chain now, or after the running one (see startPerformanceFetch).
    void startChain(std::unique_ptr<Chain> chain);

    bool chainRunning() const { return chain_ != nullptr; }
    const Chain* chain() const { return chain_.get(); }
    bool chainQueued() const { return queued_ != nullptr; }
    // Something is pending: a chain runs or waits its turn, or a reply is
    // awaited that has not timed out.
    bool waiting() const;

    // The program is about to end: a fetch is dropped at once (nothing is
    // lost), a chain waiting its turn never begins, and the running chain
    // stops at its next point where a Cancel would (a send or a transfer
    // after the performance in flight). Chains ask wrappingUp() there.
    void wrapUp();
    bool wrappingUp() const { return wrappingUp_; }

    static constexpr size_t kIdentityLength = 15;
    const std::array<uint8_t, kIdentityLength>& identityReply() const { return identity_; }

    // What chains work with.
    Senders& senders() { return senders_; }
    Ui& ui() { return ui_; }
    PerformanceImage& image();
    EditorState& state();
    const Settings& settings() const { return settings_; }
    Scheduler& scheduler() { return sched_; }
    void status(const std::string& text);
    // A status text that stands a while: a chain's last word.
    void report(const std::string& text);
    // A notice box, shown once the message or pause being handled is done
    // with, so whatever showing it runs finds the chains consistent. While
    // another box is up it goes to the status line, unless `statusHasIt`
    // (see MidiTimers::box).
    void say(std::string box, bool statusHasIt = false);
    // An answer to the user's own action (a transfer's result), shown the
    // same way but whatever box is up (see BoxContent).
    void answer(std::string box, std::string topic = {});
    // A status text that stays until the user's next action (MidiTimers::stand).
    void stand(const std::string& text);
    // The chain's next request; its reply comes to Chain::replyArrived.
    void request(Request r, int performance = 0);
    // Runs `next` after the transfer pause, without blocking; dropped if the
    // chain is replaced or stopped meanwhile.
    void afterPause(std::function<void()> next);
    // Where the reply to a request made outside any chain goes: its block of
    // the image or of the transfer image.
    bool storeInImage(const Request& r, ByteView reply);

private:
    struct Wait {
        Wait(Request r, int pp) : request(r), performance(pp) {}
        Request request;
        int performance = 0;
        int attempt = 0;         // 1 once it has been asked for again
        bool timedOut = false;   // for lone requests: reported, still taken if it comes
        std::string unsent;      // why it could not be sent
    };
    struct Failure {
        std::string reason;  // short, for the status line
        std::string box;     // shown in a box; empty: already told
    };

    void sendAwaited();
    void attemptFailed(const Failure& f);
    void step(const std::function<bool()>& fn);
    void afterStep(bool goesOn);
    void beginChain();
    void stopChain(const Failure& f);
    // Sends the request a chain in doubt waits for (see flushes_); false
    // when it could not be sent.
    bool askToFlush();
    void finishChain();
    void nextChain();
    void schedulePause(std::function<void()> fn);
    void cancelPause();
    // Stops the time-out when no reply is awaited any more.
    void settleTimeout();
    void answered(const Request& r);
    void flushBoxes();

    Senders& senders_;
    Ui& ui_;
    Scheduler& sched_;
    const Settings& settings_;
    MidiTimers& timers_;
    std::unique_ptr<Chain> chain_;
    std::unique_ptr<Chain> queued_;
    // The running chain's request without its reply yet.
    std::optional<Wait> awaited_;
    // Asked for again after the transfer pause.
    std::optional<Wait> retry_;
    // The request of a fetch that a newer one replaced: its reply may still
    // come, and is nobody's.
    std::optional<Wait> stale_;
    // A reply to an earlier request may still come and pass for the reply
    // to a chain's request of the same block: a request went unanswered in
    // time, or a fetch replaced another (the synth switched performance, and
    // blocks of the old one may be on their way, asked for or not).
    bool doubt_ = false;
    // So a chain begun in doubt first asks the synth for a block no fetch
    // asks for (user common 50 of these performances), and asks for nothing
    // before the answer is in: the synth answers in order, so by then
    // everything it sent before is in too.
    std::deque<int> flushes_;
    int nextFlush_ = 0;
    // Requests made outside any chain.
    std::optional<Wait> identityWait_;
    std::optional<Wait> lone_;
    bool sendingForChain_ = false;
    bool askingAgain_ = false;  // the identity request, once more
    bool pausing_ = false;
    Scheduler::TimerId pause_ = 0;
    struct Box {
        std::string text;
        bool statusHasIt = false;
        bool answer = false;
        std::string topic;
    };
    bool wrappingUp_ = false;
    std::function<void()> greeted_;
    std::function<void(int)> fetched_;
    std::deque<Box> boxes_;
    std::array<uint8_t, kIdentityLength> identity_{};
};

// The seven-block fetch of the synth's edit buffer. The blocks are collected
// apart and go into the image only when all seven are in.
class PerformanceFetch : public Chain {
public:
    void begin(Receiver& rx) override;
    bool replyArrived(Receiver& rx, ByteView reply) override;
    void stopped(Receiver& rx, const std::string& why) override;
    bool isPerformanceFetch() const override { return true; }
    int blocksToCome() const { return toCome_; }
    // `message` answers a request this fetch has had its reply to, but says
    // something else: one of the two came unasked (a dump the synth sent
    // before it switched, say), and the block taken may be the wrong one.
    bool contradicts(ByteView message) const;

private:
    void requestNext(Receiver& rx);
    int toCome_ = 6;
    int taken_ = 0;
    bool begun_ = false;
    int performance_ = -1;
    BlockSet blocks_{false};
};

} // namespace kw
