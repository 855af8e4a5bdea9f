// SIGTERM, SIGINT and SIGHUP end the editor the normal way: settings written,
// ports closed, the virtual CS1x's memory saved. The editor runs as a child
// process with a home of its own.

#include "files/BankFile.h"
#include "midi/VirtualCs1x.h"
#include "support/RandomRecords.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>

namespace {

// The editor as a child process with a home of its own, the virtual CS1x
// chosen as both ports.
struct Editor {
    QTemporaryDir home;
    QString config = home.filePath("config");
    QString data = home.filePath("data");
    QString settingsFile = config + "/Orsk Inc./Knobwright.conf";
    QProcess child;

    // Settings that choose the virtual CS1x, or (null) none at all.
    explicit Editor(const char* longDelay)
    {
        if (!longDelay)
            return;
        QSettings s(settingsFile, QSettings::IniFormat);
        s.beginGroup("CS1x");
        s.setValue("Midi-IN", "Virtual CS1x");
        s.setValue("Midi-OUT", "Virtual CS1x");
        s.setValue("LongDelay", longDelay);
    }
    // `merged`: what the editor writes to standard error comes with its lines too.
    void start(const QStringList& args = {}, bool merged = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", config);
        env.insert("XDG_DATA_HOME", data);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // No sound hardware, no JACK server needed: the virtual CS1x is always there.
        env.insert("JACK_NO_START_SERVER", "1");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(merged ? QProcess::MergedChannels : QProcess::ForwardedErrorChannel);
        child.start(KW_SIGNAL_CHILD, args);
    }
    // The next line the editor prints that starts with `start` (within 30 s),
    // or empty.
    QByteArray waitForLine(const QByteArray& start)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000) {
            while (child.canReadLine()) {
                const QByteArray line = child.readLine().trimmed();
                if (line.startsWith(start))
                    return line;
            }
            child.waitForReadyRead(100);
        }
        return {};
    }
    // The signal, then a normal exit.
    void quitWith(int signal)
    {
        ::kill(pid_t(child.processId()), signal);
        ASSERT_TRUE(child.waitForFinished(20000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "killed by the signal";
        EXPECT_EQ(child.exitCode(), 0);
    }
    kw::VirtualCs1x savedSynth()
    {
        kw::VirtualCs1x reloaded;
        QFile memory(data + "/Knobwright/Virtual CS1x.syx");
        EXPECT_TRUE(memory.open(QIODevice::ReadOnly)) << "the virtual CS1x memory was not saved";
        const QByteArray bytes = memory.readAll();
        reloaded.loadMemoryImage(kw::ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
        return reloaded;
    }
};

class QuitBySignal : public ::testing::TestWithParam<int> {};

// Which of the seven blocks of user performance `pp` hold `record`'s data.
std::vector<bool> blocksFrom(const kw::VirtualCs1x& synth, int pp, const kw::PerformanceRecord& record)
{
    kw::BlockSet fresh(true);
    record.toTransfer(fresh);
    std::vector<bool> out;
    for (int i = 0; i < kw::kBlocksPerPerformance; ++i) {
        const kw::BulkBlock& a = synth.user(pp).at(i);
        const kw::BulkBlock& b = fresh.at(i);
        bool same = true;
        for (size_t k = 0; k < a.dataLength(); ++k)
            same = same && a.data(k) == b.data(k);
        out.push_back(same);
    }
    return out;
}

} // namespace

TEST_P(QuitBySignal, IsANormalExit)
{
    Editor editor("0");
    editor.start();
    ASSERT_TRUE(editor.child.waitForStarted(10000));
    ASSERT_FALSE(editor.waitForLine("ready").isEmpty()) << "the editor did not come up";
    editor.quitWith(GetParam());

    QSettings s(editor.settingsFile, QSettings::IniFormat);
    s.beginGroup("CS1x");
    EXPECT_EQ(s.allKeys().size(), 11) << "settings not written";
    EXPECT_EQ(s.value("LongDelay").toString(), "0");
    EXPECT_EQ(editor.savedSynth().user(5)[kw::BlockKind::UserCommon00].data(0), 'S');
}

TEST(QuitDuringATransfer, FinishesThePerformanceInFlightThenEnds)
{
    // A bank going out with the long pause; the signal comes 250 ms into
    // performance 6, in the middle of its seven blocks.
    Editor editor("1");
    const auto bank = kwtest::randomBank(31);
    const QString file = editor.home.filePath("bank.PFB");
    ASSERT_FALSE(kw::writeBankFile(file.toStdString(), bank));
    editor.start({"--send-bank", file});
    ASSERT_TRUE(editor.child.waitForStarted(10000));
    ASSERT_FALSE(editor.waitForLine("Sending performance 6 of 128").isEmpty()) << "the bank send did not get there";
    QThread::msleep(250);
    editor.quitWith(SIGTERM);

    // Whole performances from the bank, then whole old ones: nothing mixed.
    const kw::VirtualCs1x synth = editor.savedSynth();
    int sent = 0;
    while (sent < kw::kUserPerformances && blocksFrom(synth, sent, bank[size_t(sent)]) == std::vector<bool>(7, true))
        ++sent;
    EXPECT_GE(sent, 6) << "the performance in flight was not finished";
    EXPECT_LE(sent, 7) << "it went on after the performance in flight";
    for (int pp = sent; pp < kw::kUserPerformances; ++pp)
        ASSERT_EQ(blocksFrom(synth, pp, bank[size_t(pp)]), std::vector<bool>(7, false)) << "performance " << pp + 1;
}

INSTANTIATE_TEST_SUITE_P(TermIntHup, QuitBySignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& p) {
                             return p.param == SIGTERM ? "SIGTERM" : p.param == SIGINT ? "SIGINT" : "SIGHUP";
                         });

