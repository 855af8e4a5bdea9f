#pragma once
// The editor's own looks, set once: the level bars (a thin groove filled
// blue below a small handle), the value labels (lime on black), the black
// lists, the status line and the bold group titles. No style sheets: they
// put every paint of every control through a slower path.
//
// The bars and value labels paint every pixel of themselves, so when a value
// changes only they repaint, never the group, page and window behind them.

#include <QLabel>
#include <QPixmap>
#include <QSlider>

#include <functional>

class QAbstractItemView;
class QGroupBox;

namespace kw::looks {

// A track bar. Vertical ones draw in the level-bar look; horizontal ones keep
// the application's style. Both keep a picture of what lies behind them.
// The wheel moves a bar only while it has the keyboard focus (clicked or
// tabbed into): scrolling past one must not edit the performance.
class Bar : public QSlider {
public:
    explicit Bar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    // What the window paints behind the bar, taken from its parents once and
    // again only when the bar moves or changes size.
    void takeBackground(QPoint at);

    QPixmap background_;
    QPoint backgroundAt_;
};

// A value label: `Label_` + its control's name, lime bold text on black in a
// dark frame. Give it a fixed size (see pagekit::fixValueLabel): then a new
// value repaints the label and nothing else.
class ValueLabel : public QLabel {
public:
    // One pixel of frame all round, two more of room at the sides.
    static constexpr int kMarginX = 3, kMarginY = 1;

    explicit ValueLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};

// A control that takes the wheel only while it has the keyboard focus, as
// the bars do; otherwise the wheel goes to what lies behind it.
void wheelOnlyWhenFocused(QWidget* control);

// Lime bold text on black, a green bar over the selected line, and a frame
// in the desktop's highlight colour while the list has the keyboard focus.
void blackList(QAbstractItemView* list);
// The status line: yellow bold text on black.
void statusLine(QLabel* label);
// Every group box under `root` gets a bold title; what is inside keeps its font.
void boldGroupTitles(QWidget* root);

// The colours the editor fixes for text (blue layer captions, navy headings)
// were chosen for a light window. On a dark one they are lightened until
// they read as well as text must (a WCAG contrast of 4.5:1), and again
// whenever the desktop's palette changes; on a light one they stay as they are.
inline constexpr double kTextContrast = 4.5;
// The WCAG contrast ratio of two colours, 1 to 21.
double contrast(const QColor& a, const QColor& b);
// `wanted` if it reads on `background`; else the first colour on the way
// from it toward white (on dark backgrounds) or black that does.
QColor readable(const QColor& wanted, const QColor& background);
// The text of `w` (a label, a check or radio button) in `colour`, made
// readable on the window's background.
void fixedTextColour(QWidget* w, const QColor& colour);
// The title of `group` (and only the title) in `colour`, made readable.
void titleColour(QGroupBox* group, const QColor& colour);
// Runs `changed` whenever the palette `w` is drawn with changes (the
// desktop switched to a dark theme, say).
void onPaletteChange(QWidget* w, std::function<void()> changed);

} // namespace kw::looks
