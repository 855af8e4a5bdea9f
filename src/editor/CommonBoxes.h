#pragma once
// The groups of page "Common" that edit the arpeggiator and the depths of
// the modulation wheel and the foot controller.

#include "editor/EditorContext.h"

#include <QGroupBox>

#include <vector>

class QLabel;

namespace kw {

namespace pagekit { class Binding; }

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
    // The captions over the three bars, for lining them up with a neighbour's.
    const std::vector<QLabel*>& captions() const { return captions_; }

private:
    EditorContext& ctx_;
    std::vector<pagekit::Binding*> bars_;
    std::vector<QLabel*> captions_;
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
    EditorContext& ctx_;
    std::vector<pagekit::Binding*> all_;
};

} // namespace kw
