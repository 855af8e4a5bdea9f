// SIGTERM, SIGINT and SIGHUP end the editor the normal way: settings written,
// ports closed, the virtual CS1x's memory saved. The editor runs as a child
// process with a home of its own.

#include "midi/VirtualCs1x.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

class QuitBySignal : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(QuitBySignal, IsANormalExit)
{
    QTemporaryDir home;
    const QString config = home.filePath("config");
    const QString data = home.filePath("data");
    const QString settingsFile = config + "/Orsk Inc./Knobwright.conf";
    {
        QSettings s(settingsFile, QSettings::IniFormat);
        s.beginGroup("CS1x");
        s.setValue("Midi-IN", "Virtual CS1x");
        s.setValue("Midi-OUT", "Virtual CS1x");
        s.setValue("LongDelay", "0");
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("XDG_DATA_HOME", data);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // No sound hardware, no JACK server needed: the virtual CS1x is always there.
    env.insert("JACK_NO_START_SERVER", "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(KW_SIGNAL_CHILD, {});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.waitForReadyRead(20000)) << "the editor did not come up";
    ASSERT_EQ(child.readLine().trimmed(), "ready");

    ::kill(pid_t(child.processId()), GetParam());
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "killed by the signal";
    EXPECT_EQ(child.exitCode(), 0);

    QSettings s(settingsFile, QSettings::IniFormat);
    s.beginGroup("CS1x");
    EXPECT_EQ(s.allKeys().size(), 9) << "settings not written";
    EXPECT_EQ(s.value("LongDelay").toString(), "0");

    QFile memory(data + "/Knobwright/Virtual CS1x.syx");
    ASSERT_TRUE(memory.open(QIODevice::ReadOnly)) << "the virtual CS1x memory was not saved";
    const QByteArray bytes = memory.readAll();
    kw::VirtualCs1x reloaded;
    reloaded.loadMemoryImage(kw::ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
    EXPECT_EQ(reloaded.user(5)[kw::BlockKind::UserCommon00].data(0), 'S');
}

INSTANTIATE_TEST_SUITE_P(TermIntHup, QuitBySignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& p) {
                             return p.param == SIGTERM ? "SIGTERM" : p.param == SIGINT ? "SIGINT" : "SIGHUP";
                         });
