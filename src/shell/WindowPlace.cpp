#include "shell/WindowPlace.h"

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

} // namespace kw
