#include "editor/CommonBoxes.h"

#include "editor/PageKit.h"
#include "model/Arpeggiator.h"
#include "model/FieldTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>
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
    for (size_t i = 0; i < bars.size(); ++i) {
        bars_[i] = new FieldBar(ctx_, row(bars[i].control), QString::fromLatin1(bars[i].caption), this);
        bars_[i]->widget()->setFixedWidth(44);
        lay->addWidget(bars_[i]->widget());
    }
}

void ControllerBox::refreshFromImage()
{
    const SendPause pause(ctx_.state);
    for (auto* b : bars_)
        b->refresh();
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
    on_ = check("ArpModeOn", "On", "Arpeggiator ON/OFF");
    hold_ = check("ArpModeHold", "Hold", "Arpeggiator Hold-mode");
    split_ = check("ArpModeSplit", "Split", "Arpeggiator Split-mode");
    for (QCheckBox* c : {on_, hold_, split_}) {
        modes->addWidget(c);
        connect(c, &QCheckBox::clicked, this, [this] { arpModeClick(); });
    }
    modes->addStretch(1);
    left->addLayout(modes);

    type_ = listBox("ArpeggioType", arp::typeItems().data(), arp::kTypes, this, QStringLiteral("Arpeggiator-type"));
    onChoice(type_, [this](int r) { arpeggioTypeClick(r); });
    left->addWidget(type_, 1);

    subdiv_ = new QComboBox(this);
    subdiv_->setObjectName("ArpeggioSubdiv");
    subdiv_->setToolTip(QStringLiteral("Arpeggiator sub-divide"));
    for (const char* s : arp::subdivItems())
        subdiv_->addItem(QString::fromLatin1(s));
    connect(subdiv_, &QComboBox::activated, this, [this](int i) { arpeggioSubdivChange(i); });
    left->addWidget(subdiv_);
    lay->addLayout(left, 1);

    const Column tempo = column("ArpTempo", QStringLiteral("TEMPO"), tempo::kMinPosition, tempo::kMaxPosition, this,
                                QStringLiteral("Arpeggiator tempo"));
    tempo_ = tempo.bar;
    tempoLabel_ = tempo.value;
    tempo.widget->setFixedWidth(44);
    connect(tempo_, &QSlider::valueChanged, this, [this](int) { arpTempoChange(); });
    midi_ = check("ArpTempoMidi", "MIDI", "Arpeggio-tempo MIDI");
    connect(midi_, &QCheckBox::clicked, this, [this] { arpTempoMidiClick(); });
    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(tempo.widget, 1, Qt::AlignHCenter);
    right->addWidget(midi_, 0, Qt::AlignHCenter);
    lay->addLayout(right);
}

void ArpeggiatorBox::refreshFromImage()
{
    const SendPause pause(ctx_.state);
    const BulkBlock& c00 = ctx_.image.edit[BlockKind::Common00];
    selectAtTop(type_, c00.data(row("ArpeggioType").offset));
    {
        const QSignalBlocker block(subdiv_);
        const int s = c00.data(row("ArpeggioSubdiv").offset);
        subdiv_->setCurrentIndex(s < subdiv_->count() ? s : -1);
    }
    const tempo::View view = tempo::fromStored(c00.data(tempo::kHighOffset), c00.data(tempo::kLowOffset));
    {
        const QSignalBlocker block(tempo_);
        tempo_->setValue(view.position);
    }
    tempoLabel_->setText(text(view.label));
    midi_->setChecked(view.midiClock);
    const arpMode::Boxes boxes = arpMode::boxesFromByte(c00.data(arpMode::kOffset));
    on_->setChecked(boxes.on);
    hold_->setChecked(boxes.hold);
    split_->setChecked(boxes.split);
}

void ArpeggiatorBox::arpeggioTypeClick(int r)
{
    storeAndSend(ctx_, row("ArpeggioType"), r);
}

void ArpeggiatorBox::arpeggioSubdivChange(int index)
{
    storeAndSend(ctx_, row("ArpeggioSubdiv"), index);
}

void ArpeggiatorBox::arpModeClick()
{
    const arpMode::Boxes boxes = arpMode::normalised({on_->isChecked(), hold_->isChecked(), split_->isChecked()});
    on_->setChecked(boxes.on);
    hold_->setChecked(boxes.hold);
    BulkBlock& c00 = ctx_.image.edit[BlockKind::Common00];
    c00.data(arpMode::kOffset) = arpMode::byteFromBoxes(boxes);
    sendCommon(ctx_, uint8_t(blockInfo(BlockKind::Common00).addrLow + arpMode::kOffset), c00.data(arpMode::kOffset));
}

void ArpeggiatorBox::arpTempoChange()
{
    midi_->setChecked(false);
    const int v = tempo::valueFromPosition(tempo_->value());
    tempoLabel_->setText(text(row("ArpTempo").labelText(tempo_->value())));
    BulkBlock& c00 = ctx_.image.edit[BlockKind::Common00];
    const auto [high, low] = tempo::bytes(v);
    c00.data(tempo::kHighOffset) = high;
    c00.data(tempo::kLowOffset) = low;
    sendCommon2(ctx_, tempo::kHighOffset, c00.data(tempo::kHighOffset), c00.data(tempo::kLowOffset));
}

void ArpeggiatorBox::arpTempoMidiClick()
{
    if (!midi_->isChecked()) {
        arpTempoChange();
        return;
    }
    BulkBlock& c00 = ctx_.image.edit[BlockKind::Common00];
    const auto [high, low] = tempo::bytes(0);
    c00.data(tempo::kHighOffset) = high;
    c00.data(tempo::kLowOffset) = low;
    sendCommon2(ctx_, tempo::kHighOffset, c00.data(tempo::kHighOffset), c00.data(tempo::kLowOffset));
}

} // namespace kw
