#include "editor/StatusPanel.h"

#include "editor/Looks.h"
#include "editor/PageKit.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>

namespace kw {

namespace {
const QColor kLampDark(0, 128, 0);
const QColor kLampBright(0, 255, 0);
// No port: the lamp is out. A port lost: red, which no activity can be.
const QColor kLampOff(96, 96, 96);
const QColor kLampLost(220, 0, 0);
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
    void setState(LampState state)
    {
        if (state == state_)
            return;
        state_ = state;
        update();
    }
    QColor colour() const
    {
        switch (state_) {
        case LampState::Off: return kLampOff;
        case LampState::Lost: return kLampLost;
        default: return bright_ ? kLampBright : kLampDark;
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), colour());
        drawFrame(&p);
    }

private:
    bool bright_ = false;
    LampState state_ = LampState::Ready;
};

// The status line: one line of text, cut with an ellipsis where it does not
// fit (the whole text is its tool-tip). Its size never follows the text, so
// a long message cannot widen the window.
class StatusLine : public QLabel {
public:
    StatusLine() : QLabel(QStringLiteral("OK")), full_(QStringLiteral("OK")) {}
    void setFullText(const QString& text)
    {
        full_ = text;
        full_.replace(QLatin1Char('\n'), QLatin1Char(' '));
        elide();
    }
    QSize sizeHint() const override { return {minimumWidth(), QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QLabel::resizeEvent(e);
        elide();
    }
    void changeEvent(QEvent* e) override
    {
        QLabel::changeEvent(e);
        if (e->type() == QEvent::FontChange)
            elide();
    }

private:
    void elide()
    {
        const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, contentsRect().width());
        if (shown != text())
            setText(shown);
        const QString tip = shown == full_ ? QString() : full_;
        if (tip != toolTip())
            setToolTip(tip);
    }
    QString full_;
};

StatusPanel::StatusPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("StatusPanel"));
    setFrameShape(QFrame::StyledPanel);
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(4, 2, 4, 2);
    status_ = new StatusLine;
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
    status_->setFullText(text);
}

void StatusPanel::setLamp(Lamp lamp, bool bright)
{
    (lamp == Lamp::In ? lampIn_ : lampOut_)->setBright(bright);
}

void StatusPanel::setLampState(Lamp lamp, LampState state, const QString& port)
{
    LampFrame* f = lamp == Lamp::In ? lampIn_ : lampOut_;
    f->setState(state);
    const QString which = lamp == Lamp::In ? QStringLiteral("MIDI-IN") : QStringLiteral("MIDI-OUT");
    f->setToolTip(state == LampState::Off  ? which + QStringLiteral(": no device chosen")
                  : state == LampState::Lost ? which + QStringLiteral(": ") + port + QStringLiteral(" - disconnected")
                                             : which + QStringLiteral(": ") + port);
}

} // namespace kw
