// A whole bank into the simulator and a full backup of its 128 user
// performances back out, over a real JACK server with the real timers: the
// backup equals the simulator's own memory file record for record.

#include "files/BankFile.h"
#include "midi/RtMidiBackend.h"
#include "support/EditorRig.h"
#include "support/RandomRecords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "E2eSupport.h"

#include <gtest/gtest.h>

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

} // namespace

TEST(EndToEnd, AFullBackupInBankFormatEqualsTheSimulatorsMemory)
{
    const QString simMemory = QString::fromStdString(env("KW_SIM_MEMORY"));
    ASSERT_FALSE(simMemory.isEmpty()) << "run through run_e2e.sh";
    QTemporaryDir dir;
    kwtest::EditorRig rig;
    rig.settings.midiIn = rig.settings.midiOut = env("KW_SIM_PORT");
    rig.settings.longDelay = false;
    rig.settings.perfBankDir = dir.path().toStdString();
    ASSERT_TRUE(rig.start(backendByName("jack")));
    kwtest::RecordingUi& ui = rig.ui;
    ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }, 5000)) << "no identity reply";
    ui.boxes.clear();

    // A bank of our own into the simulator, which stores its memory file a
    // moment after the last change.
    const auto sent = kwtest::randomBank(2026);
    const QString in = dir.filePath("in.PFB");
    ASSERT_FALSE(writeBankFile(in.toStdString(), sent));
    rig.dialogs.files = {in.toStdString()};
    rig.bulk->MenuBulkPerfBankSynthClick();
    ASSERT_TRUE(runUntil([&] { return !rig.transferRunning(); }, 60000)) << "bank send did not end";
    EXPECT_EQ(ui.boxes, std::vector<std::string>{"128 of 128 performances sent"});
    ui.closeBox();
    ui.boxes.clear();
    const qint64 memorySize = (57 + 34 + 20 + 4 * 52) + 128 * 317;  // the edit buffer, then 128 records
    ASSERT_TRUE(runUntil([&] { return QFileInfo(simMemory).size() == memorySize; }, 10000));
    runUntil([] { return false; }, 1500);  // a later write of the same memory is harmless, but let it pass
    const Bytes memory = readFile(simMemory);
    ASSERT_EQ(qint64(memory.size()), memorySize);
    const Bytes simRecords(memory.end() - 128 * 317, memory.end());

    // The backup.
    const QString out = dir.filePath("backup.PFB");
    rig.dialogs.asks = {1};
    rig.dialogs.files = {out.toStdString()};
    rig.bulk->MenuBulkAllPerfHDClick();
    EXPECT_TRUE(ui.busy);
    ASSERT_TRUE(runUntil([&] { return !rig.transferRunning(); }, 150000)) << "backup did not end";
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(ui.boxes, std::vector<std::string>{"128 of 128 performances saved in " + out.toStdString()});
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
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
