#include "shell/UserPerfSelectWindow.h"

#include "editor/DialogFlags.h"
#include "editor/Looks.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace kw {

namespace {

constexpr int kItemHeight = 14;

// Every entry exactly 14 pixels high, like the user-performance list.
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight};
    }
};

} // namespace

TUserPerfSelectWindow::TUserPerfSelectWindow(const QStringList& entries, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags)
{
    setObjectName(QStringLiteral("UserPerfSelectWindow"));
    setWindowTitle(QStringLiteral("Select Dest"));

    Label32 = new QLabel(QStringLiteral("User Performance"), this);
    Label32->setObjectName(QStringLiteral("Label32"));
    Label32->setAlignment(Qt::AlignCenter);
    QFont bold = Label32->font();
    bold.setBold(true);
    Label32->setFont(bold);
    looks::fixedTextColour(Label32, QColor(0x00, 0x00, 0x80));

    UserPerfSelect = new QListWidget(this);
    UserPerfSelect->setObjectName(QStringLiteral("UserPerfSelect"));
    UserPerfSelect->setToolTip(QStringLiteral("Select User-Performance to dump"));
    UserPerfSelect->setSelectionMode(QAbstractItemView::SingleSelection);
    UserPerfSelect->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    UserPerfSelect->setUniformItemSizes(true);
    UserPerfSelect->setItemDelegate(new FixedHeightDelegate(UserPerfSelect));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setBold(true);
    mono.setPixelSize(11);
    looks::blackList(UserPerfSelect);
    UserPerfSelect->setFont(mono);
    UserPerfSelect->addItems(entries);
    UserPerfSelect->setFixedSize(QFontMetrics(mono).horizontalAdvance(QStringLiteral("128  SQ MMMMMMMM")) + 30,
                                 16 * kItemHeight + 4);
    connect(UserPerfSelect, &QListWidget::itemDoubleClicked, this, [this] { UserPerfOKClick(); });

    UserPerfOK = new QPushButton(QStringLiteral("Request"), this);
    UserPerfOK->setObjectName(QStringLiteral("UserPerfOK"));
    UserPerfOK->setDefault(true);
    UserPerfCancel = new QPushButton(QStringLiteral("Cancel"), this);
    UserPerfCancel->setObjectName(QStringLiteral("UserPerfCancel"));
    UserPerfCancel->setAutoDefault(false);
    connect(UserPerfOK, &QPushButton::clicked, this, &TUserPerfSelectWindow::UserPerfOKClick);
    connect(UserPerfCancel, &QPushButton::clicked, this, &TUserPerfSelectWindow::UserPerfCancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(UserPerfOK);
    buttons->addWidget(UserPerfCancel);
    auto* all = new QVBoxLayout(this);
    all->addWidget(Label32);
    all->addWidget(UserPerfSelect, 0, Qt::AlignHCenter);
    all->addLayout(buttons);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    setSelected(-1);
}

void TUserPerfSelectWindow::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void TUserPerfSelectWindow::setButtonText(const QString& text)
{
    UserPerfOK->setText(text);
}

void TUserPerfSelectWindow::setSelected(int index)
{
    if (index >= 0 && index < UserPerfSelect->count()) {
        UserPerfSelect->setCurrentRow(index);
    } else {
        UserPerfSelect->clearSelection();
        UserPerfSelect->setCurrentRow(-1);
    }
}

void TUserPerfSelectWindow::setTopIndex(int index)
{
    topIndex_ = std::clamp(index, 0, std::max(0, int(UserPerfSelect->count()) - 1));
    scrollToTop();
}

void TUserPerfSelectWindow::scrollToTop()
{
    // The scroll range only exists once the list has its size; showEvent()
    // comes back here for a top index set before the window was shown.
    UserPerfSelect->doItemsLayout();
    UserPerfSelect->verticalScrollBar()->setValue(topIndex_);
}

void TUserPerfSelectWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    scrollToTop();
}

int TUserPerfSelectWindow::selected() const
{
    const auto rows = UserPerfSelect->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

int TUserPerfSelectWindow::topIndex() const
{
    return UserPerfSelect->verticalScrollBar()->value();
}

void TUserPerfSelectWindow::UserPerfOKClick()
{
    confirmed_ = selected() >= 0;
    if (confirmed_)
        accept();
    else
        reject();
}

void TUserPerfSelectWindow::UserPerfCancelClick()
{
    reject();
}

} // namespace kw
