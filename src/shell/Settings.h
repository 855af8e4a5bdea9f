#pragma once
// The per-user store behind the eleven settings: the registry on Windows, the
// platform's configuration file elsewhere.

#include "model/Settings.h"

#include <QSettings>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

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

    // Empty when the store could be read whole; otherwise what to tell the
    // user at start (a damaged file is moved aside first, and read there).
    const QString& openProblem() const { return problem_; }

    // Missing: empty. Not a string: SettingsError("Invalid data type for '...'").
    QString readText(const char* name);
    // Missing or not a number: on.
    bool readFlag(const char* name);
    // Set in memory; sync() writes everything set, in one go.
    void writeText(const char* name, const QString& text);
    void writeFlag(const char* name, bool on);
    // Where the window stood ("Left", "Top"), in a group of its own beside
    // the nine ("Window"); written by the next sync(). Missing or not a
    // whole number: nothing.
    std::optional<int> readPlace(const char* name);
    void writePlace(const char* name, int value);
    // Writes what was set since the last sync, in one go;
    // SettingsError("Failed to set data for '...'") when it did not reach the
    // store (the first of them is named: none of them arrived).
    void sync();

private:
    void open();
    // Moves a damaged file aside; false when it could not be moved.
    bool moveAside(const QString& file, QString* aside);

    // A new settings object on the store.
    std::function<std::unique_ptr<QSettings>()> make_;
    // The file behind it, where it is one (not the Windows registry).
    QString file_;
    std::unique_ptr<QSettings> settings_;
    std::vector<std::pair<QString, QString>> written_;
    std::vector<std::pair<QString, QString>> places_;
    QString problem_;
    // The file cannot be a settings file (a folder, or one that could not be
    // moved aside): every write fails.
    bool unwritable_ = false;
};

// Reads all eleven in order. A folder the user has not chosen is `home`: an
// empty one, and `programFolder`, which earlier versions offered (and wrote
// back) when nothing was chosen. A value that cannot be read keeps its
// default and its error is passed to `onError`.
Settings loadSettings(SettingsStore& store, const QString& programFolder,
                      const std::function<void(const QString&)>& onError = {}, const QString& home = {});
// Writes all eleven, in order, changed or not, in one write.
void saveSettings(SettingsStore& store, const Settings& s);

} // namespace kw
