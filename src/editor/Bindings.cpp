#include "editor/Bindings.h"

#include "editor/EditorContext.h"
#include "editor/PageKit.h"
#include "editor/QtText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace kw::pagekit {

Binding::Binding(EditorContext& ctx, const FieldRow& row, QObject* control, std::function<int()> tab)
    : QObject(control), ctx_(ctx), row_(row), tab_(std::move(tab))
{
    ctx_.bindings.add(this);
}

Binding::~Binding()
{
    ctx_.bindings.remove(this);
}

int Binding::shown() const
{
    return ctx_.session.position(row_, tab());
}

void Binding::edited(const FieldRow& row, int position)
{
    edit(ctx_, row, position, tab());
}

// ---------------------------------------------------------------------------

BarBinding::BarBinding(EditorContext& ctx, const FieldRow& row, QSlider* bar, QLabel* label,
                       std::function<int()> tab)
    : Binding(ctx, row, bar, std::move(tab)), bar_(bar), label_(label)
{
    fixValueLabel(label_, labelTexts(row, bar_->minimum(), bar_->maximum()));
    connect(bar_, &QSlider::valueChanged, this, [this](int p) { moved(p); });
}

void BarBinding::setLabel(int position)
{
    label_->setText(qs(row().labelText(position, decimalSeparator())));
}

void BarBinding::moved(int position)
{
    setLabel(position);
    if (picture_)
        picture_->update();
    edited(position);
}

void BarBinding::reapply()
{
    moved(bar_->value());
}

void BarBinding::refresh()
{
    {
        const QSignalBlocker block(bar_);
        bar_->setValue(shown());  // the bar clamps to its own range
    }
    label_->setText(qs(ctx_.session.shownText(row(), tab(), decimalSeparator())));
    if (picture_)
        picture_->update();
}

void BarBinding::follow(int position)
{
    {
        const QSignalBlocker block(bar_);
        bar_->setValue(position);
    }
    setLabel(bar_->value());
    if (picture_)
        picture_->update();
}

// ---------------------------------------------------------------------------

CheckBinding::CheckBinding(EditorContext& ctx, const FieldRow& row, QAbstractButton* box,
                           std::function<void(bool)> onClick)
    : Binding(ctx, row, box), box_(box)
{
    connect(box_, &QAbstractButton::clicked, this, [this, onClick = std::move(onClick)](bool on) {
        if (onClick)
            onClick(on);
        else
            edited(on ? 1 : 0);
    });
}

void CheckBinding::refresh()
{
    const QSignalBlocker block(box_);
    box_->setChecked(shown() != 0);
}

// ---------------------------------------------------------------------------

RadioBinding::RadioBinding(EditorContext& ctx, Buttons buttons, bool lastTakesTheRest, std::function<int()> tab)
    : Binding(ctx, *buttons.front().second, buttons.front().first, std::move(tab)),
      buttons_(std::move(buttons)),
      lastTakesTheRest_(lastTakesTheRest)
{
    for (size_t i = 0; i < buttons_.size(); ++i)
        connect(buttons_[i].first, &QAbstractButton::clicked, this, [this, i] { edited(*buttons_[i].second, 1); });
}

void RadioBinding::choose(int index)
{
    buttons_[size_t(index)].first->setChecked(true);
    edited(*buttons_[size_t(index)].second, 1);
}

void RadioBinding::refresh()
{
    QAbstractButton* checked = lastTakesTheRest_ ? buttons_.back().first : nullptr;
    for (const auto& [button, row] : buttons_)
        if (ctx_.session.position(*row, tab()) != 0) {
            checked = button;
            break;
        }
    if (!checked)
        return;
    const QSignalBlocker block(checked);
    checked->setChecked(true);
}

// ---------------------------------------------------------------------------

ListBinding::ListBinding(EditorContext& ctx, const FieldRow& row, QListWidget* list, std::function<int()> tab)
    : Binding(ctx, row, list, std::move(tab)), list_(list)
{
    onChoice(list_, [this](int r) { edited(r); });
}

void ListBinding::refresh()
{
    // -1: the image names no entry of the list; it stays as it was.
    const int entry = shown();
    if (entry >= 0)
        selectAtTop(list_, entry);
}

// ---------------------------------------------------------------------------

ComboBinding::ComboBinding(EditorContext& ctx, const FieldRow& row, QComboBox* combo, bool userOnly)
    : Binding(ctx, row, combo), combo_(combo)
{
    auto pick = [this](int i) {
        if (i >= 0)
            edited(i);
    };
    if (userOnly)
        connect(combo_, &QComboBox::activated, this, pick);
    else
        connect(combo_, &QComboBox::currentIndexChanged, this, pick);
}

void ComboBinding::refresh()
{
    const QSignalBlocker block(combo_);
    const int entry = shown();
    combo_->setCurrentIndex(entry < combo_->count() ? entry : -1);
}

// ---------------------------------------------------------------------------

void Bindings::remove(Binding* b)
{
    all_.erase(std::remove(all_.begin(), all_.end(), b), all_.end());
}

void Bindings::refreshAll()
{
    for (Binding* b : all_)
        b->refresh();
}

void Bindings::refreshLayer()
{
    for (Binding* b : all_)
        if (b->row().isLayer())
            b->refresh();
}

void Bindings::refresh(const FieldRow& row)
{
    for (Binding* b : all_)
        if (&b->row() == &row)
            b->refresh();
}

void Bindings::show(const Echo& echo)
{
    for (const FieldRow* row : echo.rows)
        refresh(*row);
}

BarBinding* Bindings::bar(std::string_view control) const
{
    for (Binding* b : all_)
        if (control == b->row().control)
            if (auto* bar = dynamic_cast<BarBinding*>(b))
                return bar;
    return nullptr;
}

void edit(EditorContext& ctx, const FieldRow& row, int position, int tab)
{
    showEcho(ctx, ctx.session.apply(row, position, tab));
}

void showEcho(EditorContext& ctx, const Echo& echo)
{
    if (echo.empty())
        return;
    const SendsPaused pause(ctx.state());
    ctx.bindings.show(echo);
}

void refresh(EditorContext& ctx, const std::vector<Binding*>& bindings)
{
    const SendsPaused pause(ctx.session.state());
    for (Binding* b : bindings)
        b->refresh();
}

} // namespace kw::pagekit
