#pragma once
// The MIDI monitor's lines: the last messages in and out in a ring of fixed
// size, shown as a table (time, direction, bytes, meaning). A message costs
// a copy into a batch; the batch becomes rows on a timer, one insertion per
// batch, and the meaning is worked out only for the rows a view shows.

#include "midi/MidiMeaning.h"
#include "midi/MidiPorts.h"
#include "midi/Scheduler.h"

#include <QAbstractTableModel>
#include <QFont>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kw {

class MidiMonitorModel : public QAbstractTableModel {
public:
    static constexpr int kCapacity = 10000;
    // How long messages gather before they become rows.
    static constexpr int kBatchMs = 100;
    enum Column { TimeColumn, DirectionColumn, BytesColumn, MeaningColumn, ColumnCount };
    enum class Filter { All, SysEx, Notes, Controllers };

    explicit MidiMonitorModel(Scheduler& sched, int capacity = kCapacity, QObject* parent = nullptr);

    // The performance a message's meaning is read with (a voice by its
    // bank, a variation parameter by the type): taken as the message is
    // recorded, so a line keeps saying what it said.
    void readContextFrom(const BlockSet* edit) { performance_ = edit; }
    // One message, with the time it is recorded; nothing while paused.
    void record(Direction d, ByteView message);
    // The messages recorded since the last batch become rows now.
    void flush();
    // Every line goes, and what waits for the next batch.
    void clear();
    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }
    void setFilter(Filter f);
    Filter filter() const { return filter_; }

    // "12:34:56.789  Out  F0 43 ...  Parameter change ...", tab-separated.
    QString rowText(int row) const;
    ByteView rowBytes(int row) const;
    // The SysEx messages of the rows shown, back to back (a .syx file).
    Bytes sysExShown() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Entry {
        int64_t msecs = 0;  // since the epoch, as a local time once in the ring
        Direction direction = Direction::In;
        MessageKind kind = MessageKind::Other;
        int16_t bankRow = -1, variationType = -1;  // MeaningContext
        Bytes bytes;
    };
    bool shown(const Entry& e) const;
    const Entry& at(int row) const { return ring_[size_t(visible_[size_t(row)] % capacity_)]; }
    QString cell(const Entry& e, int column) const;

    size_t capacity_;
    OneShot batch_;
    // Entries are reused, with their byte buffers: once the ring is full a
    // message costs no allocation.
    std::vector<Entry> pending_;
    size_t pendingCount_ = 0;
    std::vector<Entry> ring_;
    uint64_t firstSeq_ = 0, nextSeq_ = 0;  // the messages kept: [first, next)
    std::deque<uint64_t> visible_;          // those the filter lets through
    Filter filter_ = Filter::All;
    bool paused_ = false;
    QFont fixed_;
    const BlockSet* performance_ = nullptr;
    std::string decimalSeparator_;
};

} // namespace kw
