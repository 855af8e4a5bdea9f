#pragma once
// Page "Common" (`TabSheet5`): the performance's name, category and volume,
// portamento and pitch bend, the arpeggiator and the controller depths.

#include "editor/EditorContext.h"

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

    // Every change of the text, and leaving the box.
    void PerformanceNameChange();

private:
    EditorContext& ctx_;
    QLineEdit* perfName_ = nullptr;
    QLabel* perfNumber_ = nullptr;
};

} // namespace kw
