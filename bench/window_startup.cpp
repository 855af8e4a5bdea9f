// Start-up time of the main window (construction to first shown frame) and,
// with a folder argument, a PNG of every page for looking at the layout.
//   window_startup            prints milliseconds
//   window_startup <folder>   also writes page-<n>.png into the folder

#include "editor/MainWindow.h"
#include "midi/OutputPort.h"
#include "midi/Senders.h"
#include "session/EditSession.h"
#include "shell/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTabWidget>

#include <cstdio>

namespace {
class NullPort : public kw::OutputPort {
public:
    bool isOpen() const override { return false; }
    int send(kw::ByteView) override { return 0; }
};
} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    const qint64 appReady = clock.elapsed();
    kw::PerformanceImage image;
    kw::EditorState state;
    NullPort port;
    kw::Senders senders(image, state, port);
    kw::EditSession session(image, state, senders);
    kw::QtDialogs dialogs;
    kw::EditorContext ctx{session, dialogs};
    TMainWindow w(ctx);
    w.show();
    QCoreApplication::processEvents();
    const qint64 shown = clock.elapsed();
    std::printf("application %lld ms, window shown %lld ms, size %dx%d, shown at epoch ms %lld\n", appReady, shown,
                w.width(), w.height(), QDateTime::currentMSecsSinceEpoch());
    if (argc > 1) {
        auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::processEvents();
            w.grab().save(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("page-%1.png").arg(i)));
        }
    }
    return 0;
}
