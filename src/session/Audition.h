#pragma once
// A performance tried in the synth's edit buffer without becoming the
// edited one: the edited performance is kept aside first, and when the
// trying ends it goes back to the synth, as the main window still shows it.
// The bank manager's slots and the library's rows are tried this way.

#include "files/PerformanceRecord.h"
#include "model/PerformanceImage.h"

#include <cstdint>

namespace kw {

struct CommandContext;

class Audition {
public:
    explicit Audition(CommandContext& ctx) : ctx_(ctx) {}

    // The edited performance as the main window shows it now is what the
    // end gives back (a window that opens calls this first).
    void begin();
    // Sends `record` into the edit buffer (data bytes cut to 7 bits), with
    // the transfer pause between the blocks. Refused while a transfer runs.
    void play(PerformanceRecord record);
    // The edited performance back to the synth, if anything was tried since
    // begin() and the window shows no other performance meanwhile (one
    // fetched by a program change is what the synth holds then).
    void end();
    // Whether something went to the synth since begin().
    bool sent() const { return sent_; }

private:
    // A fresh copy of what the main window shows, unless the one taken still is.
    void keepEdited();

    CommandContext& ctx_;
    BlockSet backup_{false};
    bool modifiedBefore_ = false;
    bool sent_ = false;
    int refreshesAtBackup_ = -1;
    uint64_t movesAtBackup_ = 0;
};

} // namespace kw
