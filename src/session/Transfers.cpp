#include "session/Transfers.h"

#include "files/PerformanceFile.h"
#include "midi/Receiver.h"
#include "midi/Ui.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "session/Dialogs.h"
#include "session/library/LibraryKeeper.h"
#include "session/UserPerfNames.h"

namespace fs = std::filesystem;

namespace kw {

namespace {

constexpr size_t kNameAt = 9;       // first name byte of user common 00
constexpr size_t kCategoryAt = 17;  // its category byte

std::string nameOf(ByteView common00)
{
    return std::string(reinterpret_cast<const char*>(common00.data()) + kNameAt, 8);
}

std::string perfNumber(int index)
{
    return "Perf. #" + entryNumber(index);
}

std::string countText(int done, int total, const char* what)
{
    return std::to_string(done) + " of " + std::to_string(total) + " " + what;
}

} // namespace

// ------------------------------------------------------------- NamesRequest

void NamesRequest::begin(Receiver& rx)
{
    n_ = 0;
    progress_ = dialogs_.progress("Request all Performance-names", "Receiving the name of performance 1 of 128", kUserPerformances);
    rx.request(Request::of(BlockKind::UserCommon00), n_);
}

bool NamesRequest::replyArrived(Receiver& rx, ByteView reply)
{
    rx.image().transfer[BlockKind::UserCommon00].assign(reply);
    names_.set(n_, receivedNameEntry(n_, reply[kCategoryAt], nameOf(reply)));
    rx.status("Received User-Performance-Name #" + std::to_string(n_ + 1));
    ++n_;
    if (progress_)
        progress_->setValue(n_);
    if (n_ >= kUserPerformances) {
        end(rx);
        const std::string done = countText(n_, kUserPerformances, "performance names received");
        rx.answer(done);
        rx.report(done);
        return false;
    }
    if ((progress_ && progress_->cancelled()) || rx.wrappingUp()) {
        end(rx);
        const std::string done = countText(n_, kUserPerformances, "performance names received");
        rx.answer((rx.wrappingUp() ? "Transfer stopped as the program ends: " : "Transfer cancelled: ") + done);
        rx.report(done);
        return false;
    }
    if (progress_)
        progress_->setText("Receiving the name of performance " + std::to_string(n_ + 1) + " of 128");
    // The next name is asked for at once: no pause between names.
    rx.request(Request::of(BlockKind::UserCommon00), n_);
    return true;
}

void NamesRequest::stopped(Receiver& rx, const std::string& why)
{
    end(rx);
    rx.answer(perfNumber(n_) + " name not received: " + why + "\n"
              + countText(n_, kUserPerformances, "performance names received"));
    rx.report(perfNumber(n_) + " name not received: " + why);
}

void NamesRequest::end(Receiver& rx)
{
    if (progress_) {
        progress_->close();
        progress_.reset();
    }
    // The line the synth plays is shown selected again.
    if (rx.state().selectedUserPerf >= 0)
        rx.ui().selectUserPerf(rx.state().selectedUserPerf);
}

// ----------------------------------------------------------- ToDiskTransfer

namespace {
std::vector<int> numbersFromTo(int first, int last)
{
    std::vector<int> numbers;
    for (int n = first; n <= last; ++n)
        numbers.push_back(n);
    return numbers;
}
} // namespace

ToDiskTransfer::ToDiskTransfer(Output out, int first, int last, Dialogs& dialogs)
    : ToDiskTransfer(std::move(out), numbersFromTo(first, last), dialogs)
{
}

ToDiskTransfer::ToDiskTransfer(Output out, std::vector<int> numbers, Dialogs& dialogs)
    : out_(std::move(out)), numbers_(std::move(numbers)), dialogs_(dialogs), n_(numbers_.empty() ? 0 : numbers_.front())
{
}

ToDiskTransfer::~ToDiskTransfer()
{
    // Ended by the program's end: what is whole is still kept.
    if (!ended_)
        keepOutput(false);
}

void ToDiskTransfer::begin(Receiver& rx)
{
    if (!out_.bankFile.empty()) {
        std::error_code ec;
        bankExisted_ = fs::exists(out_.bankFile, ec);
        bank_.emplace(out_.bankFile);
        if (auto e = bank_->open()) {
            // Nothing asked for: the receiver ends the transfer at once.
            ended_ = true;
            rx.answer(e->message());
            return;
        }
    }
    if (numbers_.size() > 1)
        progress_ = dialogs_.progress(libraryOnly() ? "Back up into the library" : "All User-Performances (to HD)", {},
                                      total());
    startPerformance(rx);
}

void ToDiskTransfer::startPerformance(Receiver& rx)
{
    toCome_ = 6;
    if (progress_) {
        const fs::path& into = out_.bankFile.empty() ? out_.folder : out_.bankFile;
        progress_->setText("Receiving performance " + std::to_string(at_ + 1) + " of "
                           + std::to_string(total()) + "\nto "
                           + (libraryOnly() ? std::string("the library") : utf8FromPath(into)));
    }
    requestBlock(rx);
}

void ToDiskTransfer::requestBlock(Receiver& rx)
{
    const int index = kBlocksPerPerformance - 1 - toCome_;
    rx.request(Request::of(BlockKind(int(BlockKind::UserCommon00) + index)), n_);
}

bool ToDiskTransfer::replyArrived(Receiver& rx, ByteView reply)
{
    blocks_.at(kBlocksPerPerformance - 1 - toCome_).assign(reply);
    if (toCome_ > 0) {
        if (toCome_ == 6) {
            rx.status("Receiving User-Performance #" + std::to_string(n_ + 1) + " : "
                      + cp1252ToUtf8(categoryAbbrev(reply[kCategoryAt]) + " " + trimBlanks(nameOf(reply))));
        }
        --toCome_;
        rx.afterPause([this, &rx] { requestBlock(rx); });
        return true;
    }
    // All seven are in: only now does the performance reach the disk.
    if (!store(rx, PerformanceRecord::fromTransfer(blocks_)))
        return false;
    ++saved_;
    if (progress_)
        progress_->setValue(saved_);
    if (bank_)
        rx.afterPause([this, &rx] { nextOrEnd(rx); });
    else
        nextOrEnd(rx);
    return !ended_;
}

bool ToDiskTransfer::store(Receiver& rx, const PerformanceRecord& record)
{
    SaveError e;
    if (libraryOnly()) {
        Store* store = out_.library ? out_.library->store() : nullptr;
        if (!store) {
            finish(rx, Outcome::Failed, perfNumber(n_) + " not saved: the library cannot be opened");
            return false;
        }
        if (auto kept = store->remember(record, Source::synthUser(n_)); !kept) {
            finish(rx, Outcome::Failed, perfNumber(n_) + " not saved in the library: " + kept.error().text);
            return false;
        }
        out_.library->synthMemory().saw(n_, performanceData(record), SynthMemory::How::BackedUp);
        out_.library->changed();
        return true;
    }
    if (bank_) {
        e = bank_->append(record);
    } else {
        lastFile_ = claimInFolder(names_, out_.folder, performanceFileName(record.category(), record.name()));
        e = writePerformanceFile(lastFile_, record);
    }
    if (e)
        finish(rx, Outcome::Failed, e->message());
    else if (out_.library)
        out_.library->sawInUserMemory(n_, record, SynthMemory::How::Fetched);
    return !e;
}

void ToDiskTransfer::nextOrEnd(Receiver& rx)
{
    if (at_ + 1 >= numbers_.size()) {
        finish(rx, Outcome::Done, {});
    } else if ((progress_ && progress_->cancelled()) || rx.wrappingUp()) {
        finish(rx, Outcome::Cancelled, {});
    } else {
        n_ = numbers_[++at_];
        startPerformance(rx);
    }
}

void ToDiskTransfer::stopped(Receiver& rx, const std::string& why)
{
    finish(rx, Outcome::Failed, perfNumber(n_) + " not saved: " + why);
}

void ToDiskTransfer::abandon(Receiver& rx)
{
    finish(rx, Outcome::Cancelled, {});
}

std::string ToDiskTransfer::savedText() const
{
    return countText(saved_, total(), "performances saved");
}

void ToDiskTransfer::finish(Receiver& rx, Outcome how, const std::string& problem)
{
    if (ended_)
        return;
    ended_ = true;
    if (progress_) {
        progress_->close();
        progress_.reset();
    }
    const Kept kept = keepOutput(how == Outcome::Done);
    if (how == Outcome::Done && !kept.error && whenDone_) {
        whenDone_(rx);
        return;
    }
    std::string summary = savedText() + kept.where;
    if (kept.error)
        summary += "\n" + kept.error->message();
    // A quick single transfer that worked says so on the status line;
    // everything else in a box the user closes.
    switch (how) {
    case Outcome::Done:
        if (kept.error) {
            rx.answer(kept.error->message());
        } else if (numbers_.size() == 1) {
            rx.report(perfNumber(n_) + " saved as " + utf8FromPath(lastFile_.filename()));
        } else {
            rx.answer(summary);
            rx.report(savedText());
        }
        break;
    case Outcome::Cancelled:
        rx.answer((rx.wrappingUp() ? "Transfer stopped as the program ends: " : "Transfer cancelled: ") + summary);
        rx.report(savedText());
        break;
    case Outcome::Failed:
        rx.answer(numbers_.size() == 1 ? problem : problem + "\n" + summary);
        rx.report(problem.substr(0, problem.find('\n')));
        break;
    }
}

ToDiskTransfer::Kept ToDiskTransfer::keepOutput(bool complete)
{
    if (libraryOnly())
        return {saved_ > 0 ? std::string(" in the library") : std::string(), std::nullopt};
    if (!bank_)
        return {saved_ > 0 ? " in " + utf8FromPath(out_.folder) : std::string(), std::nullopt};
    if (!bank_->isOpen())
        return {};
    if (!complete && bank_->records() == 0) {
        bank_->abandon();
        return {};
    }
    fs::path target = out_.bankFile;
    // An incomplete bank says so in its name, so it is never taken later
    // for a whole backup; and a bank from an earlier run is only replaced
    // by a complete one.
    if (!complete) {
        target = out_.bankFile.parent_path() / out_.bankFile.stem();
        target += " (incomplete, " + std::to_string(bank_->records()) + " of " + std::to_string(total()) + ")";
        target += out_.bankFile.extension();
        if (nameTaken(target))
            target = freeNameBeside(target);
        bank_->retarget(target);
    }
    if (auto e = bank_->commit())
        return {{}, *e};
    std::string where = " in " + utf8FromPath(target);
    if (target != out_.bankFile && bankExisted_)
        where += " (" + utf8FromPath(out_.bankFile.filename()) + " was left as it was)";
    return {where, std::nullopt};
}

} // namespace kw
