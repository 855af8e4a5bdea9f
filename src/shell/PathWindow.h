#pragma once
// The folder chooser: a folder tree, a drive chooser and the path they show.
// Made for one question and destroyed afterwards; the caller reads confirmed()
// and folder() once the modal run is over.

#include <QDialog>

class QPushButton;

namespace kw {

class FolderBrowser;

class TPathWindow : public QDialog {
    Q_OBJECT
public:
    explicit TPathWindow(const QString& startFolder, QWidget* parent = nullptr);

    bool confirmed() const { return confirmed_; }
    // The folder shown, with the system's separators and no trailing one.
    QString folder() const;
    FolderBrowser* browser() const { return browser_; }

    void OKButtonClick();
    void CancelButtonClick();

private:
    FolderBrowser* browser_;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    bool confirmed_ = false;
};

} // namespace kw
