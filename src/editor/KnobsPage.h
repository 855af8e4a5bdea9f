#pragma once
// Page "Common / Knobs": the two scenes of six knobs and the assign knobs.

#include "editor/EditorContext.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QListWidget;
class QRadioButton;
class QTabBar;

namespace kw {

namespace pagekit { class FieldBar; }

class KnobsPage : public QWidget {
    Q_OBJECT
public:
    KnobsPage(EditorContext& ctx, QWidget* parent = nullptr);

    // Every control from the image; runs no handler and sends nothing. The
    // selected assign tab stays as the user left it.
    void refreshFromImage();

    // Shows the assign bank of the selected tab (`Assign2TabChange`).
    void showAssignBank();
    int assignTab() const;

private:
    void assign1ParaClick(int row);
    void assign2ParaClick(int row);
    void assign2LayerClick(int layer);  // 0..3
    void sendAssignBank(int tab);

    EditorContext& ctx_;
    std::array<pagekit::FieldBar*, 12> knobs_{};
    QListWidget* assign1Para_ = nullptr;
    QTabBar* assign2Tab_ = nullptr;
    QListWidget* assign2Para_ = nullptr;
    std::array<QRadioButton*, 4> assign2Layer_{};
    QButtonGroup* layerGroup_ = nullptr;
    pagekit::FieldBar* assign2Level_ = nullptr;
};

} // namespace kw
