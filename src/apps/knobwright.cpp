#include "shell/Application.h"
#include "shell/CommandLine.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QToolTip>

#include <cstdio>

namespace {

int say(const kw::CommandLineAnswer& a)
{
    std::fputs(a.out.c_str(), stdout);
    std::fputs(a.err.c_str(), stderr);
    return a.exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    // Asked from a terminal or a package script: answered before Qt looks
    // for a display and before the settings are read.
    if (const auto answer = kw::answerBeforeStart(argc, argv))
        return say(*answer);
    QApplication app(argc, argv);
    if (const auto refused = kw::refuseLeftovers(QCoreApplication::arguments()))
        return say(*refused);
    const QString title = QString::fromLatin1(kw::kApplicationTitle);
    QApplication::setApplicationName(QStringLiteral("Knobwright"));
    QApplication::setOrganizationName(QStringLiteral("Orsk Inc."));
    QApplication::setApplicationDisplayName(title);
    // The desktop entry the windows belong to, and its icon where installed.
    QGuiApplication::setDesktopFileName(QStringLiteral("inc.orsk.Knobwright"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("inc.orsk.Knobwright")));
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(255, 255, 0));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);

    kw::Application knobwright({});
    return knobwright.run();
}
