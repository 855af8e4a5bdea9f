#include "shell/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <utility>
#include <vector>

namespace kw {

namespace {

// The settings file QSettings would use for the native store, worked out
// without opening it (opening is reading).
QString nativeFile()
{
#ifdef Q_OS_WIN
    return {};
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Orsk Inc./Knobwright.conf");
#endif
}

// The values of an INI file cut into lines the way Qt's reader cuts them: a
// line ends at a line break or a semicolon outside quotes, a quote may run
// over line breaks, a backslash before a line break joins the next line, a
// line starting with ';' is a comment and one starting with '[' a section.
// `each` gets the text after the first '=' outside quotes.
template <class Fn>
void forEachIniValue(const QByteArray& data, Fn each)
{
    const qsizetype n = data.size();
    qsizetype pos = data.startsWith("\xef\xbb\xbf") ? 3 : 0;
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    while (pos < n) {
        while (pos < n && space(data[pos]))
            ++pos;
        if (pos >= n)
            break;
        const qsizetype start = pos;
        if (data[pos] == ';') {  // a comment to the end of the line
            while (pos < n && data[pos] != '\n' && data[pos] != '\r')
                ++pos;
            continue;
        }
        bool inQuotes = false;
        qsizetype equals = -1;
        qsizetype i = pos;
        for (; i < n; ++i) {
            const char c = data[i];
            if (c == '=' && !inQuotes && equals < 0)
                equals = i;
            else if ((c == '\n' || c == '\r' || c == ';') && !inQuotes)
                break;
            else if (c == '"')
                inQuotes = !inQuotes;
            else if (c == '\\' && i + 1 < n) {
                // The escaped character stays in the line, a line break of
                // two characters too.
                const char e = data[++i];
                if ((e == '\n' || e == '\r') && i + 1 < n && (data[i + 1] == '\n' || data[i + 1] == '\r') && data[i + 1] != e)
                    ++i;
            }
        }
        pos = i;
        if (data[start] != '[' && equals >= 0)
            each(data.mid(equals + 1, i - equals - 1));
        if (pos == start)
            ++pos;
    }
}

// The elements of one value (one, or several separated by commas outside
// quotes) with the file's escapes undone as Qt undoes them, as bytes: a
// character outside Latin-1 becomes 0x01, which is neither '@' nor a letter.
std::vector<QByteArray> iniElements(const QByteArray& value)
{
    static const char named[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'},  {'n', '\n'},   {'r', '\r'},  {'t', '\t'},
                                    {'v', '\v'}, {'"', '"'},  {'?', '?'},   {'\'', '\''}, {'\\', '\\'}};
    auto hexDigit = [](char h) {
        return h >= '0' && h <= '9' ? int(h - '0') : h >= 'a' && h <= 'f' ? int(h - 'a' + 10) : h >= 'A' && h <= 'F' ? int(h - 'A' + 10) : -1;
    };
    auto code = [](uint v) { return v <= 0xFF ? char(v) : char(0x01); };
    std::vector<QByteArray> out;
    QByteArray element;
    bool inQuotes = false;
    bool skipping = true;  // blanks at the start of an element, and after a closing quote, are dropped
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = value[i];
        if (skipping && (c == ' ' || c == '\t'))
            continue;
        skipping = false;
        if (c == '"') {
            inQuotes = !inQuotes;
            skipping = !inQuotes;
        } else if (c == ',' && !inQuotes) {
            out.push_back(element);
            element.clear();
            skipping = true;
        } else if (c != '\\') {
            element += c;
        } else if (++i < n) {
            const char e = value[i];
            bool done = false;
            for (const auto& m : named)
                if (e == m[0]) {
                    element += m[1];
                    done = true;
                    break;
                }
            if (done)
                continue;
            if (e == 'x') {
                if (i + 1 < n && hexDigit(value[i + 1]) >= 0) {
                    uint v = 0;
                    while (i + 1 < n && hexDigit(value[i + 1]) >= 0)
                        v = std::min<uint>(v * 16 + uint(hexDigit(value[++i])), 0x10000);
                    element += code(v);
                }
            } else if (e >= '0' && e <= '7') {
                uint v = uint(e - '0');
                while (i + 1 < n && value[i + 1] >= '0' && value[i + 1] <= '7')
                    v = std::min<uint>(v * 8 + uint(value[++i] - '0'), 0x10000);
                element += code(v);
            } else if ((e == '\n' || e == '\r') && i + 1 < n && (value[i + 1] == '\n' || value[i + 1] == '\r')
                       && value[i + 1] != e) {
                ++i;  // a line break of two characters
            }
            // Any other escaped character is dropped, as Qt drops it.
        }
    }
    out.push_back(element);
    return out;
}

// Whether the text holds a value Qt would decode as something other than a
// string: a value, or an element of a list, that starts with a single @ and
// a letter ("@Variant(", "@DateTime(", "@ByteArray(", "@Rect(", ...).
// This program writes strings only, so such a value comes from a damaged or
// foreign file; and Qt takes the sizes in serialized data on trust: a few
// wrong bytes make it try to allocate gigabytes as the file is read. "@@"
// is Qt's escape for a plain "@", and "@String(" its spelling of a string
// that holds a NUL character (it writes a port name like that itself).
bool holdsSerializedData(const QByteArray& raw)
{
    bool found = false;
    forEachIniValue(raw, [&](const QByteArray& value) {
        for (const QByteArray& e : iniElements(value)) {
            const char next = e.size() > 1 ? e[1] : '\0';
            if (e.startsWith('@') && ((next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z'))
                && !e.startsWith("@String("))
                found = true;
        }
    });
    return found;
}

// Settings are a few hundred bytes; a file larger than this is not ours.
constexpr qint64 kMaxSettingsBytes = 64 * 1024;

// Why the file at `path` must not reach Qt's reader, or nothing. It is
// looked at without ever waiting (a FIFO would block an open for reading)
// and read to the limit at most (a link to /dev/zero never ends).
std::optional<QString> refusal(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    if (!info.isFile())
        return QStringLiteral("is not a regular file");
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly))
        return std::nullopt;  // Qt says it cannot be read
    const QByteArray text = raw.read(kMaxSettingsBytes + 1);
    if (text.size() > kMaxSettingsBytes)
        return QStringLiteral("is larger than 64 KiB");
    if (holdsSerializedData(text))
        return QStringLiteral("holds data that is not text");
    return std::nullopt;
}

} // namespace

