#include "shell/Settings.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPalette>
#include <QToolTip>

namespace {
const QString kAppTitle = QStringLiteral("Orsk Knobwright V1.2 - YAMAHA-CX1x");
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setApplicationDisplayName(kAppTitle);
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(255, 255, 0));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);

    kw::SettingsStore store;
    const kw::Settings settings = kw::loadSettings(store, QCoreApplication::applicationDirPath(),
                                                   [](const QString& e) { QMessageBox::critical(nullptr, kAppTitle, e); });

    QMainWindow window;
    window.setWindowTitle(QLatin1Char(' ') + kAppTitle);
    window.resize(632, 411);
    window.show();
    app.exec();

    try {
        kw::saveSettings(store, settings);
    } catch (const kw::SettingsError& e) {
        QMessageBox::critical(nullptr, kAppTitle, QString::fromStdString(e.what()));
    }
    return 0;
}
