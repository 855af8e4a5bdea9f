#include "shell/ToolTips.h"

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

namespace kw {

namespace {

bool hintsShown = true;

// Swallows tool-tip events on their way to any widget while hints are off.
class ToolTipGate : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (!hintsShown && e->type() == QEvent::ToolTip)
            return true;
        return QObject::eventFilter(watched, e);
    }
};

void ensureGate()
{
    static QPointer<ToolTipGate> gate;
    if (!gate && qApp) {
        gate = new ToolTipGate(qApp);
        qApp->installEventFilter(gate);
    }
}

} // namespace

void setToolTipsShown(bool shown)
{
    hintsShown = shown;
    ensureGate();
}

bool toolTipsShown() { return hintsShown; }

} // namespace kw
