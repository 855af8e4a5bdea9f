#include "editor/StatusPanel.h"

#include "editor/PageKit.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

namespace kw {

namespace {
const QColor kLampDark(0, 128, 0);
const QColor kLampBright(0, 255, 0);

void paintLamp(QFrame* f, const QColor& c)
{
    QPalette p = f->palette();
    p.setColor(QPalette::Window, c);
    f->setPalette(p);
}
} // namespace

StatusPanel::StatusPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("StatusPanel"));
    setFrameShape(QFrame::StyledPanel);
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(4, 2, 4, 2);
    status_ = new QLabel(QStringLiteral("OK"));
    status_->setObjectName(QStringLiteral("StatusLabel"));
    status_->setMinimumWidth(240);
    status_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    h->addWidget(status_, 1);

    auto* g = pagekit::group("GroupMidiInOut", QString());
    g->setToolTip(QStringLiteral("Midi In/Out monitor"));
    auto* gl = new QHBoxLayout(g);
    gl->setContentsMargins(6, 2, 6, 2);
    auto lamp = [&](const char* name, const char* text) {
        gl->addWidget(new QLabel(QString::fromLatin1(text)));
        auto* f = new QFrame;
        f->setObjectName(QString::fromLatin1(name));
        f->setFixedSize(18, 10);
        f->setFrameShape(QFrame::Box);
        f->setAutoFillBackground(true);
        paintLamp(f, kLampDark);
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
    paintLamp(lamp == Lamp::In ? lampIn_ : lampOut_, bright ? kLampBright : kLampDark);
}

} // namespace kw
