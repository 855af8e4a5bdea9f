#pragma once
// The left column of the main window: the user-performance list, the
// button that stores the edit and the one that compares it with the
// original, the edit-layer choice with the four mute buttons and "Edit all
// Layers simult.", and the synth picture.

#include "editor/EditorContext.h"

#include <QIcon>
#include <QWidget>

class QAction;
class QCheckBox;
class QListWidget;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace kw {

class LeftPanel : public QWidget {
    Q_OBJECT
public:
    // A click on the picture triggers `about`, one on `SaveToSynth` triggers
    // `saveToSynth`, one on `CompareButton` triggers `compare`. The list's
    // lines are the session's user-performance list.
    LeftPanel(EditorContext& ctx, QAction* about, QAction* saveToSynth, QAction* compare, QWidget* parent = nullptr);

    // The edit layer, the mute buttons, the affect-all box and whether the
    // original is compared, from the editor state.
    void showEditorState();
    void showComparing();
    // Selects line `index` of `UserPerf` (-1: none) without running its handler.
    void selectUserPerf(int index);
    void setUserPerfEntry(int index, const QString& text);
    // The selected line (-1: none). Qt makes a line current when the list
    // takes the focus without selecting it: that line is not chosen.
    int selectedUserPerf() const;

    void UserPerfClick(int row);
    void EditLayerClick(int layer);
    void MuteLayerClick(int layer, bool down);

private:
    void showMuted(int layer);

    EditorContext& ctx_;
    QListWidget* userPerf_ = nullptr;
    QRadioButton* editLayer_[4] = {};
    QToolButton* muteLayer_[4] = {};
    QCheckBox* affectAll_ = nullptr;
    QPushButton* compare_ = nullptr;
    bool lit_ = false;  // the compare button in its comparing colours
    QIcon volumeIcon_;
    QIcon mutedIcon_;
    bool shownMuted_[4] = {};
};

} // namespace kw
