#pragma once
// The settings dialog: MIDI devices, the search for the synth, and the
// switches.

#include "model/Settings.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kw {

class MidiPorts;
class Scheduler;
class Senders;
class SynthSearch;

class TMidiWindow : public QDialog {
    Q_OBJECT
public:
    TMidiWindow(MidiPorts& ports, Settings& settings, Senders& senders, Scheduler& sched, QWidget* parent = nullptr);
    ~TMidiWindow() override;

    // How the dialog tells the user something (a message box unless replaced).
    void setMessageBox(std::function<void(const QString&)> fn) { messageBox_ = std::move(fn); }

    void FormCreate();
    void MidiDeviceOKClick();
    void MidiDeviceCancelClick();
    // "Find CS1x": asks every output, listens on every input, and selects
    // the pair a CS1x answers on; OK then uses it.
    void FindCS1xClick();
    bool searching() const;

protected:
    void done(int result) override;

private:
    void applyFlags();
    // The device lists read anew, the rows named `in` and `out` selected.
    void fillLists(const std::string& in, const std::string& out);

    MidiPorts& ports_;
    Settings& settings_;
    Senders& senders_;
    std::unique_ptr<SynthSearch> search_;
    std::function<void(const QString&)> messageBox_;

    QListWidget* ListMidiInDevice;
    QListWidget* ListMidiOutDevice;
    QPushButton* FindCS1x;
    QLabel* FindStatus;
    QCheckBox* CheckFetchOnFind;
    QCheckBox* CheckKeepInLibrary;
    QCheckBox* CheckNoticeKnobs;
    QCheckBox* CheckNoticePgm;
    QCheckBox* CheckShowHints;
    QCheckBox* CheckDelay;
    QLabel* DriverNote;
};

} // namespace kw
