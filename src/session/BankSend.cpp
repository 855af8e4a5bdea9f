#include "session/BankSend.h"

#include "midi/Receiver.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/Cp1252.h"
#include "session/Dialogs.h"
#include "session/SendJob.h"
#include "session/UserPerfNames.h"

namespace kw {

std::string notSentText(int destination, int blocksOut, const std::string& why)
{
    return "performance " + entryNumber(destination) + (blocksOut > 0 ? " was cut off: " : " was not sent: ") + why;
}

BankSend::BankSend(std::vector<PerformanceRecord> records, UserPerfNames& names, Dialogs& dialogs)
    : records_(std::move(records)), names_(names), dialogs_(dialogs)
{
}

BankSend::~BankSend() = default;

void BankSend::begin(Receiver& rx)
{
    progress_ = dialogs_.progress("Performance-Bank (to CS1x)", {}, int(records_.size()));
    // The list shows what goes where; no line stays selected, as the synth's
    // memory no longer matches what the editor holds.
    rx.state().selectedUserPerf = -1;
    rx.state().shownUserPerf = -1;
    rx.ui().selectUserPerf(-1);
    rx.ui().setLamp(Lamp::Out, true);
    startRecord(rx);
}

void BankSend::startRecord(Receiver& rx)
{
    // Between two performances: a cancel, or the program's end, takes effect here.
    if (next_ >= records_.size() || progress_->cancelled() || rx.wrappingUp()) {
        finish(rx, {}, 0);
        return;
    }
    const PerformanceRecord& r = records_[next_];
    const std::string moving = "Transferring Performance #" + std::to_string(r.numberInRange() + 1) + " : "
                               + cp1252ToUtf8(r.shortEntry());
    progress_->setText("Sending performance " + std::to_string(next_ + 1) + " of " + std::to_string(records_.size())
                       + "\n" + moving);
    rx.status(moving);
    block_ = 0;
    inFlight_ = true;
    sendBlock(rx);
}

void BankSend::sendBlock(Receiver& rx)
{
    const PerformanceRecord& r = records_[next_];
    if (!sendRecordBlock(rx, r, block_, r.numberInRange())) {
        finish(rx, rx.senders().lastReason(), block_);
        return;
    }
    if (++block_ < kBlocksPerPerformance) {
        rx.afterPause([this, &rx] { sendBlock(rx); });
        return;
    }
    // Only a performance whose every block went out counts, and only its
    // line changes.
    inFlight_ = false;
    ++sent_;
    progress_->setValue(sent_);
    names_.set(r.numberInRange(), numberedEntry(r.numberInRange(), r.shortEntry()));
    if (reached)
        reached(r, r.numberInRange());
    ++next_;
    rx.afterPause([this, &rx] { startRecord(rx); });
}

void BankSend::stopped(Receiver& rx, const std::string& why)
{
    finish(rx, why, block_);
}

void BankSend::abandon(Receiver& rx)
{
    if (progress_)
        finish(rx, "abandoned", block_);
}

void BankSend::finish(Receiver& rx, const std::string& why, int blocksOut)
{
    if (ended_)
        return;
    ended_ = true;
    if (progress_)
        progress_->close();
    rx.ui().setLamp(Lamp::Out, false);
    const int total = int(records_.size());
    std::string text = std::to_string(sent_) + " of " + std::to_string(total) + " performances sent";
    if (!why.empty())
        text += "; " + (inFlight_ ? notSentText(records_[next_].numberInRange(), blocksOut, why) : why);
    else if (sent_ < total)
        text = (rx.wrappingUp() ? "Transfer stopped as the program ends: " : "Transfer cancelled: ") + text;
    rx.answer(text);
    rx.report(text);
}

} // namespace kw
