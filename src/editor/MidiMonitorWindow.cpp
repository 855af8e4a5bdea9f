#include "editor/MidiMonitorWindow.h"

#include "files/FileIo.h"
#include "files/FilePaths.h"
#include "midi/MidiPorts.h"
#include "model/Settings.h"
#include "session/CommandContext.h"
#include "session/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace kw {

namespace {

// One line of text a cell, cut at its edge: no elision, no other roles
// asked for. The view draws the row's background and selection.
class LineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        p->save();
        p->setPen(option.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
        if (const QVariant font = index.data(Qt::FontRole); font.isValid())
            p->setFont(font.value<QFont>());
        p->drawText(option.rect.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
        p->restore();
    }
};

} // namespace

MidiMonitorWindow::MidiMonitorWindow(MidiPorts& ports, Scheduler& sched, Dialogs& dialogs, const Settings& settings,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), ports_(ports), dialogs_(dialogs), settings_(settings), model_(sched)
{
    setObjectName(QStringLiteral("MidiMonitorWindow"));
    setWindowTitle(QStringLiteral("MIDI monitor"));

    auto button = [this](const char* name, const char* text, const char* tip) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(QString::fromUtf8(tip));
        return b;
    };
    pause_ = button("MidiMonitorPause", "&Pause", "Stop adding lines; messages meanwhile are not kept");
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, [this](bool on) { model_.setPaused(on); });
    filter_ = new QComboBox(this);
    filter_->setObjectName(QStringLiteral("MidiMonitorFilter"));
    filter_->setToolTip(QStringLiteral("Which messages the list shows"));
    filter_->addItems({QStringLiteral("All messages"), QStringLiteral("SysEx"), QStringLiteral("Notes"),
                       QStringLiteral("Controllers")});
    connect(filter_, &QComboBox::currentIndexChanged, this,
            [this](int i) { model_.setFilter(MidiMonitorModel::Filter(std::max(0, i))); });
    QPushButton* clear = button("MidiMonitorClear", "C&lear", "Remove every line");
    connect(clear, &QPushButton::clicked, this, [this] { model_.clear(); });
    QPushButton* copy = button("MidiMonitorCopy", "&Copy", "The selected lines (all shown when none is selected) as text");
    connect(copy, &QPushButton::clicked, this, &MidiMonitorWindow::copyClick);
    QPushButton* save = button("MidiMonitorSave", "&Save .syx…", "The SysEx messages shown, into a .syx file");
    connect(save, &QPushButton::clicked, this, &MidiMonitorWindow::saveClick);

    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("MidiMonitorList"));
    list_->setModel(&model_);
    list_->setItemDelegate(new LineDelegate(list_));
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setWordWrap(false);
    list_->setShowGrid(false);
    list_->setAlternatingRowColors(true);
    // Rows of one height and columns of set widths: nothing is measured
    // as lines come.
    QHeaderView* rows = list_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    QHeaderView* columns = list_->horizontalHeader();
    const int digit = list_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    columns->resizeSection(MidiMonitorModel::TimeColumn, 14 * digit);
    columns->resizeSection(MidiMonitorModel::DirectionColumn, 8 * digit);
    columns->resizeSection(MidiMonitorModel::BytesColumn, 44 * digit);
    columns->setStretchLastSection(true);
    // A list scrolled to its end follows the new lines; one scrolled back
    // stays where it is.
    connect(&model_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = list_->verticalScrollBar();
        atBottom_ = bar->value() == bar->maximum();
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (atBottom_)
            list_->scrollToBottom();
    });
    auto* copyKey = new QAction(this);
    copyKey->setShortcut(QKeySequence::Copy);
    copyKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyKey, &QAction::triggered, this, &MidiMonitorWindow::copyClick);
    list_->addAction(copyKey);

    auto* bar = new QHBoxLayout;
    bar->addWidget(pause_);
    bar->addWidget(filter_);
    bar->addWidget(clear);
    bar->addWidget(copy);
    bar->addWidget(save);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(list_, 1);
    resize(110 * digit, 40 * rows->defaultSectionSize());
}

MidiMonitorWindow::~MidiMonitorWindow() { listen(false); }

void MidiMonitorWindow::listen(bool on)
{
    if (on && !tap_)
        tap_ = ports_.addTap([this](Direction d, ByteView m) { model_.record(d, m); });
    else if (!on && tap_)
        ports_.removeTap(std::exchange(tap_, 0));
}

void MidiMonitorWindow::showEvent(QShowEvent* e)
{
    listen(true);
    QWidget::showEvent(e);
}

void MidiMonitorWindow::closeEvent(QCloseEvent* e)
{
    // A closed monitor costs the editor nothing; its lines stay for the
    // next opening.
    listen(false);
    model_.flush();
    QWidget::closeEvent(e);
}

void MidiMonitorWindow::copyClick()
{
    model_.flush();
    std::vector<int> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    if (rows.empty())
        for (int r = 0; r < model_.rowCount(); ++r)
            rows.push_back(r);
    QStringList lines;
    for (int r : rows)
        lines << model_.rowText(r);
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + (lines.isEmpty() ? "" : "\n"));
}

void MidiMonitorWindow::saveClick()
{
    model_.flush();
    const Bytes sysEx = model_.sysExShown();
    if (sysEx.empty()) {
        dialogs_.inform(kMonitorNoSysExText);
        return;
    }
    const auto chosen =
        dialogs_.chooseSaveFile("Save the SysEx shown as ...", kSysExFilter, settings_.lastDir, "MIDI monitor.syx");
    if (!chosen)
        return;
    std::filesystem::path path = pathFromUtf8(*chosen);
    if (!path.has_extension())
        path += ".syx";
    if (auto e = writeFileAtomically(path, sysEx))
        dialogs_.inform(e->message());
}

} // namespace kw
