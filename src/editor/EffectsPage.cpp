#include "editor/EffectsPage.h"

#include "editor/PageKit.h"
#include "model/EffectTables.h"
#include "model/FieldTable.h"
#include "model/VariationPages.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <vector>

namespace kw {

using namespace pagekit;

namespace {

template <typename Rows>
QListWidget* typeList(const char* name, Rows rows, QWidget* parent)
{
    std::vector<const char*> names;
    for (const auto& r : rows)
        names.push_back(r.name);
    return listBox(QString::fromLatin1(name), names.data(), int(names.size()), parent);
}

// Drives one variation bar for the page setup. Signals stay blocked so a
// range change that moves the position never counts as the user's edit.
class BarTarget : public vari::VariationControl {
public:
    BarTarget(QSlider* bar, QLabel* name, QLabel* value) : bar_(bar), name_(name), value_(value) {}
    int position() const override { return bar_->value(); }
    void setMinimum(int v) override { bar_->setMinimum(v); }
    void setMaximum(int v) override { bar_->setMaximum(v); }
    void setPosition(int v) override { bar_->setValue(v); }
    void setEnabled(bool on) override { bar_->setEnabled(on); }
    void setName(const std::string& t) override { name_->setText(text(t)); }
    void setValueText(const std::string& t) override { value_->setText(text(t)); }

private:
    QSlider* bar_;
    QLabel* name_;
    QLabel* value_;
};

uint8_t common30Address(uint8_t offset)
{
    return uint8_t(blockInfo(BlockKind::Common30).addrLow + offset);
}

} // namespace

EffectsPage::EffectsPage(EditorContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx)
{
    auto* top = new QGridLayout(this);
    top->setContentsMargins(4, 4, 4, 4);
    top->setSpacing(4);

    auto* rc = new QGroupBox(QStringLiteral(" Reverb / Chorus "), this);
    rc->setObjectName("ReverbChorus");
    auto* rcl = new QGridLayout(rc);
    rcl->setContentsMargins(4, 2, 4, 4);
    rcl->setVerticalSpacing(1);
    reverb_ = typeList("ReverbType", fx::reverbTypes(), rc);
    chorus_ = typeList("ChorusType", fx::chorusTypes(), rc);
    rcl->addWidget(new QLabel(QStringLiteral("REVERB"), rc), 0, 0);
    rcl->addWidget(new QLabel(QStringLiteral("CHORUS"), rc), 0, 1);
    rcl->addWidget(reverb_, 1, 0);
    rcl->addWidget(chorus_, 1, 1);
    onChoice(reverb_, [this](int r) { reverbTypeClick(r); });
    onChoice(chorus_, [this](int r) { chorusTypeClick(r); });
    top->addWidget(rc, 0, 0);

    auto* sends = new QGroupBox(QStringLiteral(" Effectlevels "), this);
    sends->setObjectName("SendLevels");
    auto* sl = new QHBoxLayout(sends);
    sl->setContentsMargins(4, 2, 4, 2);
    sl->setSpacing(0);
    struct SendDef {
        const char* control;
        const char* caption;
        const char* hint;
    };
    static const SendDef defs[3] = {
        {"ChorusToReverb", "CHORUS TO  REV", "Chorus to Reverb send-level"},
        {"VariOnRev", " VARI  TO REV", "Variation on Layer Reverb-send"},
        {"VariOnCho", " VARI  TO CHO", "Variation on Layer Chorus-send"},
    };
    for (size_t i = 0; i < 3; ++i) {
        sends_[i] = new FieldBar(ctx_, row(defs[i].control), QString::fromLatin1(defs[i].caption), sends,
                                 QString::fromLatin1(defs[i].hint));
        sends_[i]->widget()->setFixedWidth(50);
        sl->addWidget(sends_[i]->widget());
    }
    top->addWidget(sends, 0, 1);

    auto* var = new QGroupBox(QStringLiteral(" Variation "), this);
    var->setObjectName("Variation");
    auto* vl = new QHBoxLayout(var);
    vl->setContentsMargins(4, 2, 4, 4);
    vari_ = typeList("VariType", fx::variationTypes(), var);
    vari_->setMinimumWidth(vari_->fontMetrics().horizontalAdvance(QStringLiteral("Early Reflection 1")) + 24);
    onChoice(vari_, [this](int r) { variTypeClick(r); });
    vl->addWidget(vari_);
    for (int s = 0; s < vari::kSlots; ++s) {
        const QString name = QStringLiteral("VPara%1").arg(vari::kParamNumbers[size_t(s)]);
        const Column c = column(name, QStringLiteral("--"), 0, 1, var,
                                QStringLiteral("Variation Parameter %1 (depends on V.-Type)")
                                    .arg(vari::kParamNumbers[size_t(s)]));
        c.caption->setObjectName("Text_" + name);
        c.caption->setMinimumHeight(c.caption->fontMetrics().height() * 3);
        c.bar->setValue(1);
        c.value->setText(QStringLiteral("0"));
        // Wide enough for the dry/wet text, the widest a label usually shows.
        c.widget->setMinimumWidth(c.value->fontMetrics().horizontalAdvance(QStringLiteral("D63 > W")) + 2);
        vbars_[size_t(s)] = {c.caption, c.bar, c.value};
        connect(c.bar, &QSlider::valueChanged, this, [this, s](int) { vparaChange(s); });
        vl->addWidget(c.widget);
    }
    top->addWidget(var, 1, 0, 1, 2);
    top->setRowStretch(0, 2);
    top->setRowStretch(1, 3);
    top->setColumnStretch(0, 1);
}

void EffectsPage::refreshFromImage()
{
    const SendPause pause(ctx_.state);
    const BulkBlock& c30 = ctx_.image.edit[BlockKind::Common30];
    auto show = [&](QListWidget* list, std::optional<int> index) {
        if (index)
            selectAtTop(list, *index);
    };
    show(reverb_, fx::reverbIndexOf(c30.data(effectPair::kReverbType), c30.data(effectPair::kReverbType + 1u)));
    show(chorus_, fx::chorusIndexOf(c30.data(effectPair::kChorusType), c30.data(effectPair::kChorusType + 1u)));
    show(vari_, fx::variationIndexOf(c30.data(effectPair::kVariType), c30.data(effectPair::kVariType + 1u)));
    rebuildVariation(vari_->currentRow());
    for (auto* s : sends_)
        s->refresh();
}

namespace {

// Reverb and chorus types travel as their pair in one two-byte change.
void chooseType(EditorContext& ctx, uint8_t offset, const fx::EffectType& t)
{
    BulkBlock& c30 = ctx.image.edit[BlockKind::Common30];
    c30.data(offset) = t.msb;
    c30.data(offset + 1u) = t.lsb;
    sendCommon2(ctx, common30Address(offset), c30.data(offset), c30.data(offset + 1u));
}

} // namespace

void EffectsPage::reverbTypeClick(int r)
{
    chooseType(ctx_, effectPair::kReverbType, fx::reverbTypes()[size_t(r)]);
}

void EffectsPage::chorusTypeClick(int r)
{
    chooseType(ctx_, effectPair::kChorusType, fx::chorusTypes()[size_t(r)]);
}

void EffectsPage::variTypeClick(int r)
{
    const fx::VariationType& t = fx::variationTypes()[size_t(r)];
    BulkBlock& c30 = ctx_.image.edit[BlockKind::Common30];
    c30.data(effectPair::kVariType) = t.msb;
    c30.data(effectPair::kVariType + 1u) = t.lsb;
    // A new type always starts from its own defaults, even when it is the
    // type already chosen.
    for (int s = 0; s < vari::kSlots; ++s)
        vari::storeValue(c30, s, t.defaults[size_t(s)]);
    rebuildVariation(r);
    ctx_.senders.bulk(BlockKind::Common30);
}

void EffectsPage::rebuildVariation(int type)
{
    shownType_ = type;
    std::vector<BarTarget> targets;
    std::vector<QSignalBlocker> blocks;
    targets.reserve(vari::kSlots);
    blocks.reserve(vari::kSlots);
    std::array<vari::VariationControl*, vari::kSlots> controls{};
    for (size_t s = 0; s < vari::kSlots; ++s) {
        targets.emplace_back(vbars_[s].bar, vbars_[s].name, vbars_[s].value);
        controls[s] = &targets.back();
        blocks.emplace_back(vbars_[s].bar);
    }
    vari::setupPage(controls, type);
    for (const VBar& v : vbars_)
        v.bar->setPageStep(std::max(1, (v.bar->maximum() - v.bar->minimum()) / 16));
    for (int s = 0; s < vari::kSlots; ++s)
        loadVariation(s);
}

void EffectsPage::loadVariation(int slot)
{
    const VBar& v = vbars_[size_t(slot)];
    const vari::ParamSpec& spec = vari::page(shownType_)[size_t(slot)];
    const int n = vari::loadValue(ctx_.image.edit[BlockKind::Common30], slot);
    {
        const QSignalBlocker block(v.bar);
        v.bar->setValue(vari::positionFromValue(v.bar->minimum(), v.bar->maximum(), n));
    }
    if (spec.enabled())
        v.value->setText(text(vari::valueText(spec, n, decimalSeparator())));
}

void EffectsPage::vparaChange(int slot)
{
    const VBar& v = vbars_[size_t(slot)];
    const vari::ParamSpec& spec = vari::page(shownType_)[size_t(slot)];
    const int n = vari::valueFromPosition(v.bar->minimum(), v.bar->maximum(), v.bar->value());
    BulkBlock& c30 = ctx_.image.edit[BlockKind::Common30];
    vari::storeValue(c30, slot, n);
    if (spec.enabled())
        v.value->setText(text(vari::valueText(spec, n, decimalSeparator())));
    const uint8_t first = vari::pairOffset(slot);
    sendCommon2(ctx_, common30Address(first), c30.data(first), c30.data(first + 1u));
}

} // namespace kw
