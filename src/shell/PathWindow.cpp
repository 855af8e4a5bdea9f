#include "shell/PathWindow.h"

#include "editor/DialogFlags.h"
#include "editor/FolderBrowser.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kw {

TPathWindow::TPathWindow(const QString& title, const QString& startFolder, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags)
{
    setObjectName(QStringLiteral("PathWindow"));
    setWindowTitle(title);

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
    // A backup usually wants a folder of its own, which does not exist yet.
    NewFolderButton = new QPushButton(QStringLiteral("&New folder..."), this);
    NewFolderButton->setObjectName(QStringLiteral("NewFolderButton"));
    NewFolderButton->setAutoDefault(false);
    NewFolderButton->setToolTip(QStringLiteral("Make a folder inside the one shown"));
    connect(OKButton, &QPushButton::clicked, this, &TPathWindow::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TPathWindow::CancelButtonClick);
    connect(NewFolderButton, &QPushButton::clicked, this, &TPathWindow::NewFolderButtonClick);
    askName_ = [this](const QString& in) -> std::optional<QString> {
        bool ok = false;
        const QString name = QInputDialog::getText(this, QStringLiteral("New folder"),
                                                   QStringLiteral("Name of the new folder in %1:").arg(in),
                                                   QLineEdit::Normal, QString(), &ok);
        return ok ? std::optional<QString>(name) : std::nullopt;
    };
    messageBox_ = [this](const QString& text) { QMessageBox::warning(this, windowTitle().trimmed(), text); };

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch(1);
    buttons->addWidget(NewFolderButton);
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

void TPathWindow::NewFolderButtonClick()
{
    const std::optional<QString> name = askName_(folder());
    if (!name)
        return;
    const QString problem = browser_->makeFolder(*name);
    if (!problem.isEmpty())
        messageBox_(problem);
}

} // namespace kw
