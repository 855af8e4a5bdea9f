#pragma once
// The synth's 128 user memories as the library knows them, beside the
// library's table: which entry each holds, how the library knows it, and
// where that may no longer hold. "Fetch to check" reads the chosen memories
// again. The rows are read through the library's commands; the view keeps
// nothing of its own.

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kw {

class LibraryCommands;

class SynthMemoryView : public QWidget {
public:
    explicit SynthMemoryView(LibraryCommands& commands, QWidget* parent = nullptr);

    // The rows read anew.
    void refresh();
    // Reads the selected memories (all of them when none is selected).
    void fetchClick();

private:
    LibraryCommands& commands_;
    QTableWidget* table_;
    QPushButton* fetch_;
    QLabel* summary_;
};

} // namespace kw
