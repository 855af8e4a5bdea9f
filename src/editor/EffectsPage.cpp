#include "editor/EffectsPage.h"

#include "editor/Bindings.h"
#include "editor/PageKit.h"
#include "editor/QtText.h"
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
    void setName(const std::string& t) override { name_->setText(qs(t)); }
    void setValueText(const std::string& t) override { value_->setText(qs(t)); }

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
    std::vector<QLabel*> sendCaptions;
    for (const SendDef& d : defs) {
        const FieldRow& r = row(d.control);
        const Column c = column(QString::fromLatin1(d.control), QString::fromLatin1(d.caption), r.min, r.max, 50,
                                sends, QString::fromLatin1(d.hint));
        all_.push_back(new BarBinding(ctx_, r, c.bar, c.value));
        sendCaptions.push_back(c.caption);
        sl->addWidget(c.widget);
    }
    equalHeights(sendCaptions);
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
    vl->addStretch(1);
    // Every bar keeps one width and its caption one height whatever the type
    // shows, so choosing a type or moving a bar never moves the window.
    std::array<std::vector<std::string>, vari::kSlots> texts;
    for (int s = 0; s < vari::kSlots; ++s)
        texts[size_t(s)] = variationTexts(s);
    const int width = variationColumnWidth(texts);
    for (int s = 0; s < vari::kSlots; ++s) {
        const QString name = QStringLiteral("VPara%1").arg(vari::kParamNumbers[size_t(s)]);
        const Column c = column(name, QStringLiteral("--"), 0, 1, width, var,
                                QStringLiteral("Variation Parameter %1 (depends on V.-Type)")
                                    .arg(vari::kParamNumbers[size_t(s)]));
        c.caption->setObjectName("Text_" + name);
        c.bar->setValue(1);
        c.value->setText(QStringLiteral("0"));
        fixValueLabel(c.value, texts[size_t(s)]);
        vbars_[size_t(s)] = {c.caption, c.bar, c.value};
        connect(c.bar, &QSlider::valueChanged, this, [this, s](int) { vparaChange(s); });
        vl->addWidget(c.widget);
        vl->addStretch(1);
    }
    fitVariationCaptions();
    top->addWidget(var, 1, 0, 1, 2);
    top->setRowStretch(0, 2);
    top->setRowStretch(1, 3);
    top->setColumnStretch(0, 1);
}

namespace {

// Every page the variation list can show, each once.
std::vector<const vari::Page*> variationPages()
{
    std::vector<const vari::Page*> pages;
    for (int i = -1; i <= int(fx::variationTypes().size()); ++i)
        if (std::find(pages.begin(), pages.end(), &vari::page(i)) == pages.end())
            pages.push_back(&vari::page(i));
    return pages;
}

} // namespace

std::vector<std::string> EffectsPage::variationTexts(int slot)
{
    // Numbers grow toward the ends of their range; tables and the dry/wet
    // balance are read whole. The stored zeros of the start-up image too.
    const std::string separator = decimalSeparator();
    std::vector<std::string> texts{"0"};
    for (const vari::Page* page : variationPages()) {
        const vari::ParamSpec& spec = (*page)[size_t(slot)];
        if (!spec.enabled())
            continue;
        const bool whole = spec.rule == vari::Rule::Table || spec.rule == vari::Rule::DryWet;
        texts.push_back(vari::valueText(spec, 0, separator));
        for (int n = spec.min; n <= spec.max; ++n)
            if (whole || n - spec.min <= 12 || spec.max - n <= 12)
                texts.push_back(vari::valueText(spec, n, separator));
    }
    return texts;
}

int EffectsPage::variationColumnWidth(const std::array<std::vector<std::string>, vari::kSlots>& texts) const
{
    // Wide enough for the longest word of any parameter name and for the
    // widest value, and no narrower than a bar with room around it.
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    const QFontMetrics words(small);
    int widest = 76;
    for (const vari::Page* page : variationPages())
        for (const vari::ParamSpec& spec : *page)
            for (const QString& word : QString::fromLatin1(spec.name).split(QLatin1Char(' ')))
                widest = std::max(widest, words.horizontalAdvance(word) + 4);
    QLabel value;
    QFont bold = font();
    bold.setBold(true);
    value.setFont(bold);
    for (const std::vector<std::string>& t : texts) {
        fixValueLabel(&value, t);
        widest = std::max(widest, value.minimumWidth() + 2);
    }
    return widest;
}

void EffectsPage::fitVariationCaptions()
{
    // The tallest name any type gives any bar decides all six.
    QLabel* caption = vbars_[0].name;
    const QString shown = caption->text();
    int tallest = 0;
    for (const vari::Page* page : variationPages())
        for (const vari::ParamSpec& spec : *page) {
            caption->setText(QString::fromLatin1(spec.name));
            tallest = std::max(tallest, caption->heightForWidth(caption->maximumWidth()));
        }
    caption->setText(shown);
    for (const VBar& v : vbars_)
        v.name->setFixedHeight(tallest);
}

void EffectsPage::refreshFromImage()
{
    refresh(ctx_, all_);
}

void EffectsPage::variTypeClick(int r)
{
    edit(ctx_, row("VariType"), r);
    // The entry the list shows now: the one clicked, or the type compared
    // when the edit was refused.
    rebuildVariation(vari_->currentRow());
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
        v.value->setText(qs(vari::valueText(spec, n, decimalSeparator())));
}

void EffectsPage::vparaChange(int slot)
{
    const VBar& v = vbars_[size_t(slot)];
    const vari::ParamSpec& spec = vari::page(shownType_)[size_t(slot)];
    const int n = vari::valueFromPosition(v.bar->minimum(), v.bar->maximum(), v.bar->value());
    if (spec.enabled())
        v.value->setText(qs(vari::valueText(spec, n, decimalSeparator())));
    ctx_.session.setVariationValue(slot, n);
}

} // namespace kw
