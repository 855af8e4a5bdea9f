#include "editor/LayerVoicePage.h"

#include "editor/Looks.h"
#include "editor/PageKit.h"
#include "editor/QtText.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace kw {

using namespace pagekit;

namespace {

QHBoxLayout* row(std::initializer_list<QWidget*> ws)
{
    auto* h = new QHBoxLayout;
    h->setSpacing(2);
    for (QWidget* w : ws)
        h->addWidget(w);
    return h;
}

QCheckBox* checkBox(EditorContext& ctx, const char* control, const char* caption, const char* hint)
{
    auto* c = new QCheckBox(QString::fromLatin1(caption));
    c->setObjectName(QString::fromLatin1(control));
    c->setToolTip(QString::fromLatin1(hint));
    new CheckBinding(ctx, pagekit::row(control), c);
    return c;
}

} // namespace

LayerVoicePage::LayerVoicePage(EditorContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx)
{
    QGridLayout* grid = pageGrid(this);

    auto* patch = group("Patch", QStringLiteral(" Patch Select "));
    auto* pv = new QVBoxLayout(patch);
    pv->addWidget(new QLabel(QStringLiteral("Bank Number")));
    bank_ = new QComboBox;
    bank_->setObjectName(QStringLiteral("PatchBankNumber"));
    bank_->setMaxVisibleItems(16);
    bank_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    bank_->setMinimumContentsLength(16);
    for (const BankRow& r : bankTable())
        bank_->addItem(qs(cp1252ToUtf8(r.name)));
    // Every pick, also of the bank already shown: under "Edit all Layers
    // simult." that puts the other layers in this bank too.
    connect(bank_, &QComboBox::activated, this, [this](int i) {
        if (i >= 0)
            PatchBankNumberChange(i);
    });
    new CustomBinding(ctx_, pagekit::row("PatchBankNumber"), bank_, [this] {
        // An unknown pair keeps the selector and lists the last bank's names.
        const int bankRow = ctx_.session.position(pagekit::row("PatchBankNumber"));
        if (bankRow >= 0) {
            const QSignalBlocker block(bank_);
            bank_->setCurrentIndex(bankRow);
        }
        listVoices(bankRow >= 0 ? bankRow : kBankRows - 1);
    });
    pv->addWidget(bank_);
    pv->addWidget(new QLabel(QStringLiteral("Voice Number")));
    voices_ = new QListWidget;
    voices_->setObjectName(QStringLiteral("PatchVoiceNumber"));
    voices_->setToolTip(QStringLiteral("Layer Voice-select"));
    looks::blackList(voices_);
    voices_->setUniformItemSizes(true);
    for (int p = 0; p < kVoicesPerBank; ++p)
        voices_->addItem(qs(cp1252ToUtf8(voiceEntry(0, p))));
    new ListBinding(ctx_, pagekit::row("PatchVoiceNumber"), voices_);
    pv->addWidget(voices_, 1);
    voices_->setMinimumHeight(200);
    patch->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    grid->addWidget(patch, 0, 0, 3, 1);

    // A level bar of the page with its hint, bound to its row.
    auto bar = [this](const char* control, const char* caption, const char* hint) {
        const FieldRow& r = pagekit::row(control);
        const Column c = levelColumn(r, QString::fromLatin1(caption), 80);
        new BarBinding(ctx_, r, c.bar, c.value);
        c.bar->setToolTip(QString::fromLatin1(hint));
        return c.widget;
    };

    auto* fx = group("Effect", QStringLiteral(" Effects "));
    auto* fxl = new QVBoxLayout(fx);
    fxl->addLayout(row({bar("EffectReverb", "REV SEND", "Reverb send level"),
                        bar("EffectChorus", "CHO SEND", "Chorus send level")}));
    fxl->addWidget(checkBox(ctx_, "EffectVariation", "VARI", "Variation send ON/OFF"), 0, Qt::AlignHCenter);
    grid->addWidget(fx, 0, 1);

    auto* vel = group("Velocity", QStringLiteral(" Velocity "));
    auto* vg = new QGridLayout(vel);
    vg->setHorizontalSpacing(2);
    vg->addWidget(levelCaption(QStringLiteral("LIMIT")), 0, 0, 1, 2, Qt::AlignHCenter);
    vg->addWidget(levelCaption(QStringLiteral("SENSE")), 0, 2, 1, 2, Qt::AlignHCenter);
    vg->addWidget(bar("VelocityLimitLow", "LO", "Velocity Limit-LOW level"), 1, 0);
    vg->addWidget(bar("VelocityLimitHigh", "HI", "Velocity Limit-HIGH level"), 1, 1);
    vg->addWidget(bar("VelocitySenseDepth", "DPTH", "Velocity sense depth"), 1, 2);
    vg->addWidget(bar("VelocitySenseOffset", "OFS", "Velocity sense offset"), 1, 3);
    auto* defaults = new QPushButton(QStringLiteral("Set to defaults"));
    defaults->setObjectName(QStringLiteral("VelocityDefaults"));
    defaults->setToolTip(QStringLiteral("Set all velocity-levels to default values"));
    connect(defaults, &QPushButton::clicked, this, [this] { VelocityDefaultsClick(); });
    vg->addWidget(defaults, 2, 0, 1, 4);
    grid->addWidget(vel, 0, 2);

    auto* tune = group("NoteTune", QStringLiteral(" Tune "));
    auto* tg = new QGridLayout(tune);
    tg->setHorizontalSpacing(2);
    tg->addWidget(levelCaption(QStringLiteral("NOTE")), 0, 0, 1, 2, Qt::AlignHCenter);
    tg->addWidget(bar("NoteShift", "SHIFT", "Note shift (semitones)"), 1, 0);
    tg->addWidget(bar("NoteDetune", "DET", "Note detune"), 1, 1);
    grid->addWidget(tune, 1, 1);

    auto* play = group("Playing", QStringLiteral(" Playing "));
    auto* plh = new QHBoxLayout(play);
    plh->addWidget(bar("LayerVolume", "LAYER VOL", "Layer main volume"));
    auto* sw = new QVBoxLayout;
    sw->addWidget(levelCaption(QStringLiteral("active")));
    QCheckBox* poly = checkBox(ctx_, "PlayPoly", "Poly", "Poly-/monophonic playmode");
    sw->addWidget(checkBox(ctx_, "LayerOn", "Layer", "Enable Layer"));
    sw->addWidget(poly);
    sw->addStretch(1);
    plh->addLayout(sw);
    grid->addWidget(play, 1, 2);

    auto* pos = group("Positions", QStringLiteral(" Positions "));
    auto* pg = new QGridLayout(pos);
    pg->setVerticalSpacing(2);
    auto horizontal = [&](const char* control, const char* caption, const char* hint, int r) {
        const FieldRow& fr = pagekit::row(control);
        pg->addWidget(new QLabel(QString::fromLatin1(caption)), r, 0);
        QSlider* s = levelBar(control, Qt::Horizontal, fr.min, fr.max);
        s->setToolTip(QString::fromLatin1(hint));
        QLabel* l = levelValueLabel(control, 4);
        pg->addWidget(s, r, 1);
        pg->addWidget(l, r, 2);
        new BarBinding(ctx_, fr, s, l);
    };
    horizontal("NoteLimitLow", "Note-Limit Low", "Lowest played note", 0);
    horizontal("NoteLimitHigh", "Note-Limit High", "Highest played note", 1);
    horizontal("PanPot", "Pan-Position", "Position of played note (L-C-R)", 2);
    pg->addWidget(checkBox(ctx_, "RandomPan", "Random Panning", "Set panpot to random position"), 3, 1);
    pg->setColumnStretch(1, 1);
    grid->addWidget(pos, 2, 1, 1, 2);

    // At creation the list shows the first bank with its first voice, until
    // the first refresh shows the image.
    const QSignalBlocker b1(bank_), b2(voices_);
    bank_->setCurrentIndex(0);
    voices_->setCurrentRow(0);
}

void LayerVoicePage::listVoices(int bankRow)
{
    // Most layer switches stay in the bank already listed.
    if (bankRow == listedBank_)
        return;
    listedBank_ = bankRow;
    const QSignalBlocker block(voices_);
    for (int p = 0; p < kVoicesPerBank; ++p)
        voices_->item(p)->setText(qs(cp1252ToUtf8(voiceEntry(bankRow, p))));
}

void LayerVoicePage::PatchBankNumberChange(int index)
{
    edit(ctx_, pagekit::row("PatchBankNumber"), index);
    // Rebuilt in place: the list stays scrolled where the user left it.
    const int top = voices_->verticalScrollBar()->value();
    listVoices(index);
    {
        const QSignalBlocker block(voices_);
        const int program = ctx_.session.position(pagekit::row("PatchVoiceNumber"));
        voices_->setCurrentRow(std::clamp(program, 0, kVoicesPerBank - 1), QItemSelectionModel::ClearAndSelect);
    }
    voices_->verticalScrollBar()->setValue(top);
}

void LayerVoicePage::VelocityDefaultsClick()
{
    showEcho(ctx_, ctx_.session.velocityDefaults());
}

} // namespace kw
