#pragma once
// The program's dialogs: the question window, Qt's message boxes, file
// dialogs and progress window, all belonging to the main window.

#include "midi/Ui.h"
#include "session/Dialogs.h"

#include <QPointer>
#include <QWidget>

class QMessageBox;

namespace kw {

class TMessageWindow;

// Where a file dialog opens for `folder`: the folder, else the nearest one
// above it that still exists, else the home folder.
QString startFolder(const QString& folder);

class QtDialogs : public Dialogs {
public:
    ~QtDialogs() override;

    // The window the dialogs belong to. The question window and the boxes
    // are made then, once: showing them later costs no building (the
    // "CS1x responding..." box comes up while the window starts).
    void setParent(QWidget* window);
    TMessageWindow& messageWindow();

    int ask(const std::string& text, const std::string& firstButton, const std::string& secondButton) override;
    bool confirm(const std::string& caption, const std::string& text, Default byDefault = Default::Yes) override;
    int choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons) override;
    // Titled like the main window, or like the program before it exists.
    void inform(const std::string& text) override;
    void inform(const std::string& text, const std::string& details) override;
    // One box, reused; it does not block the main window. A notice takes
    // no focus from what the user is doing there; an answer does, as it
    // answers what the user did.
    void notify(const std::string& text) override;
    bool notifying() const override;
    void answer(const std::string& text, const std::string& topic = {}) override;
    void withdraw(const std::string& topic) override;
    std::optional<std::string> chooseOpenFile(const std::string& title, const std::string& filter,
                                              const std::string& folder) override;
    std::vector<std::string> chooseOpenFiles(const std::string& title, const std::string& filter,
                                             const std::string& folder) override;
    std::optional<std::string> chooseSaveFile(const std::string& title, const std::string& filter,
                                              const std::string& folder, const std::string& proposedName) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& startFolder) override;
    std::optional<int> chooseUserPerf(const UserPerfChoice& choice) override;
    std::unique_ptr<Progress> progress(const std::string& title, const std::string& text, int maximum) override;

private:
    QMessageBox& informBox();
    QMessageBox& noticeBox();
    // Shows what `content_` holds; `activate` for an answer.
    void showContent(bool activate);

    QPointer<QWidget> parent_;
    QPointer<TMessageWindow> messages_;
    QPointer<QMessageBox> inform_;
    QPointer<QMessageBox> notice_;
    BoxContent content_;
};

} // namespace kw
