#pragma once
// The strip under the pages: the status line `StatusLabel` and the MIDI
// monitor `GroupMidiInOut` with its IN and OUT lamps.

#include "midi/Ui.h"

#include <QFrame>

class QLabel;

namespace kw {

class LampFrame;
class StatusLine;

class StatusPanel : public QFrame {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);
    void setText(const QString& text);
    void setLamp(Lamp lamp, bool bright);
    // Whether the lamp's port is open, none is, or it was lost; `port` names
    // it in the lamp's tool-tip.
    void setLampState(Lamp lamp, LampState state, const QString& port);

private:
    StatusLine* status_ = nullptr;
    LampFrame* lampIn_ = nullptr;
    LampFrame* lampOut_ = nullptr;
};

} // namespace kw
