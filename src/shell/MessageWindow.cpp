#include "shell/MessageWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kw {

TMessageWindow::TMessageWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MessageWindow"));
    setWindowTitle(QStringLiteral(" Knobwright Message"));
    // Only the system menu: no help button, no resizing handles.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* image = new QLabel;
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    image->setAlignment(Qt::AlignTop);
    TextLabel = new QLabel;
    TextLabel->setObjectName(QStringLiteral("TextLabel"));
    TextLabel->setWordWrap(true);
    TextLabel->setMinimumWidth(217);
    OKButton = new QPushButton;
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton = new QPushButton;
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(OKButton, &QPushButton::clicked, this, &TMessageWindow::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TMessageWindow::CancelButtonClick);

    auto* top = new QHBoxLayout;
    top->addWidget(image);
    top->addWidget(TextLabel, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch(1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(buttons);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

int TMessageWindow::ask(const QString& text, const QString& firstButton, const QString& secondButton)
{
    result_ = 0;
    OKButton->setText(firstButton);
    CancelButton->setText(secondButton);
    TextLabel->setText(text);
    exec();
    return result_;
}

void TMessageWindow::OKButtonClick()
{
    result_ = 1;
    accept();
}

void TMessageWindow::CancelButtonClick()
{
    result_ = 2;
    reject();
}

} // namespace kw
