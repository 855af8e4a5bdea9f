#pragma once
// Page "Common / Effects": reverb, chorus and variation types, the
// effect-to-effect send levels and the six variation parameter bars.

#include "editor/EditorContext.h"

#include <QWidget>

#include <array>

class QLabel;
class QListWidget;
class QSlider;

namespace kw {

namespace pagekit { class FieldBar; }

class EffectsPage : public QWidget {
    Q_OBJECT
public:
    EffectsPage(EditorContext& ctx, QWidget* parent = nullptr);

    // Every control from the image; runs no handler and sends nothing. A type
    // pair missing from its table leaves that list at its previous entry.
    void refreshFromImage();

    // The `VariType` entry the variation bars are laid out for (-1: none).
    int shownVariationType() const { return shownType_; }

private:
    void reverbTypeClick(int row);
    void chorusTypeClick(int row);
    void variTypeClick(int row);
    void vparaChange(int slot);
    // Names, ranges and enabled states for `type`, then each bar from the image.
    void rebuildVariation(int type);
    void loadVariation(int slot);

    struct VBar {
        QLabel* name = nullptr;
        QSlider* bar = nullptr;
        QLabel* value = nullptr;
    };

    EditorContext& ctx_;
    QListWidget* reverb_ = nullptr;
    QListWidget* chorus_ = nullptr;
    QListWidget* vari_ = nullptr;
    std::array<pagekit::FieldBar*, 3> sends_{};
    std::array<VBar, 6> vbars_{};
    int shownType_ = -1;
};

} // namespace kw
