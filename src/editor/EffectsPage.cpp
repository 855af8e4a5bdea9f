#include "editor/EffectsPage.h"

#include "editor/Bindings.h"
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
    // A type pair missing from its table leaves the list at its previous entry.
    auto* reverb = typeList("ReverbType", fx::reverbTypes(), rc);
    auto* chorus = typeList("ChorusType", fx::chorusTypes(), rc);
    rcl->addWidget(new QLabel(QStringLiteral("REVERB"), rc), 0, 0);
    rcl->addWidget(new QLabel(QStringLiteral("CHORUS"), rc), 0, 1);
    rcl->addWidget(reverb, 1, 0);
    rcl->addWidget(chorus, 1, 1);
    all_.push_back(new ListBinding(ctx_, row("ReverbType"), reverb));
    all_.push_back(new ListBinding(ctx_, row("ChorusType"), chorus));
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
    for (const SendDef& d : defs) {
        const FieldRow& r = row(d.control);
        const Column c = column(QString::fromLatin1(d.control), QString::fromLatin1(d.caption), r.min, r.max, sends,
                                QString::fromLatin1(d.hint));
        all_.push_back(new BarBinding(ctx_, r, c.bar, c.value));
        c.widget->setFixedWidth(50);
        sl->addWidget(c.widget);
    }
    top->addWidget(sends, 0, 1);

    auto* var = new QGroupBox(QStringLiteral(" Variation "), this);
    var->setObjectName("Variation");
    auto* vl = new QHBoxLayout(var);
    vl->setContentsMargins(4, 2, 4, 4);
    vari_ = typeList("VariType", fx::variationTypes(), var);
    vari_->setMinimumWidth(vari_->fontMetrics().horizontalAdvance(QStringLiteral("Early Reflection 1")) + 24);
    onChoice(vari_, [this](int r) { variTypeClick(r); });
    all_.push_back(new CustomBinding(ctx_, row("VariType"), vari_, [this] {
        const int type = ctx_.session.position(row("VariType"));
        if (type >= 0)
            selectAtTop(vari_, type);
        rebuildVariation(vari_->currentRow());
    }));
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
    refresh(ctx_, all_);
}

void EffectsPage::variTypeClick(int r)
{
    edit(ctx_, row("VariType"), r);
    rebuildVariation(r);
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
    const int n = vari::loadValue(ctx_.image().edit[BlockKind::Common30], slot);
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
    if (spec.enabled())
        v.value->setText(text(vari::valueText(spec, n, decimalSeparator())));
    ctx_.session.setVariationValue(slot, n);
}

} // namespace kw
