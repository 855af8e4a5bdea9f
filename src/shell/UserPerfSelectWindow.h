#pragma once
// The chooser of one of the 128 user performances, with the caller's caption
// and button text. Made for one question; the caller reads confirmed() and
// selected() once the modal run is over.

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

namespace kw {

class TUserPerfSelectWindow : public QDialog {
    Q_OBJECT
public:
    // `entries`: the texts of the main window's user-performance list.
    explicit TUserPerfSelectWindow(const QStringList& entries, QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    void setButtonText(const QString& text);
    // -1 selects nothing.
    void setSelected(int index);
    // The entry shown at the top of the list once the window is up.
    void setTopIndex(int index);

    bool confirmed() const { return confirmed_; }
    // 0..127, or -1 when nothing is selected.
    int selected() const;
    // The entry shown at the top of the list now.
    int topIndex() const;

    void UserPerfOKClick();
    void UserPerfCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void scrollToTop();

    QLabel* Label32;
    QListWidget* UserPerfSelect;
    QPushButton* UserPerfOK;
    QPushButton* UserPerfCancel;
    bool confirmed_ = false;
    int topIndex_ = 0;
};

} // namespace kw
