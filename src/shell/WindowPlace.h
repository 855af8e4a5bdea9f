#pragma once
// Where the main window goes at start: where it stood when the program last
// ended, unless that place is off every screen there is now (a monitor
// unplugged, a smaller resolution).

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kw {

// `wanted` (the frame's top left) when enough of the title bar of a frame of
// `size` lies on one of the screens' `available` areas to grab it by, moved
// down or right onto that screen where it sticks out above or left of it;
// else the window centred on the first screen.
QPoint keptOnScreen(const QPoint& wanted, const QSize& size, const QList<QRect>& available);

// Where a tool window (the library, the MIDI monitor) of `size` opens beside
// the main window's frame `main`, all of it inside `available` (the main
// window's screen): shrunk to fit, right of the main window where there is
// room, else left of it, else against the screen's right edge.
QRect besideWithin(const QSize& size, const QRect& main, const QRect& available);

// The same for `tool` beside `main`, on the screen `main` is on.
void placeBeside(QWidget* tool, const QWidget* main);

} // namespace kw
