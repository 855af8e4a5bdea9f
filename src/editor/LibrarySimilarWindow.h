#pragma once
// What "Find similar" found: the kept performances nearest in sound to one,
// nearest first, with how far each lies. A double click plays one in the
// synth; Compare lists what differs between it and the one they are near to.

#include "session/library/LibraryCompare.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kw {

class LibraryCommands;

class LibrarySimilarWindow : public QWidget {
public:
    // How many the window lists.
    static constexpr size_t kShown = 50;

    LibrarySimilarWindow(LibraryCommands& commands, LibraryCompare& compare, QWidget* parent);

    // The entries nearest to `id`, named `label`; false when the library
    // could not say (which was said).
    bool showNear(int64_t id, const std::string& label);
    std::vector<int64_t> shownIds() const { return ids_; }

    // Compare asks the library window to show a comparison.
    std::function<void(int64_t from, int64_t to)> compareRequested;

private:
    int64_t selectedId() const;

    LibraryCommands& commands_;
    LibraryCompare& compare_;
    int64_t from_ = 0;
    std::vector<int64_t> ids_;
    QLabel* title_;
    QTreeWidget* list_;
    QPushButton* compareButton_;
};

} // namespace kw
