#pragma once
// Takes the reply to the pending request, stores it where the request said,
// and lets the running chain send its next request.

#include "midi/Chain.h"
#include "midi/Messages.h"
#include "midi/Scheduler.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace kw {

class MidiTimers;
class Senders;
class Ui;
struct Settings;
struct PerformanceImage;
struct EditorState;

class Receiver {
public:
    Receiver(Senders& senders, Ui& ui, Scheduler& sched, const Settings& settings, MidiTimers& timers);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // A complete System Exclusive message (F0 .. F7) that arrived while a
    // request was pending. Its length decides; its content is never examined.
    void receive(ByteView message);

    // Fetches the synth's edit buffer into the image, ending in the full
    // refresh. Callers send the select sequence and make the window busy first.
    // A fetch started while another fetch runs replaces it (the synth has
    // moved on); one started during another kind of chain follows that chain.
    void startPerformanceFetch();
    // Runs a chain now, or after the running one (see startPerformanceFetch).
    void startChain(std::unique_ptr<Chain> chain);

    bool chainRunning() const { return chain_ != nullptr; }
    const Chain* chain() const { return chain_.get(); }
    bool chainQueued() const { return queued_ != nullptr; }

    static constexpr size_t kIdentityLength = 15;
    const std::array<uint8_t, kIdentityLength>& identityReply() const { return identity_; }

    // What chains work with.
    Senders& senders() { return senders_; }
    Ui& ui() { return ui_; }
    PerformanceImage& image();
    EditorState& state();
    const Settings& settings() const { return settings_; }
    void status(const std::string& text);
    void request(Request r, int performance = 0);
    // Runs `next` after the transfer pause, without blocking; dropped if the
    // chain is replaced meanwhile.
    void afterPause(std::function<void()> next);

private:
    bool store(const Request& r, ByteView message);
    // The chain waits for a reply that the time-out has given up on, or for
    // nothing at all: nothing will move it on.
    bool chainStalled() const;
    void replaceChain(std::unique_ptr<Chain> chain);
    void beginChain();
    // Runs a chain step; false when it threw and the chain was ended.
    bool guarded(const std::function<void()>& step);
    void chainFailed(const std::string& what);
    void chainEnded();
    void cancelPause();

    Senders& senders_;
    Ui& ui_;
    Scheduler& sched_;
    const Settings& settings_;
    MidiTimers& timers_;
    std::unique_ptr<Chain> chain_;
    std::unique_ptr<Chain> queued_;
    // The chain was replaced while a reply to the old one was on its way: the
    // new one begins once that reply has been taken in.
    bool beginAfterReply_ = false;
    // The request the running chain sent last and has had no reply to.
    Request awaited_;
    bool pausing_ = false;
    Scheduler::TimerId pause_ = 0;
    std::array<uint8_t, kIdentityLength> identity_{};
};

// The seven-block fetch of the synth's edit buffer.
class PerformanceFetch : public Chain {
public:
    void begin(Receiver& rx) override;
    bool blockArrived(Receiver& rx, bool stored) override;
    bool isPerformanceFetch() const override { return true; }
    int blocksToCome() const { return toCome_; }

private:
    void requestNext(Receiver& rx);
    int toCome_ = 6;
};

} // namespace kw
