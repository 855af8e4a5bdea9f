#pragma once
// Messages to the synth one after another with the transfer pause between
// them, run by the receiver as a chain that moves on after its pauses
// instead of after replies. Being a chain, it takes its turn with the
// request chains: a program change from the synth during a send fetches the
// edit buffer only once the send is through, never half written. Nothing
// blocks the window meanwhile; the receiver keeps it busy.

#include "files/PerformanceRecord.h"
#include "midi/Chain.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace kw {

class SendJob : public Chain {
public:
    // One step: sends what it sends, and may change the image or the list
    // on the way. False ends the job before anything further (a cancel).
    using Step = std::function<bool(Receiver&)>;
    // Runs once, however the job ends: `why` is empty after the last step or
    // a cancel, else the reason the receiver stopped the job.
    using Ending = std::function<void(Receiver&, const std::string& why)>;

    // `pauseAfter`: the transfer pause follows the step.
    SendJob& then(Step step, bool pauseAfter = false);
    // The seven blocks of `record` into user performance `destination`, with
    // the transfer pause between two blocks and, if asked, after the last.
    SendJob& sendRecord(const PerformanceRecord& record, int destination, bool pauseAfterLast);
    // Blocks of the edit image, as they stand when their turn comes, into
    // the synth's edit buffer, with the transfer pause between two blocks
    // and, if asked, after the last.
    SendJob& sendEditBlocks(std::initializer_list<BlockKind> kinds, bool pauseAfterLast);
    // All seven: the three commons, then layers 1 to 4.
    SendJob& sendEditImage(bool pauseAfterLast);
    SendJob& atEnd(Ending ending);

    void begin(Receiver& rx) override;
    bool replyArrived(Receiver&, ByteView) override { return true; }  // it asks for nothing
    void stopped(Receiver& rx, const std::string& why) override;
    void abandon(Receiver& rx) override;

private:
    struct Entry {
        Step step;
        bool pauseAfter;
    };
    void run(Receiver& rx);
    void end(Receiver& rx, const std::string& why);

    std::vector<Entry> steps_;
    size_t next_ = 0;
    Ending ending_;
    bool ended_ = false;
};

// Block `index` (0..6) of `record` sent to user performance `destination`
// through the user-performance transfer image, as every user-performance
// send goes; the senders stamp the address and the checksum.
void sendRecordBlock(Receiver& rx, const PerformanceRecord& record, int index, int destination);

} // namespace kw
