#pragma once
// The editing window: user performances on the left, five pages of controls
// bound to the performance image on the right, the status line below.

#include "editor/EditorContext.h"
#include "midi/Ui.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSlider;
class QTabWidget;
class QToolButton;

namespace kw {
struct FieldRow;
class EnvelopeView;
class KnobsPage;
class EffectsPage;
class ArpeggiatorBox;
class MWheelBox;
class FootControlBox;
}

class TMainWindow : public QMainWindow, public kw::Ui {
public:
    explicit TMainWindow(kw::EditorContext& ctx, QWidget* parent = nullptr);
    ~TMainWindow() override;

    // Step after the select sequence of a user-performance click: request the
    // first block of the performance fetch. Wired to the receiver.
    std::function<void()> startFetch;
    // "&Preferences" in the File menu.
    std::function<void()> openPreferences;
    // The picture in the left column and the About menu.
    std::function<void()> openAbout;
    // Stand-ins for the modal boxes (tests, scripted runs); empty: real boxes.
    std::function<void(const std::string&)> messageHook;
    std::function<bool(const std::string& caption, const std::string& text)> askHook;

    // Sets every control from the image and resets the editor state.
    void RefreshAll();
    // Sets every control that shows the edit layer.
    void RefreshLayerPage();

    // kw::Ui
    void showStatus(const std::string& text) override;
    void setLamp(kw::Lamp lamp, bool bright) override;
    void messageBox(const std::string& text) override;
    bool askYesNo(const std::string& caption, const std::string& text) override;
    void setBusy(bool busy) override;
    void refreshAll() override { RefreshAll(); }
    void refreshLayerPage() override { RefreshLayerPage(); }
    void selectUserPerf(int index) override;
    void setUserPerfEntry(int index, const std::string& text) override;
    void followKnob(const std::string& control, int position) override;

    // Menu actions by their names, for the shell that connects the file and
    // transfer commands.
    QAction* action(const char* name) const;

    // Handlers that are more than one binding row.
    void UserPerfClick(int row);
    void PatchBankNumberChange(int index);
    void PatchVoiceNumberClick(int index);
    void MenuEditCopyLayerClick();
    void MenuEditPasteLayerClick();
    void MuteLayerClick(int layer, bool down);
    void EditLayerClick(int layer);

private:
    struct LayerSlider {
        const kw::FieldRow* row;
        QSlider* slider;
        QLabel* label;
        kw::EnvelopeView* picture;
    };

    void buildMenus();
    QWidget* buildLeftColumn();
    QWidget* buildStatusPanel();
    QWidget* buildCommonPage();
    QWidget* buildVoicePage();
    QWidget* buildEgPage();

    // A vertical bar with its caption above and value label below, bound to
    // the row named `name`.
    QWidget* barColumn(const char* name, const QString& caption, int length = 96);
    QSlider* makeSlider(const char* name, Qt::Orientation o, int min, int max);
    QLabel* makeValueLabel(const char* controlName, int minChars = 4);
    void bindLayerSlider(QSlider* s, const kw::FieldRow& row);
    void bindCommonSlider(QSlider* s, const kw::FieldRow& row);

    // Handlers of the layer page beyond the plain family.
    void layerSliderMoved(const LayerSlider& b, int position);
    void noteLimitMoved(bool low, int position);
    void PanPotChange(int position);
    void RandomPanClick(bool checked);
    void NoteDetuneChange(int position);
    void LayerVolumeChange(int position);
    void VelocityDefaultsClick();
    void LayerOnClick(bool checked);
    void PerformanceNameChange();
    void writeCommonByte(kw::BlockKind block, uint8_t offset, uint8_t value);

    void status(const std::string& text);
    void setSlider(QSlider* s, int position);
    void setLabelOf(QSlider* s, const QString& text);
    void colourEditLayerCaptions();
    void redrawEnvelopes();
    void setLayerSliderFromStored(const char* name, uint8_t stored);
    void setCommonSliderFromStored(const char* name, uint8_t stored);
    QString labelFor(const kw::FieldRow& row, int position) const;

    kw::EditorContext& ctx_;
    kw::BulkBlock& layer() { return ctx_.image.edit.layer(ctx_.state.editLayer); }

    std::map<std::string, LayerSlider> layerSliders_;
    std::map<std::string, QSlider*> commonSliders_;
    std::map<QSlider*, QLabel*> labels_;
    std::map<std::string, QAction*> actions_;

    QListWidget* userPerf_ = nullptr;
    QRadioButton* editLayer_[4] = {};
    QToolButton* muteLayer_[4] = {};
    QCheckBox* affectAll_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QLabel* status_ = nullptr;
    QFrame* lampIn_ = nullptr;
    QFrame* lampOut_ = nullptr;

    QLineEdit* perfName_ = nullptr;
    QComboBox* perfType_ = nullptr;
    QLabel* perfNumber_ = nullptr;
    QCheckBox* portaOn_ = nullptr;

    QComboBox* bank_ = nullptr;
    QListWidget* voices_ = nullptr;
    QCheckBox* effectVariation_ = nullptr;
    QCheckBox* randomPan_ = nullptr;
    QCheckBox* playPoly_ = nullptr;
    QCheckBox* layerOn_ = nullptr;
    QSlider* noteLimitLow_ = nullptr;
    QSlider* noteLimitHigh_ = nullptr;
    QSlider* panPot_ = nullptr;
    QSlider* detune_ = nullptr;
    QSlider* layerVolume_ = nullptr;
    std::vector<QRadioButton*> lfoWave_;  // saw, triangle, S&H, element
    std::vector<QRadioButton*> lfoSync_;  // free, retrigger, element
    kw::EnvelopeView* aeg_ = nullptr;
    kw::EnvelopeView* feg_ = nullptr;
    kw::EnvelopeView* peg_ = nullptr;

    // Pages and boxes another part of the editor fills in.
    kw::KnobsPage* knobsPage_ = nullptr;
    kw::EffectsPage* effectsPage_ = nullptr;
    kw::ArpeggiatorBox* arpeggiator_ = nullptr;
    kw::MWheelBox* modWheel_ = nullptr;
    kw::FootControlBox* footControl_ = nullptr;

    bool busy_ = false;
};
