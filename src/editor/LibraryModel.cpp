#include "editor/LibraryModel.h"

#include "editor/QtText.h"
#include "model/NameTables.h"
#include "model/ValueLists.h"
#include "session/library/LibraryCommands.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

namespace kw {

namespace {

SortKey sortKey(int column)
{
    switch (column) {
    case LibraryModel::CategoryColumn: return SortKey::Category;
    case LibraryModel::FavouriteColumn: return SortKey::Favourite;
    case LibraryModel::RatingColumn: return SortKey::Rating;
    case LibraryModel::TagsColumn: return SortKey::Tags;
    case LibraryModel::WhereColumn: return SortKey::WhereFrom;
    case LibraryModel::FirstSeenColumn: return SortKey::FirstSeen;
    default: return SortKey::Name;
    }
}

QString stars(int rating)
{
    return rating <= 0 ? QString() : QString(rating, QChar(0x2605));
}

} // namespace

QString categoryText(int category)
{
    if (category < 0 || category >= kCategories)
        return QStringLiteral("?");
    return QString::fromLatin1(performanceTypeItems()[size_t(category)]).simplified();
}

LibraryModel::LibraryModel(LibraryCommands& commands, QObject* parent)
    : QAbstractTableModel(parent), commands_(commands)
{
}

bool LibraryModel::show(const std::string& text, const SearchFilter& filter)
{
    text_ = text;
    filter_ = filter;
    error_.clear();
    beginResetModel();
    pages_.clear();
    total_ = 0;
    pinnedOnly_ = 0;
    // The first page comes with the count: one look per keystroke.
    if (auto first = commands_.search(text, filter, 0, kPageRows)) {
        total_ = first->total;
        pinnedOnly_ = first->pinnedOnly;
        pages_.emplace(0, std::move(first->rows));
        lastPage_ = 0;
    } else {
        error_ = first.error().text;
    }
    endResetModel();
    return error_.empty();
}

int64_t LibraryModel::idAt(int row) const
{
    const LibraryRow* r = rowAt(row);
    return r ? r->id : 0;
}

int LibraryModel::rowOf(int64_t id) const
{
    for (const auto& [page, rows] : pages_)
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].id == id)
                return int(page * kPageRows + i);
    return -1;
}

const LibraryRow* LibraryModel::rowAt(int row) const
{
    if (row < 0 || size_t(row) >= total_)
        return nullptr;
    const size_t page = size_t(row) / kPageRows;
    auto it = pages_.find(page);
    if (it == pages_.end()) {
        if (pages_.size() >= kPagesKept) {
            // The page farthest from where the user looks goes.
            auto far = pages_.begin();
            auto last = std::prev(pages_.end());
            const auto distance = [page](size_t p) { return p > page ? p - page : page - p; };
            pages_.erase(distance(far->first) >= distance(last->first) ? far : last);
        }
        const size_t first = page * kPageRows;
        const size_t n = std::min<size_t>(kPageRows, total_ - first);
        auto found = commands_.search(text_, filter_, first, n);
        std::vector<LibraryRow> got = found ? std::move(found->rows) : std::vector<LibraryRow>{};
        // Entries another program removed meanwhile read as nothing until
        // the table is read anew.
        got.resize(n);
        it = pages_.emplace(page, std::move(got)).first;
    }
    lastPage_ = page;
    const LibraryRow& r = it->second[size_t(row) - page * kPageRows];
    return r.id ? &r : nullptr;
}

int LibraryModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(total_); }

int LibraryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant LibraryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const LibraryRow* r = rowAt(index.row());
    if (!r)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case NameColumn: return qs(r->name);
        case CategoryColumn: return categoryText(r->category);
        case FavouriteColumn: return r->favourite ? QStringLiteral("\u2665") : QString();
        case RatingColumn: return stars(r->rating);
        case TagsColumn: {
            QStringList tags;
            for (const std::string& t : r->tags)
                tags << qs(t);
            return tags.join(QStringLiteral(", "));
        }
        case WhereColumn:
            return r->sightings > 1 ? qs(r->whereFrom) + QStringLiteral(" (+%1)").arg(r->sightings - 1)
                                    : qs(r->whereFrom);
        case FirstSeenColumn: return qs(dateText(r->firstSeen));
        }
    }
    if (role == Qt::ToolTipRole) {
        QString tip = qs(r->name);
        if (!r->twinOf.empty())
            tip += QStringLiteral("\nSame sound as ") + qs(r->twinOf);
        if (!r->notes.empty())
            tip += QStringLiteral("\n") + qs(r->notes);
        return tip;
    }
    if (role == Qt::AccessibleTextRole && index.column() == FavouriteColumn)
        return r->favourite ? QStringLiteral("favourite") : QStringLiteral("not a favourite");
    if (role == Qt::AccessibleTextRole && index.column() == RatingColumn)
        return QStringLiteral("%1 of 5").arg(r->rating);
    return {};
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = {"Name", "Category", "Favourite", "Rating", "Tags", "Where from", "First seen"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

Qt::ItemFlags LibraryModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid())
        return f;
    f |= Qt::ItemIsDragEnabled;
    if (index.column() == NameColumn && commands_.writable())
        f |= Qt::ItemIsEditable;
    return f;
}

bool LibraryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != NameColumn || !renamed)
        return false;
    const std::string name = utf8(value.toString().simplified());
    if (name.empty())
        return false;
    renamed(idAt(index.row()), name);
    return true;
}

QStringList LibraryModel::mimeTypes() const { return {QString::fromLatin1(kMimeType)}; }

QMimeData* LibraryModel::mimeData(const QModelIndexList& indexes) const
{
    std::vector<int> rows;
    for (const QModelIndex& i : indexes)
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    for (int row : rows)
        out << qint64(idAt(row));
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kMimeType), bytes);
    return mime;
}

void LibraryModel::sort(int column, Qt::SortOrder order)
{
    SearchFilter f = filter_;
    f.sort = sortKey(column);
    f.descending = order == Qt::DescendingOrder;
    show(text_, f);
}

std::vector<int64_t> libraryIds(const QMimeData* mime)
{
    std::vector<int64_t> ids;
    if (!mime || !mime->hasFormat(QString::fromLatin1(LibraryModel::kMimeType)))
        return ids;
    QByteArray bytes = mime->data(QString::fromLatin1(LibraryModel::kMimeType));
    QDataStream in(&bytes, QIODevice::ReadOnly);
    while (!in.atEnd()) {
        qint64 id = 0;
        in >> id;
        if (in.status() != QDataStream::Ok)
            break;
        ids.push_back(id);
    }
    return ids;
}

} // namespace kw
