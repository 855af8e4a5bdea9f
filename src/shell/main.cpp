#include "shell/Application.h"

#include <QApplication>
#include <QPalette>
#include <QToolTip>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString title = QString::fromLatin1(kw::kApplicationTitle);
    QApplication::setApplicationName(QStringLiteral("Knobwright"));
    QApplication::setOrganizationName(QStringLiteral("Orsk Inc."));
    QApplication::setApplicationDisplayName(title);
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(255, 255, 0));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);

    kw::Application knobwright({});
    return knobwright.run();
}
