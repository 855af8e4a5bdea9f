// A whole bank into the simulator and a full backup of its 128 user
// performances back out, over a real JACK server with the real timers: the
// backup equals the simulator's own memory file record for record.

#include "files/BankFile.h"
#include "library/BulkCommands.h"
#include "library/EditSession.h"
#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/QtScheduler.h"
#include "midi/RtMidiBackend.h"
#include "model/Settings.h"
#include "support/RecordingUi.h"
#include "support/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace kw;
using kwtest::env;
using kwtest::runUntil;

namespace {

Bytes readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return Bytes(all.begin(), all.end());
}

// 128 performances with random data, each addressed to its own number.
std::vector<PerformanceRecord> randomBank()
{
    std::mt19937 rng(2026);
    std::vector<PerformanceRecord> out;
    for (int pp = 0; pp < kUserPerformances; ++pp) {
        PerformanceImage p;
        for (int i = 0; i < kBlocksPerPerformance; ++i)
            for (size_t k = 0; k < p.edit.at(i).dataLength(); ++k)
                p.edit.at(i).data(k) = uint8_t(rng() % 128);
        for (size_t k = 0; k < 8; ++k)
            p.edit[BlockKind::Common00].data(k) = uint8_t('A' + rng() % 26);
        p.edit[BlockKind::Common00].data(8) = uint8_t(rng() % 23);
        out.push_back(PerformanceRecord::fromEdit(p.edit, pp));
    }
    return out;
}

} // namespace

TEST(EndToEnd, AFullBackupInBankFormatEqualsTheSimulatorsMemory)
{
    const QString simMemory = QString::fromStdString(env("KW_SIM_MEMORY"));
    ASSERT_FALSE(simMemory.isEmpty()) << "run through run_e2e.sh";
    QTemporaryDir dir;
    Settings settings;
    settings.midiIn = settings.midiOut = env("KW_SIM_PORT");
    settings.longDelay = false;
    settings.perfBankDir = dir.path().toStdString();
    PerformanceImage img;
    EditorState st;
    setDefaults(img, st);
    kwtest::RecordingUi ui;
    QtScheduler sched;
    std::vector<std::unique_ptr<MidiBackend>> list;
    list.push_back(backendByName("jack"));
    ASSERT_NE(list.back(), nullptr);
    MidiPorts ports(settings, std::move(list), PortHooks{[&](const std::string& t) { ui.messageBox(t); }, {}});
    Senders senders(img, st, ports.output());
    MidiCore core(senders, ui, sched, settings);
    kwtest::ScriptedDialogs dialogs;
    EditSession session(img, st, senders);
    session.attach(ui, dialogs);
    auto inputOpen = [&] { return ports.inputOpen(); };
    linkToCore(session, core, inputOpen);
    LibraryContext lib{session, core.receiver, dialogs, settings, inputOpen};
    BulkCommands bulk(lib);
    ports.setInputSink([&](const Bytes& m) { core.dispatcher.handle(m); });
    ASSERT_TRUE(ports.deviceCheck(senders));
    ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }, 5000)) << "no identity reply";
    ui.boxes.clear();

    // A bank of our own into the simulator, which stores its memory file a
    // moment after the last change.
    const auto sent = randomBank();
    const QString in = dir.filePath("in.PFB");
    ASSERT_FALSE(writeBankFile(in.toStdString(), sent));
    dialogs.files = {in.toStdString()};
    bulk.MenuBulkPerfBankSynthClick();
    ASSERT_TRUE(runUntil([&] { return !core.receiver.chainRunning(); }, 60000)) << "bank send did not end";
    const qint64 memorySize = (57 + 34 + 20 + 4 * 52) + 128 * 317;  // the edit buffer, then 128 records
    ASSERT_TRUE(runUntil([&] { return QFileInfo(simMemory).size() == memorySize; }, 10000));
    runUntil([] { return false; }, 1500);  // a later write of the same memory is harmless, but let it pass
    const Bytes memory = readFile(simMemory);
    ASSERT_EQ(qint64(memory.size()), memorySize);
    const Bytes simRecords(memory.end() - 128 * 317, memory.end());

    // The backup.
    const QString out = dir.filePath("backup.PFB");
    dialogs.asks = {1};
    dialogs.files = {out.toStdString()};
    bulk.MenuBulkAllPerfHDClick();
    EXPECT_TRUE(ui.busy);
    ASSERT_TRUE(runUntil([&] { return !core.receiver.chainRunning(); }, 150000)) << "backup did not end";
    EXPECT_FALSE(ui.busy);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front();
    const Bytes bank = readFile(out);
    ASSERT_EQ(bank.size(), 40590u);
    EXPECT_TRUE(Bytes(bank.begin() + 14, bank.end()) == simRecords) << "the backup is the simulator's memory";
    for (int pp = 0; pp < 128; ++pp) {
        const auto got = *PerformanceRecord::fromBytes(ByteView(bank).subspan(14 + size_t(pp) * 317, 317));
        ASSERT_TRUE(got.faults().empty()) << pp;
        for (int m = 0; m < kBlocksPerPerformance; ++m)
            for (size_t i = 9; i + 2 < kRecordMessageLengths[size_t(m)]; ++i)
                ASSERT_EQ(got.message(m)[i], sent[size_t(pp)].message(m)[i]) << pp << " " << m << " " << i;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"backup.PFB", "in.PFB"}));
    ports.closeInput();
    ports.closeOutput();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
