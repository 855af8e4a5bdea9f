#include "editor/Pictures.h"

#include <QPainterPath>

namespace kw {

namespace {
const QColor kLime(0, 255, 0);
} // namespace

void paintWave(QPainter& p, const QRect& r, int kind)
{
    p.fillRect(r, Qt::black);
    p.setPen(QPen(kLime, 1.5));
    const double l = r.left() + 3, w = r.width() - 6, t = r.top() + 3, h = r.height() - 6;
    QPainterPath path;
    if (kind == 0) {  // sawtooth
        path.moveTo(l, t + h);
        path.lineTo(l + w / 2, t);
        path.lineTo(l + w / 2, t + h);
        path.lineTo(l + w, t);
        path.lineTo(l + w, t + h);
    } else if (kind == 1) {  // triangle
        path.moveTo(l, t + h / 2);
        path.lineTo(l + w / 4, t);
        path.lineTo(l + 3 * w / 4, t + h);
        path.lineTo(l + w, t + h / 2);
    } else {  // sample and hold
        const double lv[] = {0.3, 0.9, 0.1, 0.6, 0.2};
        path.moveTo(l, t + h * lv[0]);
        for (int i = 0; i < 5; ++i) {
            path.lineTo(l + w * i / 5, t + h * lv[i]);
            path.lineTo(l + w * (i + 1) / 5, t + h * lv[i]);
        }
    }
    p.drawPath(path);
}

void paintSynth(QPainter& p, const QRect& r)
{
    const QRectF body = QRectF(r).adjusted(2, 6, -2, -6);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(70, 74, 82));
    p.drawRoundedRect(body, 4, 4);
    const QRectF panel(body.left() + 4, body.top() + 4, body.width() - 8, body.height() * 0.42);
    p.setBrush(QColor(25, 25, 30));
    p.drawRoundedRect(panel, 2, 2);
    p.setBrush(QColor(200, 200, 205));
    for (int i = 0; i < 6; ++i) {
        const double cx = panel.left() + panel.width() * (i + 0.5) / 6.0;
        p.drawEllipse(QPointF(cx, panel.center().y()), 4.5, 4.5);
        p.setPen(QPen(QColor(255, 120, 0), 1.2));
        p.drawLine(QPointF(cx, panel.center().y()), QPointF(cx + 3, panel.center().y() - 3));
        p.setPen(QPen(QColor(40, 40, 40), 1));
    }
    const QRectF keys(body.left() + 4, panel.bottom() + 4, body.width() - 8, body.bottom() - panel.bottom() - 8);
    const int white = 14;
    p.setBrush(Qt::white);
    for (int i = 0; i < white; ++i)
        p.drawRect(QRectF(keys.left() + keys.width() * i / white, keys.top(), keys.width() / white, keys.height()));
    p.setBrush(Qt::black);
    for (int i = 0; i < white - 1; ++i) {
        const int n = i % 7;
        if (n == 2 || n == 6)
            continue;
        const double x = keys.left() + keys.width() * (i + 1) / white - keys.width() / white * 0.3;
        p.drawRect(QRectF(x, keys.top(), keys.width() / white * 0.6, keys.height() * 0.6));
    }
}

} // namespace kw
