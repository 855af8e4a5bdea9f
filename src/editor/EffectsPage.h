#pragma once
// Page "Common / Effects": reverb, chorus and variation types, the
// effect-to-effect send levels and the six variation parameter bars.

#include "editor/EditorContext.h"

#include <QWidget>

#include <array>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QSlider;

namespace kw {

namespace pagekit { class Binding; }

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
    void variTypeClick(int row);
    void vparaChange(int slot);
    // Names, ranges and enabled states for `type`, then each bar from the image.
    void rebuildVariation(int type);
    void loadVariation(int slot);
    // Every text the value label of bar `slot` shows for any type.
    static std::vector<std::string> variationTexts(int slot);
    int variationColumnWidth(const std::array<std::vector<std::string>, 6>& texts) const;
    void fitVariationCaptions();

    struct VBar {
        QLabel* name = nullptr;
        QSlider* bar = nullptr;
        QLabel* value = nullptr;
    };

    EditorContext& ctx_;
    QListWidget* vari_ = nullptr;
    std::vector<pagekit::Binding*> all_;
    std::array<VBar, 6> vbars_{};
    int shownType_ = -1;
};

} // namespace kw