SettingsStore::SettingsStore()
    : make_([] {
          return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orsk Inc."),
                                             QStringLiteral("Knobwright"));
      }),
      file_(nativeFile())
{
    open();
}

SettingsStore::SettingsStore(const QString& iniPath)
    : make_([iniPath] { return std::make_unique<QSettings>(iniPath, QSettings::IniFormat); }), file_(iniPath)
{
    open();
}

bool SettingsStore::moveAside(const QString& file, QString* aside)
{
    *aside = file + QStringLiteral(".bad");
    for (int n = 2; QFile::exists(*aside); ++n)
        *aside = file + QStringLiteral(".bad.") + QString::number(n);
    return QFile::rename(file, *aside);
}

void SettingsStore::open()
{
    if (!file_.isEmpty()) {
        if (QFileInfo(file_).isDir()) {
            // Nothing to move aside or to read; writing fails and says so.
            problem_ = QStringLiteral("The settings file '%1' is a folder; the defaults are used and the settings "
                                      "cannot be saved.")
                           .arg(file_);
            make_ = [] { return std::make_unique<QSettings>(QString(), QSettings::IniFormat); };
            unwritable_ = true;
        } else if (const auto why = refusal(file_)) {
            // Qt must not read this file at all: it is kept aside as it is,
            // and the defaults are used.
            QString aside;
            if (moveAside(file_, &aside)) {
                problem_ = QStringLiteral("The settings file '%1' is damaged (it %2). It was moved to '%3'; the "
                                          "defaults are used.")
                               .arg(file_, *why, aside);
            } else {
                problem_ = QStringLiteral("The settings file '%1' is damaged (it %2) and cannot be moved aside; "
                                          "the defaults are used and the settings are not saved.")
                               .arg(file_, *why);
                // Nothing is read from it or written to it (writing reads it first).
                make_ = [] { return std::make_unique<QSettings>(QString(), QSettings::IniFormat); };
                unwritable_ = true;
            }
        }
    }
    settings_ = make_();
    // Qt reads a file's sections only when they are asked for; asking for
    // every key brings a damaged part to light now rather than at exit.
    settings_->allKeys();
    const QString file = settings_->fileName();
    switch (settings_->status()) {
    case QSettings::NoError: break;
    case QSettings::AccessError:
        problem_ = QStringLiteral("The settings in '%1' cannot be read; the defaults are used.").arg(file);
        break;
    case QSettings::FormatError: {
        // The damaged file is kept aside and read from there; at exit a
        // clean one is written in its place.
        QString aside;
        settings_.reset();
        if (moveAside(file, &aside)) {
            settings_ = std::make_unique<QSettings>(aside, QSettings::IniFormat);
            problem_ = QStringLiteral("The settings file '%1' is damaged. It was moved to '%2'; what could be read "
                                      "from it is used, the rest has its default value.")
                           .arg(file, aside);
        } else {
            settings_ = make_();
            problem_ = QStringLiteral("The settings file '%1' is damaged; what could be read from it is used, the "
                                      "rest has its default value.")
                           .arg(file);
        }
        break;
    }
    }
    settings_->beginGroup(QStringLiteral("CS1x"));
}

