#include "shell/WindowPlace.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace kw {

namespace {
// How much of the title bar must show to drag the window back.
constexpr int kTitleHeight = 24;
constexpr int kGrip = 80;
} // namespace

QPoint keptOnScreen(const QPoint& wanted, const QSize& size, const QList<QRect>& available)
{
    if (available.isEmpty())
        return wanted;
    for (const QRect& screen : available) {
        const QRect title = QRect(wanted, QSize(size.width(), kTitleHeight)).intersected(screen);
        if (title.width() >= std::min(kGrip, size.width()) && title.height() >= kTitleHeight / 2)
            return {std::max(wanted.x(), screen.left()), std::max(wanted.y(), screen.top())};
    }
    const QRect first = available.first();
    return {first.left() + std::max(0, (first.width() - size.width()) / 2),
            first.top() + std::max(0, (first.height() - size.height()) / 2)};
}

QRect besideWithin(const QSize& size, const QRect& main, const QRect& available)
{
    const int w = std::min(size.width(), available.width()), h = std::min(size.height(), available.height());
    const int y = std::clamp(main.top(), available.top(), available.bottom() + 1 - h);
    if (main.right() + 1 + w <= available.right() + 1)
        return {main.right() + 1, y, w, h};
    if (main.left() - w >= available.left())
        return {main.left() - w, y, w, h};
    return {available.right() + 1 - w, y, w, h};
}

void placeBeside(QWidget* tool, const QWidget* main)
{
    const QScreen* screen = main && main->screen() ? main->screen() : tool->screen();
    if (!screen)
        return;
    // The frame's margins are known only once shown; the client area is
    // placed, which keeps the title bar on the screen too.
    const QRect main0 = main ? main->frameGeometry() : QRect(screen->availableGeometry().topLeft(), QSize(0, 0));
    const QRect r = besideWithin(tool->size(), main0, screen->availableGeometry());
    tool->resize(r.size());
    tool->move(r.topLeft());
}

} // namespace kw
