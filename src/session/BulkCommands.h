#pragma once
// The Bulk-Dump menu and "Save changes to User-Perf": whole user
// performances between the synth's memory, the editor and the disk. Sends
// to the synth are send jobs and fetches are request chains, both run by
// the receiver one at a time, so nothing ever blocks the window.

#include "session/CommandContext.h"

#include <string>


namespace kw {

class BulkCommands {
public:
    explicit BulkCommands(CommandContext& ctx) : ctx_(ctx) {}

    // "Request all Performance-names": the 128 names into the list.
    void MenuBulkPerfNamesClick();
    // "Single User-Performance (to CS1x)": a .SYX file into a user
    // performance the user picks (the file's own number offered first).
    void MenuBulkSinglePerfSynthClick();
    // "Performance-Bank (to CS1x)": every record of a bank into the user
    // performance its number names, with progress and Cancel.
    void MenuBulkPerfBankSynthClick();
    // "Single User-Performance (to HD)": one user performance into a .SYX
    // file in a chosen folder; the window stays usable meanwhile.
    void MenuBulkSinglePerfHDClick();
    // "All User-Performances (to HD)": all 128 into one bank or into .SYX
    // files, with progress and Cancel.
    void MenuBulkAllPerfHDClick();
    // "Save changes to User-Perf": the edited performance into a user
    // performance; its list line follows and the edit counts as stored.
    void SaveToSynthClick();

private:
    // The bank read: asked about when it holds more than 128, then sent.
    void sendBank(Result<BankContents> bank);
    // A performance into user performance `dest`, the result on the status line or in a box.
    void sendOne(const PerformanceRecord& record, int dest);

    CommandContext& ctx_;
};

inline constexpr const char* kBankSendCaption = "Performance-Bank (to CS1x)";
// Asked before a bank of more than 128 records goes out: how many, and
// about how long it takes with the transfer pause of `pauseMs`.
std::string manyRecordsQuestion(size_t records, int pauseMs);

} // namespace kw
