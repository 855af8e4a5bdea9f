#pragma once
// Controls bound to field rows. A binding sets its control from the image
// (signals blocked, nothing sent) and hands the user's changes to the edit
// session; what else the session says it changed is set again through the
// registry, one control at a time.

#include "model/FieldTable.h"

#include <QObject>

#include <functional>
#include <string_view>
#include <utility>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;
class QListWidget;
class QSlider;
class QWidget;

namespace kw {

struct EditorContext;
struct Echo;

namespace pagekit {

class Binding : public QObject {
public:
    // Lives as long as `control`, and registers with the context's registry.
    Binding(EditorContext& ctx, const FieldRow& row, QObject* control, std::function<int()> tab = {});
    ~Binding() override;

    const FieldRow& row() const { return row_; }
    // Sets the control from the image; runs no handler and sends nothing.
    virtual void refresh() = 0;

protected:
    // The assign bank shown, for the rows that have one.
    int tab() const { return tab_ ? tab_() : 0; }
    // What the control shows for the image.
    int shown() const;
    // The user moved the control: one edit through the session, then the
    // other controls it changed are set again.
    void edited(int position) { edited(row_, position); }
    void edited(const FieldRow& row, int position);

    EditorContext& ctx_;

private:
    const FieldRow& row_;
    std::function<int()> tab_;
};

// A track bar and its value label, sized once for the widest text the bar can
// show; a picture drawn from the bar redraws with it.
class BarBinding : public Binding {
public:
    BarBinding(EditorContext& ctx, const FieldRow& row, QSlider* bar, QLabel* label, std::function<int()> tab = {});
    void refresh() override;
    // Moves the bar as a knob on the synth did: its label and picture follow,
    // no handler runs and nothing is sent.
    void follow(int position);
    // The bar's edit for where it stands, as if the user had just moved it
    // there (a box that hands the value back to the bar).
    void reapply();
    void setPicture(QWidget* picture) { picture_ = picture; }
    QSlider* bar() const { return bar_; }

private:
    void moved(int position);
    void setLabel(int position);

    QSlider* bar_;
    QLabel* label_;
    QWidget* picture_ = nullptr;
};

// A check box: 1 when checked. `onClick` replaces the plain edit where a box
// stands for more than its row (MIDI clock gives the tempo back to the bar).
class CheckBinding : public Binding {
public:
    CheckBinding(EditorContext& ctx, const FieldRow& row, QAbstractButton* box,
                 std::function<void(bool)> onClick = {});
    void refresh() override;

private:
    QAbstractButton* box_;
};

// Radio buttons over one byte, each with its own row. A byte that no button
// stands for checks the last button when `lastTakesTheRest`, else leaves the
// group as it is.
class RadioBinding : public Binding {
public:
    using Buttons = std::vector<std::pair<QAbstractButton*, const FieldRow*>>;
    RadioBinding(EditorContext& ctx, Buttons buttons, bool lastTakesTheRest, std::function<int()> tab = {});
    void refresh() override;
    // What a click on button `index` does, for pictures that choose as the button does.
    void choose(int index);

private:
    Buttons buttons_;
    bool lastTakesTheRest_;
};

// A list box: the entry is the position. Every pick of the user edits, also
// of the entry already selected (under "Edit all Layers simult." that sets
// the other layers too); the arrow keys audition as they move.
class ListBinding : public Binding {
public:
    ListBinding(EditorContext& ctx, const FieldRow& row, QListWidget* list, std::function<int()> tab = {});
    void refresh() override;

private:
    QListWidget* list_;
};

// A drop-down list; `userOnly` edits on the user's pick alone, otherwise on
// every change of the current entry.
class ComboBinding : public Binding {
public:
    ComboBinding(EditorContext& ctx, const FieldRow& row, QComboBox* combo, bool userOnly);
    void refresh() override;

private:
    QComboBox* combo_;
};

// A refresh of its own for a control that shows more than one row's byte.
class CustomBinding : public Binding {
public:
    CustomBinding(EditorContext& ctx, const FieldRow& row, QObject* control, std::function<void()> refresh)
        : Binding(ctx, row, control), refresh_(std::move(refresh))
    {
    }
    void refresh() override { refresh_(); }

private:
    std::function<void()> refresh_;
};

// Every binding of the window, in the order they were made: refreshes are
// loops over it. Call under a send pause.
class Bindings {
public:
    void add(Binding* b) { all_.push_back(b); }
    void remove(Binding* b);

    void refreshAll();
    // The controls that show a field of the edit layer.
    void refreshLayer();
    void refresh(const FieldRow& row);
    // The controls an edit changed besides its own.
    void show(const Echo& echo);
    // The bar bound to `control`, or nullptr.
    BarBinding* bar(std::string_view control) const;

private:
    std::vector<Binding*> all_;
};

// One edit through the session, then the other controls it changed are set
// again from the image.
void edit(EditorContext& ctx, const FieldRow& row, int position, int tab = 0);
// Sets again, with sending paused, the controls an edit changed besides its own.
void showEcho(EditorContext& ctx, const Echo& echo);

// Sets `bindings` from the image with sending paused: a page's own refresh.
void refresh(EditorContext& ctx, const std::vector<Binding*>& bindings);

} // namespace pagekit
} // namespace kw
