#include "shell/Settings.h"

namespace kw {

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Orsk Inc."), QStringLiteral("Knobwright")))
{
    settings_->beginGroup(QStringLiteral("CS1x"));
}

SettingsStore::SettingsStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
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
    settings_->setValue(QString::fromLatin1(name), text);
    settings_->sync();
    if (settings_->status() != QSettings::NoError)
        throw SettingsError(std::string("Failed to set data for '") + name + "'");
}

void SettingsStore::writeFlag(const char* name, bool on)
{
    writeText(name, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsStore::sync() { settings_->sync(); }

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
}

} // namespace kw
