#pragma once
// Small pictures the editor draws itself: the LFO waveforms beside their
// radio buttons and the synth in the left column, each clickable.

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <functional>

namespace kw {

// A picture that acts like a button: the LFO waveforms and the synth.
class ClickPicture : public QWidget {
public:
    using Painter = std::function<void(QPainter&, const QRect&)>;
    ClickPicture(QSize size, Painter paint, QWidget* parent = nullptr)
        : QWidget(parent), size_(size), paint_(std::move(paint))
    {
        setCursor(Qt::PointingHandCursor);
        setFixedSize(size);
    }
    std::function<void()> onClick;
    QSize sizeHint() const override { return size_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        paint_(p, rect());
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && onClick)
            onClick();
    }

private:
    QSize size_;
    Painter paint_;
};

// Sawtooth (0), triangle (1) or sample and hold (2), lime on black.
void paintWave(QPainter& p, const QRect& r, int kind);
// A stylised desktop synth: dark panel with knobs over a keyboard.
void paintSynth(QPainter& p, const QRect& r);

} // namespace kw
