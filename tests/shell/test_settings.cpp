#include "shell/Settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kw;

namespace {
struct SettingsTest : ::testing::Test {
    QTemporaryDir dir;
    QString path() const { return dir.filePath("knobwright.ini"); }
};
} // namespace

TEST(SettingsFlags, TextToFlagRules)
{
    EXPECT_FALSE(flagFromText(std::string("0")));
    EXPECT_TRUE(flagFromText(std::string("1")));
    EXPECT_FALSE(flagFromText(std::string("0x0")));
    EXPECT_FALSE(flagFromText(std::string("0X00")));
    EXPECT_TRUE(flagFromText(std::string("0x10")));
    EXPECT_TRUE(flagFromText(std::string("-3")));
    EXPECT_TRUE(flagFromText(std::string("yes")));  // not a number: default
    EXPECT_TRUE(flagFromText(std::string("")));
    EXPECT_TRUE(flagFromText(std::string("0x")));
    EXPECT_TRUE(flagFromText(std::nullopt));
    EXPECT_FALSE(parseSettingInteger("12a").has_value());
    EXPECT_EQ(parseSettingInteger("0xFf").value(), 255);
}

TEST_F(SettingsTest, FirstRunGivesDefaultsAndExitWritesAllTen)
{
    {
        SettingsStore store(path());
        const Settings s = loadSettings(store, "/opt/knobwright", {}, "/home/someone");
        EXPECT_EQ(s.midiIn, "");
        EXPECT_EQ(s.midiOut, "");
        EXPECT_EQ(s.aktPerfList, "");
        // File dialogs start at home until the user has chosen a folder.
        EXPECT_EQ(s.lastDir, "/home/someone");
        EXPECT_EQ(s.perfBankDir, "/home/someone");
        EXPECT_TRUE(s.showHints && s.longDelay && s.synthKnobs && s.programChanges && s.fetchWhenFound && s.keepInLibrary);
        EXPECT_EQ(s.transferPause(), 100);
        saveSettings(store, s);
    }
    QSettings raw(path(), QSettings::IniFormat);
    raw.beginGroup("CS1x");
    EXPECT_EQ(raw.allKeys().size(), 11);
    EXPECT_EQ(raw.value("LongDelay").toString(), "1");
    EXPECT_EQ(raw.value("Last-Dir").toString(), "/home/someone");
    EXPECT_EQ(raw.value("Midi-IN").toString(), "");
}

TEST_F(SettingsTest, StoredValuesRoundTripAndEmptyFolderIsReplaced)
{
    {
        QSettings raw(path(), QSettings::IniFormat);
        raw.beginGroup("CS1x");
        raw.setValue("Midi-IN", "CS1x In, Port 1");
        raw.setValue("Last-Dir", "");
        // What earlier versions wrote back when the user had chosen nothing.
        raw.setValue("PerfBank-Dir", "/prog");
        raw.setValue("LongDelay", "0x0");
        raw.setValue("SynthKnobs", "yes");
        raw.setValue("ProgramChanges", "0");
        raw.setValue("FetchWhenFound", "0");
        raw.setValue("KeepInLibrary", "0");
    }
    SettingsStore store(path());
    Settings s = loadSettings(store, "/prog", {}, "/home/someone");
    EXPECT_FALSE(s.fetchWhenFound);
    EXPECT_FALSE(s.keepInLibrary);
    EXPECT_EQ(s.midiIn, "CS1x In, Port 1");
    EXPECT_EQ(s.lastDir, "/home/someone");
    EXPECT_EQ(s.perfBankDir, "/home/someone");
    EXPECT_FALSE(s.longDelay);
    EXPECT_EQ(s.transferPause(), 10);
    EXPECT_TRUE(s.synthKnobs);
    EXPECT_FALSE(s.programChanges);
    saveSettings(store, s);
    QSettings raw(path(), QSettings::IniFormat);
    raw.beginGroup("CS1x");
    EXPECT_EQ(raw.value("Last-Dir").toString(), "/home/someone");
    EXPECT_EQ(raw.value("ProgramChanges").toString(), "0");
    EXPECT_EQ(raw.value("SynthKnobs").toString(), "1");
    EXPECT_EQ(raw.value("FetchWhenFound").toString(), "0");
}

TEST_F(SettingsTest, NonStringValueFailsWithItsName)
{
    {
        QSettings raw(path(), QSettings::IniFormat);
        raw.beginGroup("CS1x");
        raw.setValue("Midi-OUT", QStringList{"a", "b"});
        raw.setValue("ShowHints", QStringList{"0", "1"});
    }
    SettingsStore store(path());
    EXPECT_THROW(store.readText("Midi-OUT"), SettingsError);
    QStringList errors;
    const Settings s = loadSettings(store, "/p", [&](const QString& e) { errors << e; });
    EXPECT_EQ(errors, (QStringList{"Invalid data type for 'Midi-OUT'", "Invalid data type for 'ShowHints'"}));
    EXPECT_EQ(s.midiOut, "");
    EXPECT_TRUE(s.showHints);
}

TEST_F(SettingsTest, ADamagedFileIsToldOfAtStartKeptAsideAndGetsAllTenAtExit)
{
    // A line Qt cannot parse outside the group, then what can still be read.
    const QByteArray damaged("garbage without an equals sign\n\x01\x02\n[CS1x]\nLongDelay=0\nMidi-IN=Port A\n");
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    SettingsStore store(path());
    EXPECT_TRUE(store.openProblem().contains(path())) << store.openProblem().toStdString();
    EXPECT_TRUE(store.openProblem().contains(path() + ".bad")) << store.openProblem().toStdString();
    {
        QFile copy(path() + ".bad");
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), damaged);
    }

    Settings s = loadSettings(store, "/prog");
    EXPECT_FALSE(s.longDelay);
    EXPECT_EQ(s.midiIn, "Port A");
    s.midiOut = "Port B";
    EXPECT_NO_THROW(saveSettings(store, s));
    QSettings raw(path(), QSettings::IniFormat);
    raw.beginGroup("CS1x");
    EXPECT_EQ(raw.allKeys().size(), 11);
    EXPECT_EQ(raw.value("Midi-OUT").toString(), "Port B");
    EXPECT_EQ(raw.value("LongDelay").toString(), "0");
    EXPECT_EQ(raw.value("ProgramChanges").toString(), "1");
}

