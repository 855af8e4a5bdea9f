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
#include <optional>
#include <string>
#include <vector>

namespace kw {

class SendJob : public Chain {
public:
    // One step: sends what it sends, and may change the image or the list
    // on the way. False ends the job before anything further (a cancel).
    using Step = std::function<bool(Receiver&)>;
    // How the job ended.
    struct End {
        // Empty after the last step or a cancel, else why it stopped: a
        // block of a user performance did not go out, or the receiver
        // stopped the job.
        std::string why;
        // When a block did not go out: how many blocks of its performance
        // had gone out before it (0 to 6); the synth holds those.
        int blocksOut = 0;
    };
    // Runs once, however the job ends.
    using Ending = std::function<void(Receiver&, const End&)>;

    // `pauseAfter`: the transfer pause follows the step.
    SendJob& then(Step step, bool pauseAfter = false);
    // The seven blocks of `record` into user performance `destination`, with
    // the transfer pause between two blocks and, if asked, after the last. A
    // block that does not go out (the output closed or failed) ends the job
    // there: what follows would only add to a performance already cut off.
    SendJob& sendRecord(const PerformanceRecord& record, int destination, bool pauseAfterLast);
    // Blocks of the edit image, as they stand when their turn comes, into
    // the synth's edit buffer, with the transfer pause between two blocks
    // and, if asked, after the last. A block that does not go out does not
    // end the job (the image is the editor's too, and a failed send is told
    // by the senders).
    SendJob& sendEditBlocks(std::initializer_list<BlockKind> kinds, bool pauseAfterLast);
    // All seven: the three commons, then layers 1 to 4.
    SendJob& sendEditImage(bool pauseAfterLast);
    // `tellsWhy`: the ending tells the user why the job stopped (End::why),
    // so the receiver need not.
    SendJob& atEnd(Ending ending, bool tellsWhy = false);

    void begin(Receiver& rx) override;
    bool replyArrived(Receiver&, ByteView) override { return true; }  // it asks for nothing
    void stopped(Receiver& rx, const std::string& why) override;
    void abandon(Receiver& rx) override;
    bool reportsItsEnd() const override { return tellsWhy_; }

private:
    struct Entry {
        Step step;
        bool pauseAfter;
    };
    void run(Receiver& rx);
    void end(Receiver& rx, const End& how);

    std::vector<Entry> steps_;
    size_t next_ = 0;
    Ending ending_;
    bool tellsWhy_ = false;
    bool ended_ = false;
    // Blocks of the performance in flight that went out.
    int blocksOut_ = 0;
    std::optional<End> failure_;
};

// Block `index` (0..6) of `record` sent to user performance `destination`
// through the user-performance transfer image, as every user-performance
// send goes; the senders stamp the address and the checksum. False when it
// did not go out.
bool sendRecordBlock(Receiver& rx, const PerformanceRecord& record, int index, int destination);

} // namespace kw
