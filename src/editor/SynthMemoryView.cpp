#include "editor/SynthMemoryView.h"

#include "editor/QtText.h"
#include "files/PerformanceRecord.h"
#include "session/library/LibraryCommands.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace kw {

namespace {
enum Column { NumberColumn, EntryColumn, StandingColumn, Columns };
}

SynthMemoryView::SynthMemoryView(LibraryCommands& commands, QWidget* parent) : QWidget(parent), commands_(commands)
{
    table_ = new QTableWidget(kUserPerformances, Columns, this);
    table_->setObjectName(QStringLiteral("SynthMemoryTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Performance"),
                                       QStringLiteral("How the library knows")});
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(NumberColumn, table_->fontMetrics().horizontalAdvance(QStringLiteral("No. 0000")));
    table_->setColumnWidth(EntryColumn, table_->fontMetrics().horizontalAdvance(QStringLiteral("MMMMMMMMMMMMMMMM")));

    fetch_ = new QPushButton(QStringLiteral("Fetch to check"), this);
    fetch_->setObjectName(QStringLiteral("SynthMemoryFetch"));
    fetch_->setToolTip(QStringLiteral("Reads the selected user performances (all of them when none is selected) "
                                      "into the library and says which changed"));
    connect(fetch_, &QPushButton::clicked, this, [this] { fetchClick(); });

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("SynthMemorySummary"));
    summary_->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fetch_);
    buttons->addWidget(summary_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    refresh();
}

void SynthMemoryView::refresh()
{
    const std::vector<MemoryRow> rows = commands_.memoryRows();
    int confirmed = 0, mayHaveChanged = 0;
    for (const MemoryRow& r : rows) {
        const int row = r.number;
        auto set = [&](int column, const std::string& text) {
            QTableWidgetItem* item = table_->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                table_->setItem(row, column, item);
            }
            item->setText(qs(text));
            // Only what the editor saw since it found the synth is sure.
            QFont f = item->font();
            f.setItalic(r.state != MemoryRow::State::Confirmed);
            item->setFont(f);
        };
        set(NumberColumn, entryNumber(r.number));
        set(EntryColumn, r.entry);
        set(StandingColumn, r.standing);
        confirmed += r.state == MemoryRow::State::Confirmed;
        mayHaveChanged += r.state == MemoryRow::State::MayHaveChanged;
    }
    summary_->setText(qs(std::to_string(confirmed) + " seen since the CS1x was found, "
                         + std::to_string(mayHaveChanged) + " may have changed, "
                         + std::to_string(int(rows.size()) - confirmed - mayHaveChanged)
                         + " unknown. A store on the CS1x's own panel cannot be seen: fetch to check."));
}

void SynthMemoryView::fetchClick()
{
    std::set<int> chosen;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        chosen.insert(i.row());
    std::vector<int> numbers(chosen.begin(), chosen.end());
    if (numbers.empty())
        for (int n = 0; n < kUserPerformances; ++n)
            numbers.push_back(n);
    commands_.fetchToCheck(std::move(numbers));
}

} // namespace kw
