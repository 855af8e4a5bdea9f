#include "editor/LayerEgPage.h"

#include "editor/EnvelopeView.h"
#include "editor/PageKit.h"
#include "editor/Pictures.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <string>
#include <vector>

namespace kw {

using namespace pagekit;

namespace {

// One bar of a group: its control is the group's prefix + `suffix`, its hint
// the group's hint prefix + `hint`.
struct Part {
    const char* suffix;
    const char* caption;
    const char* hint;
};

const Part kAdsr[] = {{"AtkTime", "ATK TIME", "attack-time"},
                      {"DcyTime", "DCY TIME", "decay-time"},
                      {"SusLevel", "SUS LVL", "sustain-level"},
                      {"RelTime", "REL TIME", "release-time"}};
const Part kPitch[] = {{"InitLevel", "INIT LVL", "initial level"}, {"AtkTime", "ATK TIME", "attack-time"},
                       {"AtkLevel", "ATK LVL", "attack-level"},   {"DcyTime", "DCY TIME", "decay-time"},
                       {"RelTime", "REL TIME", "release-time"},   {"RelLevel", "REL LVL", "release-level"}};
const Part kLfo[] = {{"Speed", "SPEED", "Speed"},
                     {"AMod", "AM", "amplitude-modulation level"},
                     {"PMod", "PM", "pitch-modulation level"},
                     {"FMod", "FM", "frequency-modulation level"}};
const Part kFilter[] = {{"Cutoff", "CUTOFF", "cutoff-frequency"}, {"Resonance", "RESONANCE", "resonance-level"}};

// The bars of one group side by side, with their hints.
// The captions of a row of groups, lined up together at the end.
using Captions = std::vector<QLabel*>;

template <size_t N>
void addBars(EditorContext& ctx, QHBoxLayout* into, const char* prefix, const char* hintPrefix,
             const Part (&parts)[N], Captions& captions, std::vector<BarBinding*>* bound = nullptr)
{
    for (const Part& p : parts) {
        const FieldRow& r = row((std::string(prefix) + p.suffix).c_str());
        const Column c = levelColumn(r, QString::fromLatin1(p.caption), 88);
        auto* binding = new BarBinding(ctx, r, c.bar, c.value);
        into->addWidget(c.widget);
        c.bar->setToolTip(QString::fromLatin1(hintPrefix) + QString::fromLatin1(p.hint));
        captions.push_back(c.caption);
        if (bound)
            bound->push_back(binding);
    }
}

// An envelope group: its bars above, the picture drawn from their positions below.
template <size_t N>
QGroupBox* envelopeGroup(EditorContext& ctx, const char* name, const char* title, const char* pictureName,
                         const char* prefix, const char* hintPrefix, const Part (&parts)[N], EnvelopeView::Kind kind,
                         QSize design, Captions& captions)
{
    auto* g = group(name, QString::fromLatin1(title));
    auto* v = new QVBoxLayout(g);
    v->setSpacing(3);
    auto* h = new QHBoxLayout;
    h->setSpacing(1);
    std::vector<BarBinding*> bound;
    addBars(ctx, h, prefix, hintPrefix, parts, captions, &bound);
    v->addLayout(h);
    std::vector<QSlider*> sliders;
    for (BarBinding* b : bound)
        sliders.push_back(b->bar());
    auto* view = new EnvelopeView(kind, design, [sliders] {
        std::vector<int> p;
        for (QSlider* s : sliders)
            p.push_back(s->value());
        return p;
    });
    view->setObjectName(QString::fromLatin1(pictureName));
    v->addWidget(view);
    for (BarBinding* b : bound)
        b->setPicture(view);
    return g;
}

} // namespace

LayerEgPage::LayerEgPage(EditorContext& ctx, QWidget* parent) : QWidget(parent)
{
    QGridLayout* grid = pageGrid(this);
    Captions envelopes, levels;
    QGroupBox* amp = envelopeGroup(ctx, "AmpEG", " Amp EG ", "PaintAEG", "AEG", "Amp-EG ", kAdsr,
                                   EnvelopeView::Kind::Adsr, QSize(90, 31), envelopes);
    QGroupBox* fil = envelopeGroup(ctx, "FilterEG", " Filter EG ", "PaintFEG", "FEG", "Filter-EG ", kAdsr,
                                   EnvelopeView::Kind::Adsr, QSize(90, 31), envelopes);
    QGroupBox* pit = envelopeGroup(ctx, "PitchEG", " Pitch EG ", "PaintPEG", "PEG", "Pitch-EG ", kPitch,
                                   EnvelopeView::Kind::Pitch, QSize(146, 31), envelopes);
    equalHeights(envelopes);
    grid->addWidget(amp, 0, 0);
    grid->addWidget(fil, 0, 1);
    grid->addWidget(pit, 0, 2, 1, 2);

    auto* lfo = group("LFOMod", QStringLiteral(" LFO Levels "));
    auto* lh = new QHBoxLayout(lfo);
    lh->setSpacing(1);
    addBars(ctx, lh, "LFO", "LFO ", kLfo, levels);
    grid->addWidget(lfo, 1, 0);

    auto* wave = group("LFOWave", QStringLiteral(" LFO Waveform "));
    auto* wg = new QGridLayout(wave);
    wg->setVerticalSpacing(3);
    const char* const waveNames[] = {"LFOWaveSaw", "LFOWaveTriangle", "LFOWaveSH"};
    const char* const waveHints[] = {"LFO sawtooth wave", "LFO triangle wave", "LFO sample & hold"};
    const char* const waveImages[] = {"ImageSawtooth", "ImageTriangle", "Image1"};
    RadioBinding::Buttons waves;
    ClickPicture* pictures[3] = {};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton;
        r->setObjectName(QString::fromLatin1(waveNames[i]));
        r->setToolTip(QString::fromLatin1(waveHints[i]));
        auto* pic = new ClickPicture(QSize(44, 20), [i](QPainter& pp, const QRect& rr) { paintWave(pp, rr, i); });
        pic->setObjectName(QString::fromLatin1(waveImages[i]));
        pic->setToolTip(QString::fromLatin1(waveHints[i]));
        pictures[i] = pic;
        // Each button right beside its picture; the room left over stays at the side.
        auto* beside = new QHBoxLayout;
        beside->setSpacing(4);
        beside->addWidget(r);
        beside->addWidget(pic);
        beside->addStretch(1);
        wg->addLayout(beside, i, 0);
        waves.emplace_back(r, &row(waveNames[i]));
    }
    auto* we = new QRadioButton(QStringLiteral("Element"));
    we->setObjectName(QStringLiteral("LFOWaveElement"));
    we->setToolTip(QStringLiteral("LFO wave element-settings"));
    wg->addWidget(we, 3, 0);
    waves.emplace_back(we, &row("LFOWaveElement"));
    // A byte that no picture stands for shows "Element".
    auto* waveBinding = new RadioBinding(ctx, std::move(waves), true);
    // The picture selects its wave exactly as the button does.
    for (int i = 0; i < 3; ++i)
        pictures[i]->onClick = [waveBinding, i] { waveBinding->choose(i); };
    grid->addWidget(wave, 1, 1);

    auto* sync = group("LFOSync", QStringLiteral(" LFO Sync "));
    auto* sv = new QVBoxLayout(sync);
    const char* const syncNames[] = {"LFOSyncFree", "LFOSyncRetrigger", "LFOSyncElement"};
    const char* const syncText[] = {"FreeRun", "Retrigger", "Element"};
    const char* const syncHints[] = {"LFO no phase-init", "LFO phase-init retriggered", "LFO sync element-settings"};
    RadioBinding::Buttons syncs;
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(syncText[i]));
        r->setObjectName(QString::fromLatin1(syncNames[i]));
        r->setToolTip(QString::fromLatin1(syncHints[i]));
        sv->addWidget(r);
        syncs.emplace_back(r, &row(syncNames[i]));
    }
    new RadioBinding(ctx, std::move(syncs), true);
    sv->addStretch(1);
    grid->addWidget(sync, 1, 2);

    auto* freq = group("FilterFreq", QStringLiteral(" Filter Frequency "));
    auto* fh = new QHBoxLayout(freq);
    fh->setSpacing(1);
    addBars(ctx, fh, "Filter", "Filter ", kFilter, levels);
    equalHeights(levels);
    grid->addWidget(freq, 1, 3);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
}

} // namespace kw
