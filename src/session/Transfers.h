#pragma once
// The transfers from the synth: the names of all 128 user performances into
// the list, and user performances to disk, one or all, as .SYX files or as
// one bank. Each is a request chain of the receiver: a reply that is wrong
// or does not come is asked for once more, and when that fails too the
// transfer stops, keeps what is complete and says which performance failed.

#include "files/BankFile.h"
#include "files/FilePaths.h"
#include "midi/Chain.h"
#include "model/PerformanceImage.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kw {

class Dialogs;
class Progress;
class LibraryKeeper;
class UserPerfNames;

// "Request all Performance-names": user common 00 of performances 1..128,
// each request sent as soon as the last reply is in. The window is busy
// meanwhile; a progress window counts the names and can cancel after the
// name in flight.
class NamesRequest : public Chain {
public:
    NamesRequest(UserPerfNames& names, Dialogs& dialogs) : names_(names), dialogs_(dialogs) {}

    void begin(Receiver& rx) override;
    bool replyArrived(Receiver& rx, ByteView reply) override;
    void stopped(Receiver& rx, const std::string& why) override;
    void abandon(Receiver& rx) override { end(rx); }
    bool reportsItsEnd() const override { return true; }

private:
    void end(Receiver& rx);

    UserPerfNames& names_;
    Dialogs& dialogs_;
    std::unique_ptr<Progress> progress_;
    int n_ = 0;
};

// User performances `first`..`last` to disk, each as the seven blocks the
// synth sent, headers and checksums as they came. A performance reaches the
// disk only when all seven blocks are in:
// - .SYX files: one per performance, in `folder`, named from its category
//   and name, made safe, and distinct within the transfer (" (2)");
//   each written whole under a temporary name, so an earlier file of the
//   same name is only ever replaced by a complete one;
// - a bank: written aside and put in place when the transfer ends. A
//   transfer that stops early (cancel, a reply that never came, a file
//   error) still leaves a valid bank of the whole records, beside an
//   earlier bank of the chosen name rather than over it.
// The transfer pause follows every block but a performance's last; in a
// bank the last as well.
class ToDiskTransfer : public Chain {
public:
    struct Output {
        std::filesystem::path folder;    // .SYX files go here,
        std::filesystem::path bankFile;  // or, when not empty, into this bank;
        // every performance saved is also kept in this library (when it
        // keeps), and with neither a folder nor a bank it goes only there,
        // whether keeping is on or not: a backup before a send.
        LibraryKeeper* library = nullptr;
    };
    // One performance leaves the window usable and shows no progress;
    // several keep it busy behind a progress window with Cancel, which
    // finishes the performance in flight and then stops.
    ToDiskTransfer(Output out, int first, int last, Dialogs& dialogs);
    // The user performances `numbers` (0..127, ascending), gaps and all.
    ToDiskTransfer(Output out, std::vector<int> numbers, Dialogs& dialogs);
    ~ToDiskTransfer() override;

    void begin(Receiver& rx) override;
    bool replyArrived(Receiver& rx, ByteView reply) override;
    void stopped(Receiver& rx, const std::string& why) override;
    void abandon(Receiver& rx) override;
    bool keepsWindowBusy() const override { return numbers_.size() > 1; }
    // Runs instead of the report of a transfer that saved every performance.
    void whenDone(std::function<void(Receiver&)> next) { whenDone_ = std::move(next); }
    bool reportsItsEnd() const override { return true; }

private:
    enum class Outcome { Done, Cancelled, Failed };
    struct Kept {
        std::string where;               // " in FILE" or " in FOLDER"
        std::optional<FileError> error;  // the bank could not be put in place
    };

    void startPerformance(Receiver& rx);
    void requestBlock(Receiver& rx);
    // False when the file could not be written (the transfer has ended).
    bool store(Receiver& rx, const PerformanceRecord& record);
    void nextOrEnd(Receiver& rx);
    void finish(Receiver& rx, Outcome how, const std::string& problem);
    Kept keepOutput(bool complete);
    int total() const { return int(numbers_.size()); }
    std::string savedText() const;

    Output out_;
    std::vector<int> numbers_;
    size_t at_ = 0;  // of numbers_: the performance in flight
    Dialogs& dialogs_;
    std::unique_ptr<Progress> progress_;
    std::optional<BankWriter> bank_;
    bool bankExisted_ = false;
    DistinctNames names_;
    std::filesystem::path lastFile_;
    BlockSet blocks_{true};
    int n_ = 0;
    int toCome_ = 6;
    int saved_ = 0;
    bool ended_ = false;
    std::function<void(Receiver&)> whenDone_;
    bool libraryOnly() const { return out_.folder.empty() && out_.bankFile.empty(); }
};

} // namespace kw
