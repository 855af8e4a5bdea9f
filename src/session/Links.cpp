#include "session/Links.h"

#include "midi/MidiCore.h"
#include "midi/Receiver.h"
#include "midi/Senders.h"
#include "model/PerformanceImage.h"
#include "session/CommandContext.h"
#include "session/EditSession.h"
#include "session/library/LibraryKeeper.h"
#include "session/StatusTexts.h"
#include "session/UserPerfNames.h"

namespace kw {

void linkToCore(EditSession& session, MidiCore& core, std::function<bool()> inputOpen)
{
    core.dispatcher.setInputOpen(inputOpen);
    core.dispatcher.setProgramChangeAction([&session](int program) { session.programChange(program); });
    auto whyNoSynth = [&core, inputOpen] {
        return noSynthText(core.receiver.settings(), core.receiver.senders().portOpen(), inputOpen(), true);
    };
    session.link({[&core] { core.receiver.startPerformanceFetch(); }, std::move(inputOpen),
                  [&core](const std::string& text) { core.timers.status(text); },
                  [&core] { core.timers.clearStanding(); },
                  [&core](const std::string& text) { core.timers.status(text, MidiTimers::kReportMs); },
                  [&core](std::unique_ptr<Chain> chain) { core.receiver.startChain(std::move(chain)); },
                  [&core] { return core.receiver.chainRunning() || core.receiver.chainQueued(); },
                  std::move(whyNoSynth)});
}

void linkKeeper(LibraryKeeper& keeper, CommandContext& ctx)
{
    ctx.keeper = &keeper;
    ctx.rx.setFetchedHandler([&keeper, &image = ctx.session.image()](int performance) {
        if (performance >= 0)
            keeper.sawInUserMemory(performance, PerformanceRecord::fromEdit(image.edit, performance),
                                   SynthMemory::How::Fetched);
        else
            keeper.keep(image.edit, Source::synthEdit());
    });
    UserPerfNames& names = ctx.names();
    names.watch([&keeper, &names](int i) { keeper.lineChanged(i, names.entry(i)); });
}

} // namespace kw
