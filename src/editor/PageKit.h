#pragma once
// The looks shared by the pages: captioned vertical bars with their value
// labels (the plain look of the knobs and effects pages, the small bold look
// of the level pages), group boxes, list boxes and how a list is set.

#include "model/FieldTable.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QGridLayout;
class QGroupBox;
class QPushButton;
class QLabel;
class QListWidget;
class QSlider;
class QWidget;

namespace kw::pagekit {

// Minimum at the top, a tick per step, a page a sixteenth of the range.
QSlider* verticalBar(const QString& name, int min, int max, QWidget* parent);

// Caption above, bar in the middle, value label (`Label_` + name) below.
struct Column {
    QWidget* widget = nullptr;
    QLabel* caption = nullptr;
    QSlider* bar = nullptr;
    QLabel* value = nullptr;
};
// The plain look of the knobs, controller and effects bars, in a column of
// `width` pixels.
Column column(const QString& name, const QString& caption, int min, int max, int width, QWidget* parent,
              const QString& hint = {});

// The look of the level pages ("Common", "Layer Voice", "Layer EG's / LFO"):
// a small bold caption whose words stack rather than widen the column, a bar
// of at least `length` pixels and a value label for three digits (seven for
// the detune's hertz).
Column levelColumn(const FieldRow& row, const QString& caption, int length);
// The parts of that look, for the groups that arrange them otherwise.
QLabel* levelCaption(const QString& text);
QSlider* levelBar(const char* name, Qt::Orientation orientation, int min, int max);
QLabel* levelValueLabel(const char* control, int minChars);

// Gives a value label a fixed size that holds the widest of `texts` (and
// whatever minimum width it was made with) in its own font, so a new value
// never moves anything on the window and never clips.
void fixValueLabel(QLabel* label, const std::vector<std::string>& texts);
// Every text the value label of a bar bound to `row` shows over the range
// min..max, in the user's decimal separator.
std::vector<std::string> labelTexts(const FieldRow& row, int min, int max);
// Captions over bars that stand side by side get one height, the most any of
// them needs at its width: equal values then sit at equal heights.
void equalHeights(const std::vector<QLabel*>& captions);
// The height a word-wrapped caption needs at its own (maximum) width.
int captionHeight(const QLabel* caption);

QGroupBox* group(const char* name, const QString& title);
// A push button of a window's own with its name and tool-tip; Return in the
// window does not press it.
QPushButton* button(const char* name, const char* text, const char* hint, QWidget* parent);
// The grid of a level page: 6 pixels of margin and spacing.
QGridLayout* pageGrid(QWidget* page);

// The row named `control`; a missing row is a programming error caught at start.
const FieldRow& row(const char* control);

// Calls `handler(row)` whenever the user picks an entry: every click (also
// on the entry already selected), Return, and every move of the arrow keys,
// which audition as they go. Entries made current by the program or by Qt
// itself (the first entry, when the list takes the focus) never reach it.
void onChoice(QListWidget* list, std::function<void(int)> handler);
// Selects entry `index` and scrolls it to the top; an index outside the
// list shows no selection. Runs no handler.
void selectAtTop(QListWidget* list, int index);
QListWidget* listBox(const QString& name, const char* const* items, int count, QWidget* parent,
                     const QString& hint = {});

// The user's decimal separator, for the labels that follow the locale.
std::string decimalSeparator();

} // namespace kw::pagekit
