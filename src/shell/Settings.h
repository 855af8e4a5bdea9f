#pragma once
// The per-user store behind the nine settings: the registry on Windows, the
// platform's configuration file elsewhere.

#include "model/Settings.h"

#include <QSettings>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

namespace kw {

class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SettingsStore {
public:
    // "Orsk Inc." / "Knobwright", group "CS1x", in the platform's native place.
    SettingsStore();
    // A store in an INI file of our choice (tests, portable installs).
    explicit SettingsStore(const QString& iniPath);

    // Missing: empty. Not a string: SettingsError("Invalid data type for '...'").
    QString readText(const char* name);
    // Missing or not a number: on.
    bool readFlag(const char* name);
    void writeText(const char* name, const QString& text);
    void writeFlag(const char* name, bool on);
    void sync();

    QSettings& backend() { return *settings_; }

private:
    std::unique_ptr<QSettings> settings_;
};

// Reads all nine in order; empty folders become `programFolder`. A value that
// cannot be read keeps its default and its error is passed to `onError`.
Settings loadSettings(SettingsStore& store, const QString& programFolder,
                      const std::function<void(const QString&)>& onError = {});
// Writes all nine, in order, changed or not.
void saveSettings(SettingsStore& store, const Settings& s);

} // namespace kw
