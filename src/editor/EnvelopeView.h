#pragma once
// A small black picture of one envelope, drawn from its track bars.

#include "editor/EnvelopeGeometry.h"

#include <QWidget>

#include <functional>

namespace kw {

class EnvelopeView : public QWidget {
public:
    enum class Kind { Adsr, Pitch };
    // `positions` reads the current bar positions: four for Adsr (attack,
    // decay, sustain, release), six for Pitch (init level, attack time,
    // attack level, decay time, release time, release level).
    EnvelopeView(Kind kind, QSize designSize, std::function<std::vector<int>()> positions,
                 QWidget* parent = nullptr);

    // The lines as they would be drawn now, in this box's own pixels.
    envelope::Geometry geometry() const;
    QSize sizeHint() const override { return design_; }
    QSize minimumSizeHint() const override { return design_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Kind kind_;
    QSize design_;
    std::function<std::vector<int>()> positions_;
};

} // namespace kw
