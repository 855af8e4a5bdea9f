#pragma once
// Page "Common" (`TabSheet5`): the performance's name, category and volume,
// portamento and pitch bend, the arpeggiator and the controller depths.

#include "editor/EditorContext.h"

#include <QString>
#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;

namespace kw {

class ArpeggiatorBox;
class MWheelBox;
class FootControlBox;

class CommonPage : public QWidget {
    Q_OBJECT
public:
    explicit CommonPage(EditorContext& ctx, QWidget* parent = nullptr);

    // `Label_PerfName` for line `line` of the user-performance list (-1: none).
    void showProgram(int line);

    // Every change of the text by the user, and the user leaving the box
    // for another control of the window (a click, Tab) or pressing Return.
    void PerformanceNameChange();
    // The name box, which a page switch must not drop the focus into.
    QLineEdit* nameBox() const { return perfName_; }

private:
    EditorContext& ctx_;
    QLineEdit* perfName_ = nullptr;
    QLabel* perfNumber_ = nullptr;
    // The text last sent or shown from the image: a keystroke the box
    // refused leaves it as it was and sends nothing.
    QString lastName_;
};

} // namespace kw
