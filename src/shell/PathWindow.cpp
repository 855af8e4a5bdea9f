#include "shell/PathWindow.h"

#include "editor/DialogFlags.h"
#include "editor/FolderBrowser.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kw {

TPathWindow::TPathWindow(const QString& startFolder, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags)
{
    setObjectName(QStringLiteral("PathWindow"));
    setWindowTitle(QStringLiteral(" Select dest. path"));

    browser_ = new FolderBrowser(this);
    browser_->tree()->setFixedSize(260, 220);
    browser_->drives()->setFixedWidth(260);
    browser_->pathLabel()->setFixedWidth(260);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    connect(OKButton, &QPushButton::clicked, this, &TPathWindow::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TPathWindow::CancelButtonClick);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch(1);
    auto* left = new QVBoxLayout;
    left->addWidget(browser_->pathLabel());
    left->addWidget(browser_->tree());
    left->addWidget(browser_->drives());
    auto* all = new QHBoxLayout(this);
    all->addLayout(left);
    all->addLayout(buttons);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    browser_->setFolder(startFolder);
}

QString TPathWindow::folder() const
{
    return browser_->folder();
}

void TPathWindow::OKButtonClick()
{
    confirmed_ = true;
    accept();
}

void TPathWindow::CancelButtonClick()
{
    reject();
}

} // namespace kw
