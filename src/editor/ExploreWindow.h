#pragma once
// View › Explore: new sounds from old ones on the edit. The locks and the
// strength, Mutate (Ctrl+M in the main window does the same), a morph
// slider towards another performance (B: a file, or a row of the library
// window dropped here), and a grid of eight candidates bred from the
// performances gathered (files, library rows dropped here, the edit
// itself). A candidate clicked sounds at once; "Keep" makes it the edit,
// "Again" breeds from the candidates ticked. Every result is one step of
// the edit's history.

#include "model/PerformanceImage.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;

namespace kw {

class Dialogs;
class Explorer;
struct Settings;

class ExploreWindow : public QWidget {
public:
    // A named performance the window can take as B or as a parent.
    struct Named {
        std::string name;
        PerformanceImage image;
    };
    // The performances of library entries, by their ids (rows dragged from
    // the library window); empty without a library.
    using LibraryImages = std::function<std::vector<Named>(const std::vector<int64_t>& ids)>;

    // Reads a user memory the user picks from the synth and hands it back
    // as B; empty where there is no synth to ask.
    using UserMemory = std::function<void(std::function<void(Named)>)>;
    ExploreWindow(Explorer& explorer, Dialogs& dialogs, Settings& settings, LibraryImages library,
                  UserMemory userMemory = {}, QWidget* parent = nullptr);

    // The performances of .SYX and .PFB files, damaged ones named in a box
    // and left out.
    std::vector<Named> readFiles(const std::vector<std::string>& paths);
    void setPartner(const Named& b);
    void addParents(const std::vector<Named>& parents);
    void showCandidates();

protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void optionsChanged();
    void morphMoved(int percent);

    Explorer& explorer_;
    Dialogs& dialogs_;
    Settings& settings_;
    LibraryImages library_;
    UserMemory userMemory_;
    std::array<QCheckBox*, 7> locks_{};
    QCheckBox* choices_;
    QSpinBox* strength_;
    QGroupBox* morphBox_;
    QLabel* partner_;
    QSlider* morph_;
    QListWidget* parents_;
    std::vector<Named> parentList_;
    std::array<QPushButton*, 8> candidates_{};
    std::array<QCheckBox*, 8> ticks_{};
    QPushButton* keep_;
    QPushButton* again_;
};

} // namespace kw
