// The editor's program as a user starts it from a terminal, in a home of its
// own: what it answers without starting.

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>


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
