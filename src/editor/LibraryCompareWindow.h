#pragma once
// What Compare found: every parameter that differs between two
// performances, one row each, named and valued as the editor's controls
// show them. A window of its own beside the library window, shown again
// (not stacked) for each comparison.

#include "session/library/LibraryCompare.h"

#include <QWidget>

#include <cstdint>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kw {

class LibraryCompareWindow : public QWidget {
public:
    LibraryCompareWindow(LibraryCompare& compare, QWidget* parent);

    // Shows `c`; `entry` is its left side, kept for "Compare with a file...".
    void showComparison(const Comparison& c, int64_t entry);
    void compareWithFile();

private:
    LibraryCompare& compare_;
    int64_t entry_ = 0;
    QLabel* title_;
    QTreeWidget* list_;
    QPushButton* withFile_;
};

} // namespace kw
