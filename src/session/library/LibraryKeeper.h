#pragma once
// What passes through the editor goes into the performance library by
// itself: performances fetched, backed up, opened, loaded into the bank
// manager and sent, and the user-performance list's lines as last seen. The
// library is opened the first time it is needed, so a start that never
// touches it pays nothing for it. Keeping is a side matter: it never stops or
// slows a transfer, and a library that fails is said once on the status line.

#include "files/NamesFile.h"
#include "files/PerformanceRecord.h"
#include "midi/Scheduler.h"
#include "session/library/SynthMemory.h"
#include "store/Store.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kw {

class BlockSet;
struct Settings;

class LibraryKeeper {
public:
    using Opener = std::function<StoreResult<std::unique_ptr<Store>>()>;
    struct Hooks {
        // A problem, for the status line ("Library: the disk is full").
        std::function<void(const std::string&)> problem{};
        // What opening the library found (a damaged file moved aside), for a box.
        std::function<void(const std::string&)> notice{};
        // Something was kept or changed: a library window shows it.
        std::function<void()> changed{};
    };

    // `open` makes the store (the user's library file, a test's).
    LibraryKeeper(const Settings& settings, Scheduler& sched, Opener open);
    LibraryKeeper(const LibraryKeeper&) = delete;
    LibraryKeeper& operator=(const LibraryKeeper&) = delete;
    ~LibraryKeeper();
    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    // The library, opened now if it was not; null when it cannot be (said
    // once). Also when keeping is off: the user's own commands use it.
    Store* store();
    // The library if it was opened, without opening it.
    Store* storeIfOpen() { return store_.get(); }
    // Whether performances are kept by themselves (the setting).
    bool keeping() const;

    // Keeps what passed through, when keeping is on. A record whose data
    // bytes are not all 7-bit is kept as the synth would hold it.
    void keep(const PerformanceRecord& record, const Source& source);
    void keep(std::span<const PerformanceRecord> records, const Source& source);
    void keep(const BlockSet& image, const Source& source);
    // The same for a bank, however large: a few hundred records at a time
    // through the scheduler, so the window never stalls on it.
    void keepInSlices(std::vector<PerformanceRecord> records, const Source& source);
    // User memory `number` holds `record` now: the editor read it there or
    // wrote it there. Known as what the memory holds (whether keeping is on
    // or not, so that a send can tell what it would replace), and kept as
    // seen there when keeping is on.
    void sawInUserMemory(int number, const PerformanceRecord& record, SynthMemory::How how);
    SynthMemory& synthMemory() { return memory_; }

    // The user's own "Keep in library": whether the setting is on or not.
    // The row kept, or nothing (said).
    std::optional<Remembered> keepNow(const BlockSet& image, const Source& source);

    // The list's lines as last seen, or nothing before they were first kept
    // (or when keeping is off).
    std::optional<NameLines> namesLastSeen();
    // A line of the list changed; written a moment later, many as one.
    void lineChanged(int index, const std::string& line);
    // What is still to be written, now (at exit).
    void flush();

    // Tells the window something changed in the library (an edit of its own).
    void changed();

private:
    void problem(const std::string& what, const StoreError& e);
    // `work` in one transaction, rolled back and said when any of it fails.
    bool inOneTransaction(const std::string& what, const std::function<StoreStatus(Store&)>& work);

    struct Slices;
    void keepSlice(const std::shared_ptr<Slices>& slices);

    const Settings& settings_;
    Scheduler& sched_;
    Opener open_;
    Hooks hooks_;
    SynthMemory memory_;
    std::unique_ptr<Store> store_;
    bool failed_ = false;
    bool problemSaid_ = false;
    std::vector<std::pair<int, std::string>> pendingLines_;
    OneShot flushTimer_;
    // Slices still to come hold this; it goes with the keeper.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class BankSend;
// Keeps in the library, as seen at "CS1x user NNN", every record of `send`
// that reaches a user memory, so the library knows what the synth holds
// there. A bank of more than 128 records, which passes over memories more
// than once, stays recorded under its file alone.
void recordWhereSent(BankSend& send, LibraryKeeper* keeper);

// The library's own words for a record read from the user performance list:
// the category abbreviation and the trimmed name of a line such as "006  SQ
// Pan Seq ", or nothing for a line that names no performance ("006").
struct ListedName {
    std::string category;
    std::string name;
};
std::optional<ListedName> listedName(const std::string& line);

} // namespace kw
