#pragma once
// A request chain: one request out, one reply in, then the next request.
// The performance fetch is one; the names request and the to-disk transfers
// plug in the same way.

namespace kw {

class Receiver;

class Chain {
public:
    virtual ~Chain() = default;
    // Sends the first request.
    virtual void begin(Receiver& rx) = 0;
    // The reply to this chain's request has been handled; `stored` is false
    // when its length was wrong and nothing was stored (the chain goes on as
    // if it had arrived). Returns false once the chain is complete.
    virtual bool blockArrived(Receiver& rx, bool stored) = 0;
    // Dropped before its end: its request was never answered and a new chain
    // takes over, or one of its steps threw (the exception's text is shown to
    // the user). Release what it holds (an open file, ...).
    virtual void abandon(Receiver&) {}
    // Whether the main window stays disabled while the chain runs.
    virtual bool keepsWindowBusy() const { return true; }
    virtual bool isPerformanceFetch() const { return false; }
};

} // namespace kw
