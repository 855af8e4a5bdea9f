#include "editor/EnvelopeView.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

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
    // Drawn in device pixels: each box pixel maps to whole screen pixels and
    // every line is the same whole number of pixels wide, so the picture stays
    // sharp and even at fractional scale factors too.
    const qreal dpr = devicePixelRatioF();
    const int pen = std::max(1, qRound(dpr));
    QImage img(QSize(qRound(width() * dpr), qRound(height() * dpr)), QImage::Format_RGB32);
    img.fill(Qt::black);
    auto dev = [dpr](int v) { return qRound(v * dpr); };
    {
        QPainter p(&img);
        const envelope::Geometry g = geometry();
        p.setPen(QPen(QColor(255, 0, 0), pen, Qt::SolidLine, Qt::FlatCap));
        for (int x : g.markers)
            p.drawLine(dev(x), dev(g.markerTop), dev(x), dev(g.markerBottom));
        p.setPen(QPen(QColor(0, 255, 0), pen, Qt::SolidLine, Qt::SquareCap));
        for (size_t i = 1; i < g.curve.size(); ++i)
            p.drawLine(dev(g.curve[i - 1].x), dev(g.curve[i - 1].y), dev(g.curve[i].x), dev(g.curve[i].y));
    }
    img.setDevicePixelRatio(dpr);
    QPainter(this).drawImage(QPoint(0, 0), img);
}

} // namespace kw
