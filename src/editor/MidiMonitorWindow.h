#pragma once
// View › MIDI monitor: every message through the editor's two ports, in and
// out, with its time, bytes and meaning, while the window is open. Pause,
// a filter (SysEx, notes, controllers), clear, copy as text and save the
// SysEx shown as a .syx file. It keeps the last 10,000 messages, and a
// message costs it a copy; rows are made in batches (MidiMonitorModel).

#include "editor/MidiMonitorModel.h"

#include <QWidget>

class QComboBox;
class QPushButton;
class QTableView;

namespace kw {

class Dialogs;
class MidiPorts;
class Scheduler;
struct Settings;

class MidiMonitorWindow : public QWidget {
public:
    // A window of its own beside `parent`; saves ask through `dialogs` and
    // start in the settings' last folder.
    MidiMonitorWindow(MidiPorts& ports, Scheduler& sched, Dialogs& dialogs, const Settings& settings,
                      QWidget* parent = nullptr);
    ~MidiMonitorWindow() override;

    MidiMonitorModel& model() { return model_; }

    // The lines selected (all shown when none are) to the clipboard.
    void copyClick();
    // The SysEx messages shown into a .syx file the user names.
    void saveClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void listen(bool on);

    MidiPorts& ports_;
    Dialogs& dialogs_;
    const Settings& settings_;
    MidiMonitorModel model_;
    int tap_ = 0;
    bool atBottom_ = true;
    QTableView* list_;
    QPushButton* pause_;
    QComboBox* filter_;
};

inline constexpr const char* kMonitorNoSysExText = "The monitor shows no SysEx message to save.";

} // namespace kw
