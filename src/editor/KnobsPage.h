#pragma once
// Page "Common / Knobs": the two scenes of six knobs and the assign knobs.

#include "editor/EditorContext.h"

#include <QWidget>

#include <vector>

class QTabBar;

namespace kw {

namespace pagekit { class Binding; }

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
    EditorContext& ctx_;
    QTabBar* assign2Tab_ = nullptr;
    std::vector<pagekit::Binding*> all_;
    std::vector<pagekit::Binding*> assignBank_;  // the bindings of the selected tab
};

} // namespace kw
