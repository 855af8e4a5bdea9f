// The editor's program as a user starts it from a terminal, in a home of its
// own: what it answers without starting, and that a whole run on a machine
// without a JACK server (nor, here, sound hardware) leaves the terminal quiet.

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

struct Editor {
    QTemporaryDir home;
    QProcess child;

    // No display at all unless `platform` names one; no JACK server to find.
    void start(const QStringList& args, const QString& platform)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        QDir().mkpath(home.filePath("runtime"));
        QFile::setPermissions(home.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_LOGGING_RULES");
        env.insert("QT_QPA_PLATFORM", platform);
        env.insert("JACK_DEFAULT_SERVER", QStringLiteral("kw-no-server-%1").arg(QCoreApplication::applicationPid()));
        env.insert("JACK_NO_START_SERVER", "1");
        child.setProcessEnvironment(env);
        child.start(KW_EDITOR, args);
    }
    // Every file the run left in its home (the runtime folder aside).
    QStringList filesLeft() const
    {
        QStringList out;
        QDirIterator it(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            if (!f.startsWith(home.filePath("runtime")))
                out << f.mid(home.path().size());
        }
        return out;
    }
};

// Whether the process catches `signal` yet (its handler is installed).
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

} // namespace

TEST(CommandLine, AnswersWithoutAWindowADisplayOrTheSettings)
{
    const QString helpStart = "Usage: knobwright [OPTION]...\n";
    const QString version = "knobwright " KW_VERSION "\n";
    struct Case {
        QStringList args;
        int exit;
        QString out;  // what standard output starts with
        QString err;  // what standard error holds
    };
    // Where the program must not start, "xcb" without a display would end it
    // with Qt's complaint; where it must refuse, Qt's own -platform option works.
    const Case cases[] = {
        {{"--help"}, 0, helpStart, ""},
        {{"-h"}, 0, helpStart, ""},
        {{"--version"}, 0, version, ""},
        {{"-v", "--help"}, 0, version, ""},
        // Qt's -style takes the next word as its value, whatever it reads.
        {{"-style", "--help", "--version"}, 0, version, ""},
        {{"-platform", "offscreen", "--frobnicate"}, 2, "",
         "knobwright: unknown option '--frobnicate'\nTry 'knobwright --help' for the options.\n"},
        {{"-platform", "offscreen", "-reverse", "song.syx"}, 2, "",
         "knobwright: unexpected argument 'song.syx'\nTry 'knobwright --help' for the options.\n"},
    };
    for (const Case& c : cases) {
        const std::string what = c.args.join(' ').toStdString();
        Editor editor;
        editor.start(c.args, "xcb");
        ASSERT_TRUE(editor.child.waitForFinished(30000)) << what;
        EXPECT_EQ(editor.child.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(editor.child.exitCode(), c.exit) << what;
        const QString out = QString::fromUtf8(editor.child.readAllStandardOutput());
        EXPECT_TRUE(c.out.isEmpty() ? out.isEmpty() : out.startsWith(c.out)) << what << ": " << out.toStdString();
        EXPECT_EQ(QString::fromUtf8(editor.child.readAllStandardError()), c.err) << what;
        EXPECT_EQ(editor.filesLeft(), QStringList()) << what;
    }
}

TEST(CommandLine, AWholeRunWithoutAJackServerPrintsNothing)
{
    Editor editor;
    editor.child.setProcessChannelMode(QProcess::MergedChannels);
    editor.start({}, "offscreen");
    ASSERT_TRUE(editor.child.waitForStarted(10000));
    // Its handler for SIGTERM is set before the MIDI drivers are asked; a
    // signal that comes during the start is handled once the window is up.
    QElapsedTimer t;
    t.start();
    while (!catches(editor.child.processId(), SIGTERM) && t.elapsed() < 30000
           && editor.child.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(catches(editor.child.processId(), SIGTERM)) << editor.child.readAll().toStdString();
    ::kill(pid_t(editor.child.processId()), SIGTERM);
    ASSERT_TRUE(editor.child.waitForFinished(30000));
    EXPECT_EQ(editor.child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.child.exitCode(), 0);
    // The tests' offscreen platform says what it cannot do for a window
    // ("This plugin does not support propagateSizeHints()"), which a
    // desktop's never does; every other line counts.
    QStringList printed;
    for (const QString& line : QString::fromLocal8Bit(editor.child.readAll()).split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith("This plugin does not support "))
            printed << line;
    EXPECT_EQ(printed, QStringList());
    // The run went through to its end: the settings were written.
    EXPECT_TRUE(editor.filesLeft().contains("/config/Orsk Inc./Knobwright.conf")) << editor.filesLeft().join(' ').toStdString();
}
