#include "session/Audition.h"

#include "midi/Receiver.h"
#include "midi/Ui.h"
#include "session/CommandContext.h"
#include "session/EditSession.h"
#include "session/SendJob.h"

#include <memory>

namespace kw {

void Audition::begin()
{
    sent_ = false;
    refreshesAtBackup_ = -1;
    keepEdited();
}

void Audition::keepEdited()
{
    // A performance fetched meanwhile (a program change on the synth) is
    // what the main window shows from then on, and so what the end must
    // give back.
    if (refreshesAtBackup_ == ctx_.session.fullRefreshes())
        return;
    backup_ = ctx_.session.image().edit;
    modifiedBefore_ = ctx_.session.state().modified;
    refreshesAtBackup_ = ctx_.session.fullRefreshes();
    movesAtBackup_ = ctx_.session.historyMoves();
    sent_ = false;
}

void Audition::play(PerformanceRecord record)
{
    if (ctx_.refuseWhileBusy())
        return;
    keepEdited();
    // A file's bytes as they were: none of 0x80 or more may reach the synth.
    if (const int cut = record.clampDataTo7Bit())
        ctx_.rx.report(clampedText(cut));
    ctx_.rx.ui().setLamp(Lamp::Out, true);
    auto shared = std::make_shared<PerformanceRecord>(std::move(record));
    auto job = std::make_unique<SendJob>();
    job->then([this, shared](Receiver& rx) {
           shared->toEdit(rx.image().edit);
           sent_ = true;
           ctx_.session.setAuditioning(true);
           return true;
       })
        .sendEditImage(false)
        .atEnd([](Receiver& rx, const SendJob::End&) { rx.ui().setLamp(Lamp::Out, false); });
    ctx_.rx.startChain(std::move(job));
}

void Audition::end()
{
    const bool restore = sent_ && refreshesAtBackup_ == ctx_.session.fullRefreshes();
    sent_ = false;
    ctx_.session.setAuditioning(false);
    if (!restore)
        return;
    // The image holds at once what the main window shows, also while an
    // audition still goes out and a window may open again; the synth gets
    // it in its turn.
    ctx_.session.image().edit = backup_;
    // The steps lead to the edit given back, unless some were taken since it
    // was kept aside: those went from another image.
    if (ctx_.session.historyMoves() != movesAtBackup_)
        ctx_.session.startNewHistory();
    const bool modified = modifiedBefore_;
    auto job = std::make_unique<SendJob>();
    job->sendEditImage(false).then([modified](Receiver& rx) {
        // The synth holds again what it held: the edit is as edited as before.
        rx.state().modified = modified;
        return true;
    });
    ctx_.rx.startChain(std::move(job));
}

} // namespace kw