static std::optional<QString> readString(QSettings& s, const char* name)
{
    const QString key = QString::fromLatin1(name);
    if (!s.contains(key))
        return std::nullopt;
    const QVariant v = s.value(key);
    if (v.typeId() != QMetaType::QString)
        throw SettingsError(std::string("Invalid data type for '") + name + "'");
    return v.toString();
}

QString SettingsStore::readText(const char* name)
{
    return readString(*settings_, name).value_or(QString());
}

bool SettingsStore::readFlag(const char* name)
{
    const auto v = readString(*settings_, name);
    return flagFromText(v ? std::optional<std::string>(v->toStdString()) : std::nullopt);
}

void SettingsStore::writeText(const char* name, const QString& text)
{
    written_.emplace_back(QString::fromLatin1(name), text);
}

void SettingsStore::writeFlag(const char* name, bool on)
{
    writeText(name, on ? QStringLiteral("1") : QStringLiteral("0"));
}

std::optional<int> SettingsStore::readPlace(const char* name)
{
    settings_->endGroup();
    const QVariant v = settings_->value(QStringLiteral("Window/") + QString::fromLatin1(name));
    settings_->beginGroup(QStringLiteral("CS1x"));
    bool ok = false;
    const int n = v.typeId() == QMetaType::QString ? v.toString().toInt(&ok) : 0;
    return ok ? std::optional<int>(n) : std::nullopt;
}

void SettingsStore::writePlace(const char* name, int value)
{
    places_.emplace_back(QString::fromLatin1(name), QString::number(value));
}

void SettingsStore::sync()
{
    if (written_.empty())
        return;
    if (unwritable_) {
        const QString first = written_.front().first;
        written_.clear();
        throw SettingsError("Failed to set data for '" + first.toStdString() + "'");
    }
    // A writer of its own: Qt keeps the first trouble a settings object met
    // (a damaged file read at start, say), so only a fresh one tells whether
    // this write went through.
    const auto writer = make_();
    writer->beginGroup(QStringLiteral("CS1x"));
    for (const auto& [name, value] : written_)
        writer->setValue(name, value);
    writer->endGroup();
    writer->beginGroup(QStringLiteral("Window"));
    for (const auto& [name, value] : std::exchange(places_, {}))
        writer->setValue(name, value);
    writer->endGroup();
    writer->sync();
    const QString first = written_.front().first;
    written_.clear();
    if (writer->status() == QSettings::AccessError)
        throw SettingsError("Failed to set data for '" + first.toStdString() + "'");
}

Settings loadSettings(SettingsStore& store, const QString& programFolder,
                      const std::function<void(const QString&)>& onError, const QString& home)
{
    Settings s;
    std::string* texts[] = {&s.midiIn, &s.midiOut, &s.lastDir, &s.perfBankDir, &s.aktPerfList};
    bool* flags[] = {&s.showHints, &s.longDelay, &s.synthKnobs, &s.programChanges, &s.fetchWhenFound, &s.keepInLibrary};
    for (size_t i = 0; i < 5; ++i) {
        try {
            *texts[i] = store.readText(kTextSettingNames[i]).toStdString();
        } catch (const SettingsError& e) {
            if (onError)
                onError(QString::fromStdString(e.what()));
        }
    }
    // A file dialog in the folder of the program's binary (/usr/bin) is no
    // place to keep performances.
    const std::string homeFolder = QDir::toNativeSeparators(home.isEmpty() ? QDir::homePath() : home).toStdString();
    const std::string stale = QDir::toNativeSeparators(programFolder).toStdString();
    for (std::string* folder : {&s.lastDir, &s.perfBankDir})
        if (folder->empty() || *folder == stale)
            *folder = homeFolder;
    for (size_t i = 0; i < std::size(flags); ++i) {
        try {
            *flags[i] = store.readFlag(kFlagSettingNames[i]);
        } catch (const SettingsError& e) {
            if (onError)
                onError(QString::fromStdString(e.what()));
        }
    }
    return s;
}

void saveSettings(SettingsStore& store, const Settings& s)
{
    const std::string* texts[] = {&s.midiIn, &s.midiOut, &s.lastDir, &s.perfBankDir, &s.aktPerfList};
    const bool flags[] = {s.showHints, s.longDelay, s.synthKnobs, s.programChanges, s.fetchWhenFound, s.keepInLibrary};
    for (size_t i = 0; i < 5; ++i)
        store.writeText(kTextSettingNames[i], QString::fromStdString(*texts[i]));
    for (size_t i = 0; i < std::size(flags); ++i)
        store.writeFlag(kFlagSettingNames[i], flags[i]);
    // One write for all eleven: a large settings file is rewritten once, and a
    // failure cannot leave some of them written and the rest not.
    store.sync();
}

} // namespace kw
