#pragma once
// The two-button question window: made once at start and asked again and
// again by the commands that need a choice (which kind of file, go on or not).

#include <QDialog>

class QLabel;
class QPushButton;

namespace kw {

class TMessageWindow : public QDialog {
    Q_OBJECT
public:
    explicit TMessageWindow(QWidget* parent = nullptr);

    // 1: the first button, 2: the second, 0: closed without either.
    int ask(const QString& text, const QString& firstButton, const QString& secondButton);

    void OKButtonClick();
    void CancelButtonClick();

private:
    QLabel* TextLabel;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    int result_ = 0;
};

} // namespace kw