TEST(SettingsThatAreNoFile, AreSaidTheDefaultsUsedAndNothingWaits)
{
    // Each in a child process: a FIFO would hold the start up for good, a
    // link to /dev/zero would be read until memory runs out.
    struct Case {
        const char* what;
        std::function<bool(const QString&)> make;
    };
    const Case cases[] = {
        {"a FIFO", [](const QString& p) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; }},
        {"a link to /dev/zero", [](const QString& p) { return QFile::link("/dev/zero", p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Editor editor(nullptr);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(editor.settingsFile).path()));
        ASSERT_TRUE(c.make(editor.settingsFile));
        editor.start({"--scripted"});
        ASSERT_TRUE(editor.child.waitForStarted(10000));
        const QByteArray told = editor.waitForLine("box: The settings file");
        EXPECT_TRUE(told.contains("is not a regular file") && told.contains("moved to")) << told.toStdString();
        ASSERT_FALSE(editor.waitForLine("ready").isEmpty()) << "the editor did not come up";
        editor.quitWith(SIGTERM);
        EXPECT_TRUE(QFileInfo(editor.settingsFile).isFile()) << "the settings were not written anew";
    }
}

TEST(SettingsThatCannotBeWritten, AreToldOnStandardErrorAndAtTheNextStartNotInABoxAtExit)
{
    // The program's own dialogs: a box at the end would keep it alive.
    Editor editor(nullptr);
    ASSERT_TRUE(QDir().mkpath(editor.settingsFile));
    editor.start({}, true);
    ASSERT_TRUE(editor.child.waitForStarted(10000));
    ASSERT_FALSE(editor.waitForLine("ready").isEmpty()) << "the editor did not come up";
    ::kill(pid_t(editor.child.processId()), SIGTERM);
    ASSERT_TRUE(editor.child.waitForFinished(5000)) << "still running: a box at exit?";
    EXPECT_EQ(editor.child.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(editor.child.readAll().contains("knobwright: Failed to set data for 'Midi-IN'"));

    // The next start says it.
    editor.start({"--scripted"});
    ASSERT_TRUE(editor.child.waitForStarted(10000));
    EXPECT_EQ(editor.waitForLine("status:"), "status: When the program last ended: Failed to set data for 'Midi-IN'");
    ASSERT_FALSE(editor.waitForLine("ready").isEmpty());
    editor.quitWith(SIGTERM);
}

TEST(KilledDuringABackup, LeavesNothingInTheFolder)
{
    Editor editor("0");
    const QString folder = editor.home.filePath("backups");
    ASSERT_TRUE(QDir().mkpath(folder));
    editor.start({"--backup", folder + "/all.PFB"});
    ASSERT_TRUE(editor.child.waitForStarted(10000));
    ASSERT_FALSE(editor.waitForLine("Receiving performance 20 of 128").isEmpty()) << "the backup did not get there";
    ::kill(pid_t(editor.child.processId()), SIGKILL);
    ASSERT_TRUE(editor.child.waitForFinished(20000));
    // The bank was not complete, and nothing half written has a name.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{});
}
