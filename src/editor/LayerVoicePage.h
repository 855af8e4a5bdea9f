#pragma once
// Page "Layer Voice" (`TabSheet3`): the edit layer's bank and voice, effect
// sends, velocity, tune, playing switches, note limits and pan.

#include "editor/EditorContext.h"

#include <QWidget>

class QComboBox;
class QListWidget;

namespace kw {

class LayerVoicePage : public QWidget {
    Q_OBJECT
public:
    explicit LayerVoicePage(EditorContext& ctx, QWidget* parent = nullptr);

    // A bank picked in `PatchBankNumber` (table row `index`).
    void PatchBankNumberChange(int index);
    void VelocityDefaultsClick();

private:
    // The voice names of bank row `bankRow` in `PatchVoiceNumber`.
    void listVoices(int bankRow);

    EditorContext& ctx_;
    QComboBox* bank_ = nullptr;
    QListWidget* voices_ = nullptr;
    int listedBank_ = 0;  // made with the first bank's names
};

} // namespace kw
