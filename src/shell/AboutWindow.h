#pragma once
// The about box, with its animated logo: 14 frames drawn by the program and
// shown in turn every 70 ms.

#include <QDialog>
#include <QPixmap>

#include <array>

class QTimer;

namespace kw {

// The frames of the animated logo, 136 x 60 pixels each.
const std::array<QPixmap, 14>& orskLogoFrames();

class TAboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit TAboutWindow(QWidget* parent = nullptr);

    // The logo frame shown now, 0..13.
    int frame() const { return frame_; }

    void FormCreate();
    void OrskTimerEvent();

private:
    QWidget* OrskLogo;
    QTimer* OrskTimer;
    int frame_ = 0;
};

} // namespace kw
