#include "editor/LibrarySimilarWindow.h"

#include "editor/PageKit.h"
#include "editor/QtText.h"
#include "model/NameTables.h"
#include "session/library/LibraryCommands.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace kw {

namespace {

constexpr int kIdRole = Qt::UserRole;

QString distanceText(double d, bool twin)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", d);
    return QString::fromLatin1(buf) + (twin ? QStringLiteral("  same sound") : QString());
}

} // namespace

LibrarySimilarWindow::LibrarySimilarWindow(LibraryCommands& commands, LibraryCompare& compare, QWidget* parent)
    : QWidget(parent, Qt::Window), commands_(commands), compare_(compare)
{
    setObjectName(QStringLiteral("LibrarySimilarWindow"));
    setWindowTitle(QStringLiteral("Similar performances"));
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("SimilarTitle"));
    title_->setTextFormat(Qt::PlainText);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("SimilarList"));
    list_->setColumnCount(3);
    list_->setHeaderLabels({QStringLiteral("Distance"), QStringLiteral("Performance"), QStringLiteral("Where from")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setToolTip(QStringLiteral("How far each sound lies: every parameter adds its difference as a share of "
                                     "its range; name and category do not count"));
    compareButton_ = pagekit::button("SimilarCompare", "Co&mpare",
                                     "What differs between the chosen performance and the one it is near to", this);
    auto* close = pagekit::button("SimilarClose", "&Close", "Close this window", this);
    connect(compareButton_, &QPushButton::clicked, this, [this] {
        if (const int64_t id = selectedId(); id && compareRequested)
            compareRequested(from_, id);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // A double click plays it, as in the library window.
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        commands_.audition(item->data(0, kIdRole).toLongLong());
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [this] { compareButton_->setEnabled(selectedId() != 0); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(compareButton_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    list_->header()->resizeSection(0, 18 * digit);
    list_->header()->resizeSection(1, 16 * digit);
    resize(90 * digit, 30 * fontMetrics().height());
    compareButton_->setEnabled(false);
}

int64_t LibrarySimilarWindow::selectedId() const
{
    const QTreeWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? item->data(0, kIdRole).toLongLong() : 0;
}

bool LibrarySimilarWindow::showNear(int64_t id, const std::string& label)
{
    const auto near = compare_.similar(id, kShown);
    if (!near)
        return false;
    from_ = id;
    ids_.clear();
    title_->setText(qs(near->empty() ? "The library holds no other performance than " + label
                                     : "Nearest in sound to " + label));
    QList<QTreeWidgetItem*> rows;
    for (const SimilarEntry& e : *near) {
        auto* item = new QTreeWidgetItem(QStringList{distanceText(e.distance, e.twin),
                                                     qs(trimBlanks(categoryAbbrev(e.row.category)) + " " + e.row.name),
                                                     qs(e.row.whereFrom)});
        item->setData(0, kIdRole, qlonglong(e.row.id));
        rows << item;
        ids_.push_back(e.row.id);
    }
    list_->clear();
    list_->addTopLevelItems(rows);
    compareButton_->setEnabled(false);
    show();
    raise();
    activateWindow();
    return true;
}

} // namespace kw