TEST_F(SettingsTest, AFileOfMoreThan64KiBIsNeverReadByQt)
{
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[CS1x]\nMidi-IN=Virtual CS1x\n");
        f.write(QByteArray(64 * 1024, ';'));
    }
    SettingsStore store(path());
    EXPECT_TRUE(store.openProblem().contains("larger than 64 KiB")) << store.openProblem().toStdString();
    EXPECT_EQ(loadSettings(store, "/p").midiIn, "");
    EXPECT_TRUE(QFile::exists(path() + ".bad"));
}

TEST_F(SettingsTest, AStoreThatCannotBeWrittenNamesWhatFailed)
{
    // A folder where the file should be: unreadable and unwritable, even for root.
    ASSERT_TRUE(QDir(dir.path()).mkdir("knobwright.ini"));
    SettingsStore store(path());
    EXPECT_FALSE(store.openProblem().isEmpty());
    const Settings s = loadSettings(store, "/prog");
    try {
        saveSettings(store, s);
        ADD_FAILURE() << "no error";
    } catch (const SettingsError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'Midi-IN'");
    }

    // A healthy file says nothing.
    SettingsStore fine(dir.filePath("fine.ini"));
    EXPECT_TRUE(fine.openProblem().isEmpty());
}

TEST_F(SettingsTest, SerializedDataInTheFileIsNeverDecodedTheFileGoesAsideAndDefaultsAreUsed)
{
    // Qt would decode these as binary data and trust the sizes in them: the
    // first asks for some 48 GB as the file is read. However they are
    // written, none of them may reach Qt.
    const QByteArray damaged[] = {
        QByteArray("[CS1x]\nMidi-IN=Virtual CS1x\nLongDelay=@Variant(\\0\\0\\0\x0bx7f)\n"),
        QByteArray("[CS1x]\nLongDelay=\"\\x40Variant(\\0\\0\\0\\xbx7f)\"\n"),
        QByteArray("[Other]\nx=a, \\100Variant(\\0\\0\\0\\xbx7f)\n[CS1x]\nMidi-IN=Virtual CS1x\n"),
        QByteArray("[CS1x]\r\nLongDelay=@Var\\\r\n  iant(\\0\\0\\0\\xbx7f)\r\n"),
        // Every other form Qt decodes: a date read with a length of its own,
        // a byte array, a rectangle; in a list, in quotes, escaped.
        QByteArray("[CS1x]\nMidi-IN=@DateTime(\\0\\0\\0\\t\\0\\x7f\\xff\\xff\\xff)\n"),
        QByteArray("[CS1x]\nMidi-IN=\\x40\\x44\\x61teTime(\\0\\0\\0\\t\\0\\x7f\\xff\\xff\\xff)\n"),
        QByteArray("[CS1x]\nMidi-OUT=@ByteArray(\\x1\\x2)\n"),
        QByteArray("[CS1x]\nMidi-OUT=a, \"@Rect(1 2 3 4)\"\n"),
        // Qt drops an unknown escape, and blanks after a closing quote.
        QByteArray("[CS1x]\nMidi-IN=\\z@Variant(\\0\\0\\0\\xbx7f)\n"),
        QByteArray("[CS1x]\nMidi-IN=\"\" @DateTime(\\0\\0\\0\\t\\0\\x7f\\xff\\xff\\xff)\n"),
    };
    for (const QByteArray& text : damaged) {
        QFile::remove(path());
        for (const QString& f : QDir(dir.path()).entryList({"*.bad*"}))
            QFile::remove(dir.filePath(f));
        {
            QFile f(path());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text);
        }
        SettingsStore store(path());
        EXPECT_TRUE(store.openProblem().contains("moved to")) << store.openProblem().toStdString();
        const Settings s = loadSettings(store, "/opt/knobwright");
        EXPECT_EQ(s.midiIn, "") << "nothing is read from such a file";
        EXPECT_TRUE(s.longDelay);
        QFile aside(path() + ".bad");
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), text) << "kept aside as it was";
        saveSettings(store, s);
        EXPECT_NO_THROW(store.sync());
    }

    // What Qt itself writes for this program's values passes: a leading @
    // doubled, non-ASCII letters escaped, a string holding a NUL character
    // spelled "@String(...)".
    QFile::remove(path());
    const std::string withNul("in\0x", 4);
    {
        QSettings raw(path(), QSettings::IniFormat);
        raw.beginGroup("CS1x");
        raw.setValue("Last-Dir", QString::fromUtf8("@home/j\xC3\xB6rg/Variant(1)"));
        raw.setValue("Midi-IN", QString::fromStdString(withNul));
        raw.setValue("PerfBank-Dir", QStringLiteral("/home/a,@Variant(1)"));  // quoted by Qt: one string
    }
    SettingsStore store(path());
    EXPECT_TRUE(store.openProblem().isEmpty()) << store.openProblem().toStdString();
    const Settings back = loadSettings(store, "/opt");
    EXPECT_EQ(back.lastDir, "@home/j\xC3\xB6rg/Variant(1)");
    EXPECT_EQ(back.midiIn, withNul);
    EXPECT_EQ(back.perfBankDir, "/home/a,@Variant(1)");
}
