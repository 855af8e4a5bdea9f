#pragma once
// The settings dialog: MIDI devices and the four switches.

#include "model/Settings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;

namespace kw {

class MidiPorts;
class Senders;

class TMidiWindow : public QDialog {
    Q_OBJECT
public:
    TMidiWindow(MidiPorts& ports, Settings& settings, Senders& senders, QWidget* parent = nullptr);

    // How the dialog tells the user something (a message box unless replaced).
    void setMessageBox(std::function<void(const QString&)> fn) { messageBox_ = std::move(fn); }

    void FormCreate();
    void MidiDeviceOKClick();
    void MidiDeviceCancelClick();

private:
    void applyFlags();

    MidiPorts& ports_;
    Settings& settings_;
    Senders& senders_;
    std::function<void(const QString&)> messageBox_;

    QListWidget* ListMidiInDevice;
    QListWidget* ListMidiOutDevice;
    QCheckBox* CheckNoticeKnobs;
    QCheckBox* CheckNoticePgm;
    QCheckBox* CheckShowHints;
    QCheckBox* CheckDelay;
    QLabel* DriverNote;
};

} // namespace kw
