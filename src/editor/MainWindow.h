#pragma once
// The editing window: the frame around the user-performance column, the
// five pages and the status strip. It holds the menus, wires the parts
// together, runs the two refreshes and answers what the core asks of it.

#include "editor/EditorContext.h"
#include "midi/Ui.h"

#include <QMainWindow>

#include <map>
#include <string>

class QAction;
class QScrollArea;

namespace kw {
class CommonPage;
class LeftPanel;
class StatusPanel;
}

class TMainWindow : public QMainWindow, public kw::Ui {
public:
    // Becomes the edit session's window, and asks through `ctx.dialogs`.
    explicit TMainWindow(kw::EditorContext& ctx, QWidget* parent = nullptr);
    ~TMainWindow() override;

    // Sets every control from the image and resets the editor state.
    void RefreshAll();
    // Sets every control that shows the edit layer.
    void RefreshLayerPage();

    // kw::Ui
    void showStatus(const std::string& text) override;
    void setLamp(kw::Lamp lamp, bool bright) override;
    void setLampState(kw::Lamp lamp, kw::LampState state, const std::string& port = {}) override;
    void messageBox(const std::string& text) override;
    void answerBox(const std::string& text, const std::string& topic = {}) override;
    void withdrawBox(const std::string& topic) override;
    bool messageBoxShown() const override;
    // Any modal dialog: the user's own (Preferences, a file dialog, a
    // question) or a command's box.
    bool dialogOpen() const override;
    void setBusy(bool busy) override;
    void refreshAll() override { RefreshAll(); }
    void refreshLayerPage() override { RefreshLayerPage(); }
    void showImage() override;
    void selectUserPerf(int index) override;
    void setUserPerfEntry(int index, const std::string& text) override;
    void followKnob(const std::string& control, int position) override;

    // While busy (a fetch runs) the window refuses every input, as a
    // disabled window would, but keeps its look.
    bool isBusy() const { return busy_; }

    // Menu actions by their names ("MenuFilePreferences", "MenuAbout", ...),
    // for the shell that connects the commands; the synth picture triggers
    // "MenuAbout", the button `SaveToSynth` triggers "SaveToSynth", the
    // button `CompareButton` and Ctrl+K trigger "Compare".
    QAction* action(const char* name) const;

    void MenuEditCopyLayerClick();
    void MenuEditPasteLayerClick();
    void MenuEditUndoClick();
    void MenuEditRedoClick();

    // What the screen leaves for the window's frame below the menus: the
    // pages scroll inside a window no larger than that.
    QSize roomOnScreen() const;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void buildMenus();
    // Whether there is anything to undo or redo; the compare button shows
    // whether the original is compared.
    void showHistory();
    // "Undo ..." and "Redo ..." name what they would change, as the Edit
    // menu opens.
    void nameHistorySteps();

    kw::EditorContext& ctx_;
    std::map<std::string, QAction*> actions_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    kw::LeftPanel* left_ = nullptr;
    kw::CommonPage* common_ = nullptr;
    kw::StatusPanel* status_ = nullptr;
    QObject* inputBlock_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    bool screenWatched_ = false;
    QObject* gestures_ = nullptr;
    bool busy_ = false;
};
