#include "editor/LibraryCompareWindow.h"

#include "editor/PageKit.h"
#include "editor/QtText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kw {

LibraryCompareWindow::LibraryCompareWindow(LibraryCompare& compare, QWidget* parent)
    : QWidget(parent, Qt::Window), compare_(compare)
{
    setObjectName(QStringLiteral("LibraryCompareWindow"));
    setWindowTitle(QStringLiteral("Compare"));
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("CompareTitle"));
    title_->setWordWrap(true);
    title_->setTextFormat(Qt::PlainText);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("CompareList"));
    list_->setColumnCount(3);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    withFile_ = pagekit::button("CompareWithFile", "Compare with a &file...",
                                "Compare the left performance with a performance file instead", this);
    auto* close = pagekit::button("CompareClose", "&Close", "Close this window", this);
    connect(withFile_, &QPushButton::clicked, this, &LibraryCompareWindow::compareWithFile);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(withFile_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    list_->header()->resizeSection(0, 36 * digit);
    list_->header()->resizeSection(1, 16 * digit);
    resize(74 * digit, 30 * fontMetrics().height());
}

void LibraryCompareWindow::showComparison(const Comparison& c, int64_t entry)
{
    entry_ = entry;
    const size_t n = c.differences.size();
    title_->setText(qs(n == 0 ? c.left + " and " + c.right + ": no parameter differs"
                              : c.left + " -> " + c.right + ": " + std::to_string(n)
                                    + (n == 1 ? " parameter differs" : " parameters differ")));
    list_->setHeaderLabels({QStringLiteral("Parameter"), qs(c.left), qs(c.right)});
    // One reset of the list, not a row at a time: a comparison of two
    // unrelated sounds lists most of 200 parameters.
    QList<QTreeWidgetItem*> rows;
    for (const Difference& d : c.differences)
        rows << new QTreeWidgetItem(QStringList{qs(d.name), qs(d.before), qs(d.after)});
    list_->clear();
    list_->addTopLevelItems(rows);
    QWidget::show();
    raise();
    activateWindow();
}

void LibraryCompareWindow::compareWithFile()
{
    if (const auto c = compare_.withFile(entry_))
        showComparison(*c, entry_);
}

} // namespace kw
