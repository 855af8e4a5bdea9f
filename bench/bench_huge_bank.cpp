// The largest bank a file may hold (65,536 records, 20 MB) read where the
// window waits on it, with the real timers: how long the event loop stood
// still at worst while the bank manager loaded it and while the bank send
// read it up to its question, and how long the reading took in all.
//
//   bench_huge_bank [--rounds N] [--json FILE] [--quiet]

#include "BenchKit.h"
#include "files/BankFile.h"
#include "Heartbeat.h"
#include "midi/MidiCore.h"
#include "midi/QtScheduler.h"
#include "model/Settings.h"
#include "session/BankManager.h"
#include "session/BulkCommands.h"
#include "session/EditSession.h"
#include "support/RandomRecords.h"
#include "support/RecordingPort.h"
#include "support/RecordingUi.h"
#include "support/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>

namespace {

void runUntil(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = kwbench::intArg(argc, argv, "--rounds", 5);

    QTemporaryDir dir;
    std::vector<kw::PerformanceRecord> records = kwtest::randomBank(7);
    records.resize(65536, records[5]);
    const std::string file = dir.filePath("huge.PFB").toStdString();
    if (kw::writeBankFile(file, records)) {
        std::fprintf(stderr, "bench_huge_bank: cannot write %s\n", file.c_str());
        return 1;
    }

    kw::Settings settings;
    kw::PerformanceImage image;
    kw::EditorState state;
    kw::setDefaults(image, state);
    kwtest::RecordingPort port;
    kwtest::RecordingUi ui;
    kwtest::ScriptedDialogs dialogs;
    kw::QtScheduler sched;
    kw::Senders senders(image, state, port);
    kw::MidiCore core(senders, ui, sched, settings);
    kw::EditSession session(image, state, senders);
    session.attach(ui, dialogs);
    kw::CommandContext ctx{session, core.receiver, dialogs, settings, [] { return true; }};
    kw::BankModel model;
    kw::BankManager manager(ctx, model);
    kw::BulkCommands bulk(ctx);

    kwbench::Heartbeat beat;
    std::vector<double> loadStall, loadTime, sendStall, sendTime;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer t;
        beat.reset();
        t.start();
        bool loaded = false;
        manager.loadBank(file, [&](const std::optional<std::vector<int>>&) { loaded = true; });
        runUntil([&] { return loaded; });
        loadTime.push_back(double(t.nsecsElapsed()) / 1e6);
        loadStall.push_back(beat.worst());

        // The bank send reads it, then asks before sending 65,536: "No".
        dialogs.files = {file};
        dialogs.confirms = {false};
        const size_t asked = dialogs.questions.size();
        beat.reset();
        t.restart();
        bulk.MenuBulkPerfBankSynthClick();
        runUntil([&] { return dialogs.questions.size() > asked; });
        sendTime.push_back(double(t.nsecsElapsed()) / 1e6);
        sendStall.push_back(beat.worst());
    }
    session.detach();
    using kwbench::Row;
    using kwbench::stats;
    return kwbench::report(argc, argv, "bench_huge_bank",
                           {
                               Row{"worst stall, 20 MB bank loaded", "ms", stats(loadStall), 16.0, true,
                                   "bank manager, 65,536 records"},
                               Row{"20 MB bank loaded", "ms", stats(loadTime), {}, false, "until the slots are set"},
                               Row{"worst stall, 20 MB bank to send", "ms", stats(sendStall), 16.0, true,
                                   "read up to the question"},
                               Row{"20 MB bank read to send", "ms", stats(sendTime), {}, false, ""},
                           });
}
