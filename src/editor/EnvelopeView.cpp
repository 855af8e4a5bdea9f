#include "editor/EnvelopeView.h"

#include <QPainter>

namespace kw {

EnvelopeView::EnvelopeView(Kind kind, QSize designSize, std::function<std::vector<int>()> positions,
                           QWidget* parent)
    : QWidget(parent), kind_(kind), design_(designSize), positions_(std::move(positions))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(designSize.height());
}

envelope::Geometry EnvelopeView::geometry() const
{
    const std::vector<int> p = positions_();
    const int w = width(), h = height();
    if (kind_ == Kind::Adsr && p.size() >= 4)
        return envelope::adsr(w, h, p[0], p[1], p[2], p[3]);
    if (kind_ == Kind::Pitch && p.size() >= 6)
        return envelope::pitch(w, h, p[0], p[1], p[2], p[3], p[4], p[5]);
    return {};
}

void EnvelopeView::paintEvent(QPaintEvent*)
{
    // Logical pixels throughout: Qt maps them onto the device pixel ratio, and
    // without antialiasing the one-pixel lines stay sharp on HiDPI screens.
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const envelope::Geometry g = geometry();
    p.setPen(QPen(QColor(255, 0, 0), 1));
    for (int x : g.markers)
        p.drawLine(x, g.markerTop, x, g.markerBottom);
    p.setPen(QPen(QColor(0, 255, 0), 1));
    for (size_t i = 1; i < g.curve.size(); ++i)
        p.drawLine(g.curve[i - 1].x, g.curve[i - 1].y, g.curve[i].x, g.curve[i].y);
}

} // namespace kw
