#pragma once
// Page "Layer EG's / LFO" (`TabSheet4`): the three envelopes with their
// pictures, the LFO levels, waveform and sync, and the filter.

#include "editor/EditorContext.h"

#include <QWidget>

namespace kw {

class LayerEgPage : public QWidget {
    Q_OBJECT
public:
    explicit LayerEgPage(EditorContext& ctx, QWidget* parent = nullptr);
};

} // namespace kw
