#include "editor/StatusPanel.h"

#include "editor/Looks.h"
#include "editor/PageKit.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace kw {

namespace {
const QColor kLampDark(0, 128, 0);
const QColor kLampBright(0, 255, 0);
} // namespace

// A lamp is told about every message that passes, hundreds a second in a
// transfer; only a change of state repaints it, and only it.
class LampFrame : public QFrame {
public:
    explicit LampFrame(const char* name)
    {
        setObjectName(QString::fromLatin1(name));
        setFixedSize(18, 10);
        setFrameShape(QFrame::Box);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void setBright(bool bright)
    {
        if (bright == bright_)
            return;
        bright_ = bright;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), bright_ ? kLampBright : kLampDark);
        drawFrame(&p);
    }

private:
    bool bright_ = false;
};

StatusPanel::StatusPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("StatusPanel"));
    setFrameShape(QFrame::StyledPanel);
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(4, 2, 4, 2);
    status_ = new QLabel(QStringLiteral("OK"));
    status_->setObjectName(QStringLiteral("StatusLabel"));
    looks::statusLine(status_);
    status_->setMinimumWidth(240);
    status_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    h->addWidget(status_, 1);

    auto* g = pagekit::group("GroupMidiInOut", QString());
    g->setToolTip(QStringLiteral("Midi In/Out monitor"));
    auto* gl = new QHBoxLayout(g);
    gl->setContentsMargins(6, 2, 6, 2);
    auto lamp = [&](const char* name, const char* text) {
        gl->addWidget(new QLabel(QString::fromLatin1(text)));
        auto* f = new LampFrame(name);
        gl->addWidget(f);
        return f;
    };
    lampIn_ = lamp("MidiInLED", "IN");
    gl->addSpacing(6);
    lampOut_ = lamp("MidiOutLED", "OUT");
    h->addWidget(g);
}

void StatusPanel::setText(const QString& text)
{
    status_->setText(text);
}

void StatusPanel::setLamp(Lamp lamp, bool bright)
{
    (lamp == Lamp::In ? lampIn_ : lampOut_)->setBright(bright);
}

} // namespace kw
