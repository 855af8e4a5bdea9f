#include "editor/CommonBoxes.h"

#include "editor/Bindings.h"
#include "editor/PageKit.h"
#include "model/Arpeggiator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QVBoxLayout>

namespace kw {

using namespace pagekit;

ControllerBox::ControllerBox(EditorContext& ctx, const QString& title, const char* name,
                             const std::array<Bar, 3>& bars, QWidget* parent)
    : QGroupBox(title, parent), ctx_(ctx)
{
    setObjectName(QString::fromLatin1(name));
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(4, 2, 4, 2);
    lay->setSpacing(0);
    for (const Bar& bar : bars) {
        const FieldRow& r = row(bar.control);
        const Column c =
            column(QString::fromLatin1(bar.control), QString::fromLatin1(bar.caption), r.min, r.max, 44, this);
        bars_.push_back(new BarBinding(ctx_, r, c.bar, c.value));
        captions_.push_back(c.caption);
        lay->addWidget(c.widget);
    }
}

void ControllerBox::refreshFromImage()
{
    refresh(ctx_, bars_);
}

MWheelBox::MWheelBox(EditorContext& ctx, QWidget* parent)
    : ControllerBox(ctx, QStringLiteral(" Mod-Wheel "), "MWheel",
                    {{{"MWLFOPMod", "LFO PMOD DPTH"}, {"MWLFOFMod", "LFO FMOD DPTH"}, {"MWFilterCtl", "FILTER CTL"}}},
                    parent)
{
}

FootControlBox::FootControlBox(EditorContext& ctx, QWidget* parent)
    : ControllerBox(ctx, QStringLiteral(" Foot-Controller "), "FootControl",
                    {{{"FCLFOFMod", "LFO FMOD DPTH"}, {"FCFilterCtl", "FILTER CTL"}, {"FCVariCtl", "VARI CTL DPTH"}}},
                    parent)
{
}

ArpeggiatorBox::ArpeggiatorBox(EditorContext& ctx, QWidget* parent)
    : QGroupBox(QStringLiteral(" Arpeggiator "), parent), ctx_(ctx)
{
    setObjectName("Arpeggiator");
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(4, 2, 4, 4);
    lay->setSpacing(6);

    auto* left = new QVBoxLayout;
    left->setSpacing(3);
    auto* modes = new QHBoxLayout;
    auto check = [this](const char* name, const char* caption, const char* hint) {
        auto* c = new QCheckBox(QString::fromLatin1(caption), this);
        c->setObjectName(name);
        c->setToolTip(QString::fromLatin1(hint));
        return c;
    };
    QCheckBox* modeBoxes[] = {check("ArpModeOn", "On", "Arpeggiator ON/OFF"),
                              check("ArpModeHold", "Hold", "Arpeggiator Hold-mode"),
                              check("ArpModeSplit", "Split", "Arpeggiator Split-mode")};
    for (QCheckBox* c : modeBoxes) {
        modes->addWidget(c);
        all_.push_back(new CheckBinding(ctx_, row(c->objectName().toLatin1().constData()), c));
    }
    modes->addStretch(1);
    left->addLayout(modes);

    auto* type = listBox("ArpeggioType", arp::typeItems().data(), arp::kTypes, this, QStringLiteral("Arpeggiator-type"));
    all_.push_back(new ListBinding(ctx_, row("ArpeggioType"), type));
    left->addWidget(type, 1);

    auto* subdiv = new QComboBox(this);
    subdiv->setObjectName("ArpeggioSubdiv");
    subdiv->setToolTip(QStringLiteral("Arpeggiator sub-divide"));
    for (const char* s : arp::subdivItems())
        subdiv->addItem(QString::fromLatin1(s));
    all_.push_back(new ComboBinding(ctx_, row("ArpeggioSubdiv"), subdiv, true));
    left->addWidget(subdiv);
    lay->addLayout(left, 1);

    const Column tempo = column("ArpTempo", QStringLiteral("TEMPO"), tempo::kMinPosition, tempo::kMaxPosition, 44,
                                this, QStringLiteral("Arpeggiator tempo"));
    auto* tempoBar = new BarBinding(ctx_, row("ArpTempo"), tempo.bar, tempo.value);
    all_.push_back(tempoBar);
    QCheckBox* midi = check("ArpTempoMidi", "MIDI", "Arpeggio-tempo MIDI");
    // Unchecked, the tempo is the bar's again, wherever it was left.
    all_.push_back(new CheckBinding(ctx_, row("ArpTempoMidi"), midi, [this, tempoBar](bool on) {
        if (on)
            edit(ctx_, row("ArpTempoMidi"), 1);
        else
            tempoBar->reapply();
    }));
    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(tempo.widget, 1, Qt::AlignHCenter);
    right->addWidget(midi, 0, Qt::AlignHCenter);
    lay->addLayout(right);
}

void ArpeggiatorBox::refreshFromImage()
{
    refresh(ctx_, all_);
}

} // namespace kw
