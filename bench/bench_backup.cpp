// Wall time of the long transfers against the in-process virtual CS1x, with
// the real Qt timers: a full backup of the 128 user performances into one
// bank (896 request/reply rounds, seven transfer pauses a performance), and
// a bank of 128 sent into the synth (896 blocks, a pause after each), with
// the long (100 ms) and the short (10 ms) transfer pause. Each beside its
// floor: the configured pauses, plus for the backup the time the requests
// and replies take on a MIDI cable at 31,250 baud (the virtual CS1x answers
// after that time).
//
//   bench_backup [--short-only] [--json FILE] [--quiet]
//
// The bank send's floor is its pauses alone: the virtual CS1x takes what the
// editor sends at once, as the system's MIDI driver does (it queues the bytes
// for the cable).

#include "BenchKit.h"
#include "files/BankFile.h"
#include "midi/VirtualBackend.h"
#include "support/EditorRig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace kw;

constexpr int kBlockLengths[7] = {57, 32, 20, 52, 52, 52, 52};
constexpr int kRequestLength = 8;
constexpr double kMsPerByte = 10.0 * 1000.0 / 31250.0;  // ten bits a byte

struct Row {
    std::string name;
    double value;
    double goal;
};

kwbench::Row tableRow(const Row& r)
{
    return {r.name, "ms", kwbench::Stats{r.value, r.value, r.value, 1}, r.goal, false,
            r.name.rfind("backup", 0) == 0 ? "floor: pauses + every byte at 31,250 baud" : "floor: pauses"};
}

// The editor wired to the virtual CS1x as the program runs it.
class Rig : public kwtest::EditorRig {
public:
    explicit Rig(bool longPause)
    {
        settings.midiIn = settings.midiOut = kVirtualDeviceName;
        settings.longDelay = longPause;
        settings.perfBankDir = settings.lastDir = dir.path().toStdString();
        ready = start(std::make_unique<VirtualBackend>(sched, QString()));
        wait([this] { return !ui.boxes.empty(); });
    }
    void wait(const std::function<bool()>& done)
    {
        while (!done()) {
            QEventLoop loop;
            QTimer::singleShot(1, &loop, &QEventLoop::quit);
            loop.exec();
        }
    }
    // Milliseconds from the command until its transfer has ended.
    double time(const std::function<void()>& command)
    {
        QElapsedTimer t;
        t.start();
        command();
        wait([this] { return !transferRunning(); });
        return double(t.nsecsElapsed()) / 1e6;
    }

    QTemporaryDir dir;
    bool ready = false;
};

Row backup(bool longPause)
{
    Rig rig(longPause);
    if (!rig.ready)
        return {"backup failed to open the virtual CS1x", 0, 1};
    const double pause = rig.settings.transferPause();
    double wire = 0;
    for (int len : kBlockLengths)
        wire += (kRequestLength + len) * kMsPerByte;
    const double floor = 128 * (7 * pause + wire);
    rig.dialogs.asks = {1};
    rig.dialogs.files = {rig.dir.filePath("backup.PFB").toStdString()};
    const double ms = rig.time([&] { rig.bulk->MenuBulkAllPerfHDClick(); });
    if (QFileInfo(rig.dir.filePath("backup.PFB")).size() != 40590)
        std::fprintf(stderr, "bench_backup: the backup is incomplete\n");
    return {std::string("backup of 128 to a bank, ") + (longPause ? "long" : "short") + " pause", ms, floor};
}

Row bankSend(bool longPause)
{
    Rig rig(longPause);
    if (!rig.ready)
        return {"bank send failed to open the virtual CS1x", 0, 1};
    std::vector<PerformanceRecord> records;
    for (int pp = 0; pp < 128; ++pp)
        records.push_back(PerformanceRecord::fromEdit(rig.img.edit, pp));
    const std::string bank = rig.dir.filePath("in.PFB").toStdString();
    writeBankFile(bank, records);
    const double floor = 128 * 7 * double(rig.settings.transferPause());
    rig.dialogs.files = {bank};
    const double ms = rig.time([&] { rig.bulk->MenuBulkPerfBankSynthClick(); });
    return {std::string("bank of 128 sent, ") + (longPause ? "long" : "short") + " pause", ms, floor};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool shortOnly = kwbench::hasFlag(argc, argv, "--short-only");
    std::vector<kwbench::Row> rows;
    for (bool longPause : {false, true}) {
        if (longPause && shortOnly)
            break;
        rows.push_back(tableRow(backup(longPause)));
        rows.push_back(tableRow(bankSend(longPause)));
    }
    return kwbench::report(argc, argv, "bench_backup", rows);
}
