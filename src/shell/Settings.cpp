#include "shell/Settings.h"

#include <QFile>

namespace kw {

SettingsStore::SettingsStore()
    : make_([] {
          return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orsk Inc."),
                                             QStringLiteral("Knobwright"));
      })
{
    open();
}

SettingsStore::SettingsStore(const QString& iniPath)
    : make_([iniPath] { return std::make_unique<QSettings>(iniPath, QSettings::IniFormat); })
{
    open();
}

void SettingsStore::open()
{
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
        QString aside = file + QStringLiteral(".bad");
        for (int n = 2; QFile::exists(aside); ++n)
            aside = file + QStringLiteral(".bad.") + QString::number(n);
        settings_.reset();
        if (QFile::rename(file, aside)) {
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

void SettingsStore::sync()
{
    if (written_.empty())
        return;
    // A writer of its own: Qt keeps the first trouble a settings object met
    // (a damaged file read at start, say), so only a fresh one tells whether
    // this write went through.
    const auto writer = make_();
    writer->beginGroup(QStringLiteral("CS1x"));
    for (const auto& [name, value] : written_)
        writer->setValue(name, value);
    writer->sync();
    const QString first = written_.front().first;
    written_.clear();
    if (writer->status() == QSettings::AccessError)
        throw SettingsError("Failed to set data for '" + first.toStdString() + "'");
}

Settings loadSettings(SettingsStore& store, const QString& programFolder,
                      const std::function<void(const QString&)>& onError)
{
    Settings s;
    std::string* texts[] = {&s.midiIn, &s.midiOut, &s.lastDir, &s.perfBankDir, &s.aktPerfList};
    bool* flags[] = {&s.showHints, &s.longDelay, &s.synthKnobs, &s.programChanges};
    for (size_t i = 0; i < 5; ++i) {
        try {
            *texts[i] = store.readText(kTextSettingNames[i]).toStdString();
        } catch (const SettingsError& e) {
            if (onError)
                onError(QString::fromStdString(e.what()));
        }
    }
    if (s.lastDir.empty())
        s.lastDir = programFolder.toStdString();
    if (s.perfBankDir.empty())
        s.perfBankDir = programFolder.toStdString();
    for (size_t i = 0; i < 4; ++i) {
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
    const bool flags[] = {s.showHints, s.longDelay, s.synthKnobs, s.programChanges};
    for (size_t i = 0; i < 5; ++i)
        store.writeText(kTextSettingNames[i], QString::fromStdString(*texts[i]));
    for (size_t i = 0; i < 4; ++i)
        store.writeFlag(kFlagSettingNames[i], flags[i]);
    // One write for all nine: a large settings file is rewritten once, and a
    // failure cannot leave some of them written and the rest not.
    store.sync();
}

} // namespace kw
