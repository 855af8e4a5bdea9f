#include "session/library/LibraryKeeper.h"

#include "midi/Receiver.h"
#include "midi/Scheduler.h"
#include "model/PerformanceImage.h"
#include "model/Settings.h"
#include "session/BankSend.h"
#include "session/CommandContext.h"
#include "session/EditSession.h"

namespace kw {

namespace {
// Lines of a names request come one by one; they are written together.
constexpr int kLineFlushMs = 500;
// Records kept in one turn of the event loop: a few milliseconds' work.
constexpr size_t kRecordsPerSlice = 200;
} // namespace

LibraryKeeper::LibraryKeeper(const Settings& settings, Scheduler& sched, Opener open)
    : settings_(settings), sched_(sched), open_(std::move(open)), flushTimer_(sched, [this] { flush(); })
{
}

LibraryKeeper::~LibraryKeeper() { flush(); }

bool LibraryKeeper::keeping() const { return settings_.keepInLibrary; }

Store* LibraryKeeper::store()
{
    if (store_ || failed_)
        return store_.get();
    auto opened = open_();
    if (!opened) {
        failed_ = true;
        if (hooks_.notice)
            hooks_.notice("The performance library cannot be opened: " + opened.error().text);
        return nullptr;
    }
    store_ = std::move(*opened);
    if (hooks_.notice)
        for (const std::string& note : store_->notes())
            hooks_.notice(note);
    return store_.get();
}

void LibraryKeeper::problem(const std::string& what, const StoreError& e)
{
    // A library in trouble would otherwise say so for every block of a backup.
    if (problemSaid_ || !hooks_.problem)
        return;
    problemSaid_ = true;
    hooks_.problem("Library: " + what + " not kept: " + e.text);
}

void LibraryKeeper::changed()
{
    if (hooks_.changed)
        hooks_.changed();
}

void LibraryKeeper::keep(const PerformanceRecord& record, const Source& source)
{
    keep(std::span<const PerformanceRecord>(&record, 1), source);
}

bool LibraryKeeper::inOneTransaction(const std::string& what, const std::function<StoreStatus(Store&)>& work)
{
    Store* s = store();
    if (!s || s->readOnly())
        return false;
    // Many changes, one wait for another writer and one commit.
    StoreStatus failed = s->begin();
    if (!failed && !(failed = work(*s)))
        failed = s->commit();
    if (failed) {
        s->rollback();
        problem(what, *failed);
        return false;
    }
    return true;
}

void LibraryKeeper::keep(std::span<const PerformanceRecord> records, const Source& source)
{
    if (!keeping() || records.empty())
        return;
    const bool kept = inOneTransaction("performances", [&](Store& s) -> StoreStatus {
        for (const PerformanceRecord& r : records) {
            if (!r.occupied())
                continue;
            PerformanceRecord clean = r;
            clean.clampDataTo7Bit();
            if (auto one = s.remember(clean, source); !one)
                return one.error();
        }
        return std::nullopt;
    });
    if (kept) {
        problemSaid_ = false;
        changed();
    }
}

void LibraryKeeper::sawInUserMemory(int number, const PerformanceRecord& record, SynthMemory::How how)
{
    memory_.saw(number, performanceData(record), how);
    keep(record, Source::synthUser(number));
}

void LibraryKeeper::keep(const BlockSet& image, const Source& source)
{
    if (keeping())
        keep(PerformanceRecord::fromEdit(image, 0), source);
}

struct LibraryKeeper::Slices {
    std::vector<PerformanceRecord> records;
    Source source;
    size_t next = 0;
};

void LibraryKeeper::keepInSlices(std::vector<PerformanceRecord> records, const Source& source)
{
    if (!keeping() || records.empty())
        return;
    if (records.size() <= kRecordsPerSlice) {
        keep(records, source);
        return;
    }
    keepSlice(std::make_shared<Slices>(Slices{std::move(records), source}));
}

void LibraryKeeper::keepSlice(const std::shared_ptr<Slices>& slices)
{
    const size_t n = std::min(kRecordsPerSlice, slices->records.size() - slices->next);
    keep(std::span<const PerformanceRecord>(slices->records).subspan(slices->next, n), slices->source);
    slices->next += n;
    if (slices->next < slices->records.size())
        sched_.after(0, [this, slices, alive = std::weak_ptr<bool>(alive_)] {
            if (alive.lock())
                keepSlice(slices);
        });
}

std::optional<Remembered> LibraryKeeper::keepNow(const BlockSet& image, const Source& source)
{
    Store* s = store();
    if (!s)
        return std::nullopt;
    PerformanceRecord r = PerformanceRecord::fromEdit(image, 0);
    r.clampDataTo7Bit();
    auto kept = s->remember(r, source);
    if (!kept) {
        if (hooks_.problem)
            hooks_.problem("Library: not kept: " + kept.error().text);
        return std::nullopt;
    }
    changed();
    return *kept;
}

std::optional<NameLines> LibraryKeeper::namesLastSeen()
{
    if (!keeping())
        return std::nullopt;
    Store* s = store();
    if (!s)
        return std::nullopt;
    auto lines = s->lastSeenUserNames();
    if (!lines)
        return std::nullopt;
    return *lines;
}

void LibraryKeeper::lineChanged(int index, const std::string& line)
{
    if (!keeping() || index < 0 || index >= kUserPerformances)
        return;
    pendingLines_.emplace_back(index, line);
    if (!flushTimer_.active())
        flushTimer_.start(kLineFlushMs);
}

void LibraryKeeper::flush()
{
    flushTimer_.stop();
    if (pendingLines_.empty())
        return;
    const auto lines = std::exchange(pendingLines_, {});
    inOneTransaction("the list's names", [&](Store& s) -> StoreStatus {
        for (const auto& [index, line] : lines)
            if (auto e = s.setLastSeenUserName(index, line))
                return e;
        return std::nullopt;
    });
}

void recordWhereSent(BankSend& send, LibraryKeeper* keeper)
{
    if (!keeper)
        return;
    // What a memory holds is known either way: the last record sent to it.
    const bool keep = send.records() <= size_t(kUserPerformances);
    send.reached = [keeper, keep](const PerformanceRecord& record, int number) {
        if (keep)
            keeper->sawInUserMemory(number, record, SynthMemory::How::Sent);
        else
            keeper->synthMemory().saw(number, performanceData(record), SynthMemory::How::Sent);
    };
}

std::optional<ListedName> listedName(const std::string& line)
{
    // "006  SQ Pan Seq ": the number, two blanks, the category's two
    // letters, a blank and the name.
    if (line.size() <= 8 || line.compare(3, 2, "  ") != 0)
        return std::nullopt;
    ListedName n{trimBlanks(line.substr(5, 2)), trimBlanks(line.substr(8))};
    if (n.name.empty())
        return std::nullopt;
    return n;
}

} // namespace kw
