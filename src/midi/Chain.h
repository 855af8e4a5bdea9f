#pragma once
// A request chain: one request out, one reply in, then the next request.
// The performance fetch is one; the names request and the to-disk transfers
// plug in the same way.
//
// The receiver does the checking and the asking again for every chain: a
// chain only ever sees replies that are what it asked for (the requested
// address and length, a right checksum). A reply that is wrong or does not
// come is asked for once more; when that fails too the chain is stopped.

#include "model/Block.h"

#include <string>

namespace kw {

class Receiver;

class Chain {
public:
    virtual ~Chain() = default;
    // Sends the first request (Receiver::request).
    virtual void begin(Receiver& rx) = 0;
    // The valid reply to this chain's last request. Returns false once the
    // chain is complete; otherwise it has asked for the next block (or for a
    // pause before it).
    virtual bool replyArrived(Receiver& rx, ByteView reply) = 0;
    // The chain cannot go on: its request stayed unanswered or was answered
    // wrongly twice, could not be sent, or one of its steps threw. `why` is
    // the short reason ("MIDI-Data receive-timeout!", ...). Keep what is
    // complete, release the rest, and say what was lost (a status text).
    virtual void stopped(Receiver&, const std::string& /*why*/) {}
    // Dropped before its end without a failure: a newer chain took its place.
    virtual void abandon(Receiver&) {}
    // Whether the main window stays disabled while the chain runs.
    virtual bool keepsWindowBusy() const { return true; }
    // Whether the chain tells the user how it ended, the reason included,
    // when it is stopped; otherwise the receiver says why.
    virtual bool reportsItsEnd() const { return false; }
    virtual bool isPerformanceFetch() const { return false; }
};

} // namespace kw
