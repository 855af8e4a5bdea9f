#include "shell/AboutWindow.h"

#include "editor/DialogFlags.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

namespace kw {

namespace {

constexpr int kFrames = 14;
constexpr int kFrameWidth = 136;
constexpr int kFrameHeight = 60;
constexpr int kFrameMs = 70;
const QColor kLime(0, 255, 0);

QPixmap drawLogoFrame(int n)
{
    QPixmap pm(kFrameWidth, kFrameHeight);
    pm.fill(Qt::black);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A wave that runs one full period through the fourteen frames, so the
    // loop has no seam.
    const double phase = 2 * std::numbers::pi * n / kFrames;
    QPainterPath wave;
    for (int x = 0; x <= kFrameWidth; ++x) {
        const double y = 30 + 18 * std::sin(x * 2 * std::numbers::pi / 54 - phase) * std::sin(x * std::numbers::pi / 108);
        x == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    p.setPen(QPen(QColor(0, 110, 0), 2));
    p.drawPath(wave);

    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(30);
    f.setBold(true);
    p.setFont(f);
    const QRect textBox(0, 0, 108, kFrameHeight);
    p.setPen(kLime);
    p.drawText(textBox, Qt::AlignCenter, QStringLiteral("ORSK"));
    // A light that sweeps over the letters once per loop.
    const double sweep = -24 + (108 + 48) * double(n) / (kFrames - 1);
    QLinearGradient light(sweep - 14, 0, sweep + 14, 0);
    light.setColorAt(0, QColor(255, 255, 255, 0));
    light.setColorAt(0.5, QColor(255, 255, 255, 200));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QPainterPath letters;
    letters.addText(0, 0, f, QStringLiteral("ORSK"));
    const QRectF lb = letters.boundingRect();
    letters.translate(textBox.center().x() - lb.center().x(), textBox.center().y() - lb.center().y());
    p.setPen(Qt::NoPen);
    p.setBrush(light);
    p.drawPath(letters);
    return pm;
}

// The about box's own picture: a synthesizer knob, drawn.
QPixmap drawKnobPicture()
{
    QPixmap pm(96, 96);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(48, 48);
    p.setPen(QPen(kLime, 3));
    for (int i = 0; i <= 10; ++i) {
        const double a = (225 - i * 27) * std::numbers::pi / 180;
        const QPointF dir(std::cos(a), -std::sin(a));
        p.drawLine(c + dir * 38, c + dir * 45);
    }
    QRadialGradient body(c - QPointF(8, 8), 40);
    body.setColorAt(0, QColor(90, 90, 90));
    body.setColorAt(1, QColor(15, 15, 15));
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(body);
    p.drawEllipse(c, 32, 32);
    const double a = 45 * std::numbers::pi / 180;
    p.setPen(QPen(kLime, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(std::cos(a), -std::sin(a)) * 10, c + QPointF(std::cos(a), -std::sin(a)) * 28);
    return pm;
}

class LogoBox : public QWidget {
public:
    LogoBox(const int& frame, QWidget* parent) : QWidget(parent), frame_(frame) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).drawPixmap(0, 0, orskLogoFrames()[size_t(frame_)]);
    }

private:
    const int& frame_;
};

QLabel* centred(const QString& text, QWidget* parent, bool bold = false)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignCenter);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.4);
        l->setFont(f);
    }
    return l;
}

} // namespace

const std::array<QPixmap, 14>& orskLogoFrames()
{
    static const std::array<QPixmap, 14> frames = [] {
        std::array<QPixmap, 14> out;
        for (int i = 0; i < kFrames; ++i)
            out[size_t(i)] = drawLogoFrame(i);
        return out;
    }();
    return frames;
}

TAboutWindow::TAboutWindow(QWidget* parent)
    : QDialog(parent, kFixedDialogFlags)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral(" About Orsk Knobwright"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(drawKnobPicture());
    picture->setFixedSize(96, 96);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(1);
    lines->addWidget(centred(QStringLiteral("Orsk Knobwright"), this, true));
    lines->addWidget(centred(QStringLiteral("designed for"), this));
    lines->addWidget(centred(QStringLiteral("YAMAHA-CS1x Synthesizers"), this, true));
    lines->addWidget(centred(QStringLiteral("by"), this));
    auto* maker = centred(QStringLiteral("Orsk Inc."), this, true);
    maker->setObjectName(QStringLiteral("MakerLabel"));
    lines->addWidget(maker);
    auto* mail = centred(QStringLiteral("e-mail: knobwright@orsk.example"), this);
    mail->setObjectName(QStringLiteral("MailLabel"));
    lines->addWidget(mail);

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(lines, 1);

    auto* webCaption = new QLabel(QStringLiteral("Orsk in the web:"), this);
    auto* web = new QLineEdit(QStringLiteral("https://www.orsk.example/"), this);
    web->setObjectName(QStringLiteral("WebEdit"));
    web->setReadOnly(true);
    auto* distCaption = new QLabel(QStringLiteral("Distribution site:"), this);
    auto* dist = new QLabel(QStringLiteral("https://downloads.orsk.example/knobwright/"), this);
    dist->setObjectName(QStringLiteral("DistributionLabel"));
    dist->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* addresses = new QVBoxLayout;
    addresses->addWidget(webCaption);
    addresses->addWidget(web);
    addresses->addWidget(distCaption);
    addresses->addWidget(dist);

    OrskLogo = new LogoBox(frame_, this);
    OrskLogo->setObjectName(QStringLiteral("OrskLogo"));
    OrskLogo->setFixedSize(108, 60);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(addresses, 1);
    bottom->addWidget(OrskLogo, 0, Qt::AlignBottom);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addSpacing(8);
    all->addLayout(bottom);
    all->addWidget(ok, 0, Qt::AlignHCenter);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    OrskTimer = new QTimer(this);
    OrskTimer->setObjectName(QStringLiteral("OrskTimer"));
    OrskTimer->setSingleShot(true);
    connect(OrskTimer, &QTimer::timeout, this, &TAboutWindow::OrskTimerEvent);
    FormCreate();
}

void TAboutWindow::FormCreate()
{
    OrskTimer->stop();
    frame_ = 0;
    OrskLogo->update();
    OrskTimer->start(kFrameMs);
}

void TAboutWindow::OrskTimerEvent()
{
    OrskTimer->stop();
    frame_ = frame_ > kFrames - 2 ? 0 : frame_ + 1;
    OrskLogo->update();
    OrskTimer->start(kFrameMs);
}

} // namespace kw
