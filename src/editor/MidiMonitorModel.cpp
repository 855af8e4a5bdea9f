#include "editor/MidiMonitorModel.h"

#include "editor/PageKit.h"
#include "midi/HexText.h"

#include <QDateTime>
#include <QFontDatabase>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kw {

MidiMonitorModel::MidiMonitorModel(Scheduler& sched, int capacity, QObject* parent)
    : QAbstractTableModel(parent), capacity_(size_t(std::max(1, capacity))),
      batch_(sched, [this] { flush(); }), fixed_(QFontDatabase::systemFont(QFontDatabase::FixedFont)),
      decimalSeparator_(pagekit::decimalSeparator())
{
}

void MidiMonitorModel::record(Direction d, ByteView message)
{
    if (paused_ || message.empty())
        return;
    if (pendingCount_ == pending_.size())
        pending_.emplace_back();
    Entry& e = pending_[pendingCount_++];
    e.msecs = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::system_clock::now().time_since_epoch())
                  .count();
    e.direction = d;
    e.kind = messageKind(message);
    e.bytes.assign(message.begin(), message.end());
    MeaningContext c;
    if (performance_ && needsContext(message))
        c = meaningContext(message, *performance_);
    e.bankRow = int16_t(c.bankRow);
    e.variationType = int16_t(c.variationType);
    // A batch never holds more than the ring: an event loop held up for
    // long makes rows at once rather than gather without end.
    if (pendingCount_ >= capacity_)
        flush();
    else if (!batch_.active())
        batch_.start(kBatchMs);
}

bool MidiMonitorModel::shown(const Entry& e) const
{
    switch (filter_) {
    case Filter::All: return true;
    case Filter::SysEx: return e.kind == MessageKind::SysEx;
    case Filter::Notes: return e.kind == MessageKind::Note;
    case Filter::Controllers: return e.kind == MessageKind::Controller;
    }
    return true;
}

void MidiMonitorModel::flush()
{
    batch_.stop();
    const size_t n = std::exchange(pendingCount_, 0);
    if (n == 0)
        return;
    // The oldest lines make room first, as one removal.
    const uint64_t next = nextSeq_ + n;
    const uint64_t first = std::max(firstSeq_, next > capacity_ ? next - capacity_ : 0);
    if (first > firstSeq_) {
        size_t gone = 0;
        while (gone < visible_.size() && visible_[gone] < first)
            ++gone;
        if (gone) {
            beginRemoveRows({}, 0, int(gone) - 1);
            visible_.erase(visible_.begin(), visible_.begin() + std::ptrdiff_t(gone));
            endRemoveRows();
        }
        firstSeq_ = first;
    }
    if (ring_.size() < capacity_)
        ring_.resize(size_t(std::min<uint64_t>(capacity_, next)));
    size_t added = 0;
    for (size_t i = 0; i < n; ++i)
        added += shown(pending_[i]) ? 1 : 0;
    if (added)
        beginInsertRows({}, int(visible_.size()), int(visible_.size() + added) - 1);
    // Local time, the zone looked up once a batch rather than once a cell.
    const int64_t offset = int64_t(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
    for (size_t i = 0; i < n; ++i) {
        pending_[i].msecs += offset;
        const uint64_t seq = nextSeq_ + i;
        // The slot's old buffer goes back to the batch for the next message.
        std::swap(ring_[size_t(seq % capacity_)], pending_[i]);
        if (shown(ring_[size_t(seq % capacity_)]))
            visible_.push_back(seq);
    }
    nextSeq_ = next;
    if (added)
        endInsertRows();
}

void MidiMonitorModel::clear()
{
    beginResetModel();
    batch_.stop();
    pendingCount_ = 0;
    firstSeq_ = nextSeq_;
    visible_.clear();
    endResetModel();
}

void MidiMonitorModel::setFilter(Filter f)
{
    flush();
    beginResetModel();
    filter_ = f;
    visible_.clear();
    for (uint64_t seq = firstSeq_; seq < nextSeq_; ++seq)
        if (shown(ring_[size_t(seq % capacity_)]))
            visible_.push_back(seq);
    endResetModel();
}

QString MidiMonitorModel::cell(const Entry& e, int column) const
{
    switch (column) {
    case TimeColumn: {
        // By hand: the time zone was looked up once for the batch.
        const int64_t ms = e.msecs % 86400000;
        char text[24];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", int(ms / 3600000), int(ms / 60000 % 60),
                      int(ms / 1000 % 60), int(ms % 1000));
        return QString::fromLatin1(text);
    }
    case DirectionColumn: return e.direction == Direction::In ? QStringLiteral("In") : QStringLiteral("Out");
    case BytesColumn: return QString::fromStdString(hexText(e.bytes));
    case MeaningColumn:
        return QString::fromStdString(messageMeaning(e.bytes, {e.bankRow, e.variationType, decimalSeparator_}));
    default: return {};
    }
}

QString MidiMonitorModel::rowText(int row) const
{
    const Entry& e = at(row);
    QStringList cells;
    for (int c = 0; c < ColumnCount; ++c)
        cells << cell(e, c);
    return cells.join(QLatin1Char('\t'));
}

ByteView MidiMonitorModel::rowBytes(int row) const { return at(row).bytes; }

Bytes MidiMonitorModel::sysExShown() const
{
    Bytes out;
    for (uint64_t seq : visible_) {
        const Entry& e = ring_[size_t(seq % capacity_)];
        if (e.kind == MessageKind::SysEx)
            out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    return out;
}

int MidiMonitorModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(visible_.size());
}

int MidiMonitorModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant MidiMonitorModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return cell(at(index.row()), index.column());
    if (role == Qt::FontRole && index.column() == BytesColumn)
        return fixed_;
    return {};
}

QVariant MidiMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TimeColumn: return QStringLiteral("Time");
    case DirectionColumn: return QStringLiteral("Direction");
    case BytesColumn: return QStringLiteral("Bytes");
    case MeaningColumn: return QStringLiteral("Meaning");
    default: return {};
    }
}

} // namespace kw
