#pragma once
// The groups of page "Common" that edit the arpeggiator and the depths of
// the modulation wheel and the foot controller.

#include "editor/EditorContext.h"

#include <QGroupBox>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QSlider;

namespace kw {

namespace pagekit { class FieldBar; }

// A group of three controller depth bars, each bound to its field row.
class ControllerBox : public QGroupBox {
    Q_OBJECT
public:
    struct Bar {
        const char* control;
        const char* caption;
    };
    ControllerBox(EditorContext& ctx, const QString& title, const char* name, const std::array<Bar, 3>& bars,
                  QWidget* parent);
    // From the image; runs no handler and sends nothing.
    void refreshFromImage();

private:
    EditorContext& ctx_;
    std::array<pagekit::FieldBar*, 3> bars_{};
};

// " Mod-Wheel " (objectName `MWheel`): `MWLFOPMod`, `MWLFOFMod`, `MWFilterCtl`.
class MWheelBox : public ControllerBox {
    Q_OBJECT
public:
    MWheelBox(EditorContext& ctx, QWidget* parent = nullptr);
};

// " Foot-Controller " (objectName `FootControl`): `FCLFOFMod`, `FCFilterCtl`, `FCVariCtl`.
class FootControlBox : public ControllerBox {
    Q_OBJECT
public:
    FootControlBox(EditorContext& ctx, QWidget* parent = nullptr);
};

// " Arpeggiator " (objectName `Arpeggiator`): mode boxes, pattern, subdivision
// and tempo or MIDI clock.
class ArpeggiatorBox : public QGroupBox {
    Q_OBJECT
public:
    ArpeggiatorBox(EditorContext& ctx, QWidget* parent = nullptr);
    void refreshFromImage();

private:
    void arpeggioTypeClick(int row);
    void arpeggioSubdivChange(int index);
    void arpModeClick();
    void arpTempoChange();
    void arpTempoMidiClick();

    EditorContext& ctx_;
    QCheckBox* on_ = nullptr;
    QCheckBox* hold_ = nullptr;
    QCheckBox* split_ = nullptr;
    QListWidget* type_ = nullptr;
    QComboBox* subdiv_ = nullptr;
    QSlider* tempo_ = nullptr;
    QLabel* tempoLabel_ = nullptr;
    QCheckBox* midi_ = nullptr;
};

} // namespace kw
