#pragma once
// "Performance-Bank (to CS1x)" once the bank is read: every record into the
// user performance its number names, one block after the other with the
// transfer pause after each, behind a progress window with Cancel. A bank
// may hold 65,536 records, so the send keeps its place in the records
// instead of planning every step ahead.

#include "files/PerformanceRecord.h"
#include "midi/Chain.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kw {

class Dialogs;
class Progress;
class UserPerfNames;

class BankSend : public Chain {
public:
    BankSend(std::vector<PerformanceRecord> records, UserPerfNames& names, Dialogs& dialogs);
    ~BankSend() override;

    void begin(Receiver& rx) override;
    bool replyArrived(Receiver&, ByteView) override { return true; }  // it asks for nothing
    void stopped(Receiver& rx, const std::string& why) override;
    // Told of each record whose seven blocks all reached user memory
    // `number` (0..127): where the library records what the synth holds.
    std::function<void(const PerformanceRecord& record, int number)> reached;
    size_t records() const { return records_.size(); }
    void abandon(Receiver& rx) override;
    bool reportsItsEnd() const override { return true; }

private:
    void startRecord(Receiver& rx);
    void sendBlock(Receiver& rx);
    // `why` empty: through, or cancelled; else the send stopped and
    // `blocksOut` blocks of the record in flight had gone out.
    void finish(Receiver& rx, const std::string& why, int blocksOut);

    std::vector<PerformanceRecord> records_;
    UserPerfNames& names_;
    Dialogs& dialogs_;
    std::unique_ptr<Progress> progress_;
    size_t next_ = 0;   // the record going out, or next
    int block_ = 0;     // its next block
    int sent_ = 0;      // records whose seven blocks all went out
    bool inFlight_ = false;
    bool ended_ = false;
};

// "performance 012 was cut off: the JACK server has shut down", or "... was
// not sent: ..." when none of its blocks went out.
std::string notSentText(int destination, int blocksOut, const std::string& why);

} // namespace kw
