#pragma once
// The folder chooser: a folder tree, a drive chooser and the path they show.
// Made for one question and destroyed afterwards; the caller reads confirmed()
// and folder() once the modal run is over.

#include <QDialog>

#include <functional>
#include <optional>

class QPushButton;

namespace kw {

class FolderBrowser;

class TPathWindow : public QDialog {
    Q_OBJECT
public:
    // `title` says what the folder is for.
    TPathWindow(const QString& title, const QString& startFolder, QWidget* parent = nullptr);

    bool confirmed() const { return confirmed_; }
    // The folder shown, with the system's separators and no trailing one.
    QString folder() const;
    FolderBrowser* browser() const { return browser_; }

    void OKButtonClick();
    void CancelButtonClick();
    // Asks for a name and makes that folder in the one shown, then shows it.
    void NewFolderButtonClick();

    // How the window asks for a new folder's name (given the folder it goes
    // in; nothing: cancelled) and tells what went wrong; Qt's dialogs unless
    // replaced.
    void setNameAsker(std::function<std::optional<QString>(const QString&)> ask) { askName_ = std::move(ask); }
    void setMessageBox(std::function<void(const QString&)> fn) { messageBox_ = std::move(fn); }

private:
    FolderBrowser* browser_;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QPushButton* NewFolderButton;
    std::function<std::optional<QString>(const QString&)> askName_;
    std::function<void(const QString&)> messageBox_;
    bool confirmed_ = false;
};

} // namespace kw
