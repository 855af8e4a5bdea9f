#pragma once
// The program from start to exit: settings in, window and MIDI up, the
// device check, and on the way out settings back and ports closed.

#include "midi/MidiBackend.h"
#include "model/PerformanceImage.h"
#include "model/Settings.h"

#include <QString>

#include <filesystem>
#include <functional>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TMainWindow;

namespace kw {

class BankManager;
class BankModel;
class BulkCommands;
class LibraryCommands;
class LibraryKeeper;
class LibraryWindow;
class Dialogs;
class EditSession;
class Explorer;
class ExploreWindow;
class FileCommands;
class MidiCore;
class MidiMonitorWindow;
class MidiSession;
class QtDialogs;
class QtScheduler;
class Senders;
class SynthLink;
class Scheduler;
class QuitSignals;
class SettingsStore;
class TMessageWindow;
struct EditorContext;
struct CommandContext;

extern const char* const kApplicationTitle;

class Application {
public:
    struct Options {
        // INI file instead of the platform's settings store (tests, portable use).
        QString settingsFile;
        // Backends instead of every RtMidi API that works here plus the virtual CS1x.
        std::optional<std::vector<std::unique_ptr<MidiBackend>>> backends;
        // Where the built-in virtual CS1x keeps its memory; empty with
        // `volatileSynth` keeps it for this run only.
        bool volatileSynth = false;
        // Where every question and message goes instead of the program's own
        // dialogs (tests, scripted runs); it must outlive the application.
        Dialogs* dialogs = nullptr;
        // The performance library's file; empty: beside `settingsFile` when
        // that is set (a test's or a portable setup's), else the user's.
        std::filesystem::path libraryFile;
    };

    explicit Application(Options options);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Settings read, main window created, ports opened and greeted. False:
    // the machine has no MIDI device and the event loop must not run. From
    // here on SIGTERM, SIGINT and SIGHUP end the event loop.
    bool start();
    // All eleven settings written back, the virtual CS1x's memory saved, then
    // input and output closed.
    void finish();
    // start(), the event loop when there are devices, finish(); always 0.
    int run();

    TMainWindow& window() { return *window_; }
    TMessageWindow& messageWindow();
    Settings& settings() { return settings_; }
    MidiSession& midi() { return *midi_; }
    MidiCore& core() { return *core_; }
    Senders& senders() { return *senders_; }
    PerformanceImage& image() { return image_; }
    EditorState& state() { return state_; }
    EditSession& session() { return *session_; }
    BankManager& bankManager() { return *bankManager_; }
    SynthLink& link() { return *link_; }
    // View › MIDI monitor, made when first opened; null before.
    MidiMonitorWindow* midiMonitor() { return monitor_; }
    // View › Library, made when first opened; null before.
    LibraryWindow* libraryWindow() { return libraryWindow_; }
    // Mutate, morph and breed on the edit (Tools › Mutate, View › Explore).
    Explorer& explorer() { return *explorer_; }
    // View › Explore, made when first opened; null before.
    ExploreWindow* exploreWindow() { return exploreWindow_; }
    LibraryKeeper& keeper() { return *keeper_; }
    LibraryCommands& libraryCommands() { return *libraryCommands_; }
    // Where the performance library is kept.
    std::filesystem::path libraryPath() const;
    Scheduler& scheduler();

    // Asked as the window closes (File › Exit, its close button): a transfer
    // that writes to the synth or the disk is stopped after the performance
    // in flight, if the user agrees, and the window closes once it has.
    bool mayQuit();
    // SIGTERM, SIGINT, SIGHUP: the same without asking, then the event loop ends.
    void quitBySignal();

private:
    void report(const QString& text);
    // Where the window stood at the end of the last run, kept on a screen.
    void placeWindow();
    // The File and Bulk-Dump commands onto the window's menu items and buttons.
    void connectCommands();
    // A chain other than a fetch runs or waits its turn.
    bool transferRunning() const;
    // Lets the running chain stop where a Cancel would (a whole performance
    // at most), then waits the transfer pause so the last message leaves
    // the port, then `done`. Never longer than kQuitWaitMs in all.
    void quitAfterTransfer(std::function<void()> done);
    void watchWrapUp(int polls);
    // What went wrong as the program last ended, on the status line until
    // the user's first action.
    void tellExitProblems();

    Options options_;
    std::unique_ptr<QuitSignals> quitSignals_;
    Settings settings_;
    PerformanceImage image_;
    EditorState state_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<QtScheduler> sched_;
    std::unique_ptr<MidiSession> midi_;
    std::unique_ptr<Senders> senders_;
    std::unique_ptr<QtDialogs> qtDialogs_;
    Dialogs* dialogs_ = nullptr;
    std::unique_ptr<EditSession> session_;
    std::unique_ptr<EditorContext> ctx_;
    std::unique_ptr<TMainWindow> window_;
    std::unique_ptr<MidiCore> core_;
    std::unique_ptr<CommandContext> commandContext_;
    std::unique_ptr<FileCommands> fileCommands_;
    std::unique_ptr<BulkCommands> bulkCommands_;
    // The bank manager's slots, kept for the whole run.
    std::unique_ptr<BankModel> bank_;
    std::unique_ptr<BankManager> bankManager_;
    // Quitting: once the transfer has wrapped up, the window closes unasked.
    bool quitting_ = false;
    // finish() has begun: reports go to standard error and the next start.
    bool exiting_ = false;
    std::vector<std::string> startReports_;
    bool wrappingUp_ = false;
    std::function<void()> afterWrapUp_;
    // Watches the chosen ports, and looks for the synth when none are.
    std::unique_ptr<SynthLink> link_;
    // A window of its own, owned by the main window.
    MidiMonitorWindow* monitor_ = nullptr;
    std::unique_ptr<LibraryKeeper> keeper_;
    std::unique_ptr<LibraryCommands> libraryCommands_;
    LibraryWindow* libraryWindow_ = nullptr;
    std::unique_ptr<Explorer> explorer_;
    ExploreWindow* exploreWindow_ = nullptr;
};

// Asked when the window closes while a transfer runs.
inline constexpr const char* kQuitDuringTransferQuestion =
    "A transfer is running. Stop it after the performance in flight and quit?";

} // namespace kw
