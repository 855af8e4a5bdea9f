#pragma once
// The library window's table over the performance library: how many match
// the search, and the rows themselves only as they are shown, a page at a
// time (the library keeps the order of the last search), so 100,000 entries
// cost a few pages.

#include "store/Store.h"

#include <QAbstractTableModel>

#include <functional>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kw {

class LibraryCommands;

class LibraryModel : public QAbstractTableModel {
public:
    enum Column { NameColumn, CategoryColumn, FavouriteColumn, RatingColumn, TagsColumn, WhereColumn, FirstSeenColumn,
                  ColumnCount };
    // Rows read from the library at once.
    static constexpr int kPageRows = 200;
    // Pages kept; the farthest from the last one asked for goes first.
    static constexpr size_t kPagesKept = 8;
    // The ids of the rows moved in a drag.
    static constexpr const char* kMimeType = "application/x-knobwright-library-ids";

    // The rows are read through `commands`; no library: an empty table.
    explicit LibraryModel(LibraryCommands& commands, QObject* parent = nullptr);

    // What the table shows: entries matching all words of `text`, filtered
    // and sorted. False (and the table empty) when the library failed;
    // error() says why.
    bool show(const std::string& text, const SearchFilter& filter);
    // The same search again: the library changed.
    bool reload() { return show(text_, filter_); }
    const std::string& error() const { return error_; }
    size_t total() const { return total_; }
    // Of total(): rows shown only because the filter pins them.
    size_t pinnedOnly() const { return pinnedOnly_; }
    // The entry of `row` (its page read now if it is not kept), or 0.
    int64_t idAt(int row) const;
    // The row showing `id` among the pages kept, or -1.
    int rowOf(int64_t id) const;
    // The row as read from the library (read now if its page is not kept).
    const LibraryRow* rowAt(int row) const;
    size_t pagesKept() const { return pages_.size(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    void sort(int column, Qt::SortOrder order) override;

    // Called for a name typed into the table: the window records it.
    std::function<void(int64_t id, const std::string& name)> renamed;

private:
    LibraryCommands& commands_;
    std::string text_;
    SearchFilter filter_;
    std::string error_;
    size_t total_ = 0;
    size_t pinnedOnly_ = 0;
    mutable std::map<size_t, std::vector<LibraryRow>> pages_;
    mutable size_t lastPage_ = 0;
};

// The ids a drag from the library carries, in order.
std::vector<int64_t> libraryIds(const QMimeData* mime);
// "PF Piano": a category's name as the lists show it.
QString categoryText(int category);

} // namespace kw
