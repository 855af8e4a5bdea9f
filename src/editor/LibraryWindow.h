#pragma once
// View › Library: every performance the library keeps, found as one types,
// filtered by category and by where it came from, sorted by any column.
// Rows are tried in the synth (double click or Audition), made the edited
// performance (Open), sent into user memory, exported, deleted (and brought
// back by Undo), dragged onto the bank manager's slots or the main window,
// and their category, tags, favourite mark, rating and notes set for many
// at once. The changes and their Undo and Redo are the commands' own
// (LibraryEdits): the window asks for them and shows what came of them.

#include "session/library/LibraryCompare.h"
#include "session/library/LibraryEdits.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTabWidget;
class QTimer;

namespace kw {

class LibraryCommands;
class LibraryCompareWindow;
class LibraryModel;
class LibrarySimilarWindow;

class SynthMemoryView;

class LibraryWindow : public QWidget {
public:
    LibraryWindow(LibraryCommands& commands, QWidget* parent = nullptr);
    ~LibraryWindow() override;

    LibraryModel& model() { return *model_; }
    SynthMemoryView& memoryView() { return *memory_; }
    // The ids of the selected rows, in table order.
    std::vector<int64_t> selectedIds() const;
    // Selects the rows of these ids (those shown).
    void select(const std::vector<int64_t>& ids);

    // The search, the filters and the table read anew (the library changed).
    void reload();
    // The library changed: read anew shortly, once for a burst of changes.
    void libraryChanged();

    void auditionClick();
    void openClick();
    void sendClick();
    void exportClick();
    void deleteClick();
    void undoClick();
    void redoClick();
    // Compare: two selected rows with each other, one with the edited
    // performance (its window compares with a file too).
    void compareClick();
    // Find similar: the rows nearest in sound to the selected one.
    void similarClick();

    // What the edit strip sets for every selected row.
    void setCategory(int category);
    void setRating(int rating);
    void setFavourite(bool on);
    // The tags field's text, typed over what it showed (SharedFields).
    void setTags(const std::string& commaSeparated);
    void setNotes(const std::string& notes);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    SearchFilter filter() const;
    // The selected rows' numbers, ascending.
    std::vector<int> selectedRows() const;
    // Whether the search or a filter leaves rows out.
    bool narrowed() const;
    // The search or a filter changed: rows changed before are no longer
    // kept in view.
    void searchChanged();
    void fillSources();
    // `edit` on the selected rows, as one step of Undo.
    void editSelected(const RowEdit& edit);
    void rename(int64_t id, const std::string& name);
    // What a change, an undo or a redo came to: the table read anew (and
    // the library counted again when rows may have gone or come back) and
    // `select` chosen in it, or the problem said.
    void changed(const LibraryEdits::Outcome& outcome, std::vector<int64_t> select);
    // The Undo and Redo buttons name the steps they take.
    void showHistory(bool writable);
    void showSelection();
    void problem(const std::string& text);
    LibraryEdits& edits();

    LibraryCommands& commands_;
    LibraryModel* model_;
    QLineEdit* search_;
    QComboBox* category_;
    QComboBox* source_;
    QCheckBox* favourites_;
    QLabel* count_;
    QTableView* table_;
    QTabWidget* tabs_;
    SynthMemoryView* memory_;
    QPushButton* audition_;
    QPushButton* open_;
    QPushButton* send_;
    QPushButton* export_;
    QPushButton* delete_;
    QPushButton* undoButton_;
    QPushButton* redoButton_;
    QComboBox* editCategory_;
    QComboBox* editRating_;
    QCheckBox* editFavourite_;
    QLineEdit* editTags_;
    QLineEdit* editNotes_;
    QTimer* reloadSoon_;
    QPushButton* compare_;
    QPushButton* similar_;
    LibraryCompare comparer_;
    LibraryCompareWindow* compareWindow_ = nullptr;
    LibrarySimilarWindow* similarWindow_ = nullptr;
    // The imports the source filter lists, by their place in it.
    std::vector<int64_t> importIds_;
    bool filling_ = false;
    // Rows changed under the search now, shown until it changes even when
    // they no longer match it (ascending).
    std::vector<int64_t> pinned_;
    // What the edit strip shows of the selected rows.
    SharedFields shown_;
};

} // namespace kw
