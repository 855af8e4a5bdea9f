#include "editor/LeftPanel.h"

#include "editor/Looks.h"
#include "editor/PageKit.h"
#include "editor/Pictures.h"
#include "editor/QtText.h"
#include "model/Cp1252.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kw {

using namespace pagekit;

namespace {

// Runs a function when one of some keys is pressed in the watched widget.
class KeyWatch : public QObject {
public:
    KeyWatch(QWidget* watched, std::initializer_list<int> keys) : QObject(watched), keys_(keys)
    {
        watched->installEventFilter(this);
    }
    std::function<void()> onKey;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress && onKey) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (std::find(keys_.begin(), keys_.end(), key) != keys_.end()) {
                onKey();
                return true;
            }
        }
        return false;
    }

private:
    std::vector<int> keys_;
};

} // namespace

LeftPanel::LeftPanel(EditorContext& ctx, QAction* about, QAction* saveToSynth, QAction* compare, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      // Made once: the style builds a standard icon anew each time it is asked.
      volumeIcon_(style()->standardIcon(QStyle::SP_MediaVolume)),
      mutedIcon_(style()->standardIcon(QStyle::SP_MediaVolumeMuted))
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(4);

    auto* head = new QLabel(QStringLiteral("User Performance"));
    QFont hf = head->font();
    hf.setBold(true);
    head->setFont(hf);
    v->addWidget(head);

    userPerf_ = new QListWidget;
    userPerf_->setObjectName(QStringLiteral("UserPerf"));
    userPerf_->setToolTip(QStringLiteral("Select active User-Performance"));
    userPerf_->setUniformItemSizes(true);
    looks::blackList(userPerf_);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setBold(true);
    userPerf_->setFont(mono);
    for (const std::string& line : ctx_.session.userPerfs().lines())
        userPerf_->addItem(qs(cp1252ToUtf8(line)));
    userPerf_->setMinimumWidth(QFontMetrics(mono).horizontalAdvance(QStringLiteral("128  SQ MMMMMMMM")) + 22);
    connect(userPerf_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* it) { UserPerfClick(userPerf_->row(it)); });
    // Arrow keys only move the highlight; Return chooses, as a click does.
    auto* enter = new KeyWatch(userPerf_, {Qt::Key_Return, Qt::Key_Enter});
    enter->onKey = [this] { UserPerfClick(userPerf_->currentRow()); };
    v->addWidget(userPerf_, 1);

    auto* save = new QPushButton(QStringLiteral("Save changes to User-Perf"));
    save->setObjectName(QStringLiteral("SaveToSynth"));
    save->setToolTip(QStringLiteral("Make actual changes permanent"));
    connect(save, &QPushButton::clicked, saveToSynth, &QAction::trigger);
    compare_ = new QPushButton(QStringLiteral("Compare"));
    compare_->setObjectName(QStringLiteral("CompareButton"));
    compare_->setToolTip(QStringLiteral("Hear the performance as fetched or loaded, and back to the edit (Ctrl+K)"));
    compare_->setCheckable(true);
    // The session says whether it compares; the button only shows it.
    connect(compare_, &QPushButton::clicked, compare, [this, compare] {
        compare->trigger();
        showComparing();
    });
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(save, 1);
    buttons->addWidget(compare_);
    v->addLayout(buttons);

    auto* g = group("ActiveEditLayer", QStringLiteral(" Active Edit/Audible "));
    auto* grid = new QGridLayout(g);
    grid->setVerticalSpacing(2);
    auto* layers = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        const int n = i + 1;
        auto* r = new QRadioButton(QStringLiteral("Layer %1").arg(n));
        r->setObjectName(QStringLiteral("EditLayer%1").arg(n));
        r->setToolTip(QStringLiteral("Edit Layer %1").arg(n));
        layers->addButton(r, n);
        editLayer_[i] = r;
        connect(r, &QRadioButton::clicked, this, [this, n] { EditLayerClick(n); });

        auto* m = new QToolButton;
        m->setObjectName(QStringLiteral("MuteLayer%1").arg(n));
        m->setToolTip(QStringLiteral("Mute Layer %1").arg(n));
        m->setCheckable(true);  // its own group: any number may be down
        m->setIcon(volumeIcon_);
        m->setAutoRaise(false);
        muteLayer_[i] = m;
        connect(m, &QToolButton::toggled, this, [this, n] { showMuted(n); });
        connect(m, &QToolButton::clicked, this, [this, n](bool down) { MuteLayerClick(n, down); });
        grid->addWidget(r, i, 0);
        grid->addWidget(m, i, 1, Qt::AlignRight);
    }
    editLayer_[0]->setChecked(true);
    affectAll_ = new QCheckBox(QStringLiteral("Edit all Layers simult."));
    affectAll_->setObjectName(QStringLiteral("AffectAllLayers"));
    affectAll_->setToolTip(QStringLiteral("Affect editing to ALL Layers"));
    connect(affectAll_, &QCheckBox::clicked, this, [this](bool on) { ctx_.session.setAffectAll(on); });
    grid->addWidget(affectAll_, 4, 0, 1, 2);
    // The captions of the edit-layer buttons: blue while the layer is on
    // (both lighter on a dark window).
    new CustomBinding(ctx_, row("LayerOn"), g, [this] {
        for (int n = 1; n <= 4; ++n) {
            const bool on = ctx_.image().edit.layer(n).data(row("LayerOn").offset) != 0;
            looks::fixedTextColour(editLayer_[n - 1], on ? QColor(Qt::blue) : QColor(Qt::black));
        }
    });
    v->addWidget(g);

    auto* pic = new ClickPicture(QSize(150, 64), paintSynth);
    pic->setObjectName(QStringLiteral("SynthPicture"));
    pic->setToolTip(QStringLiteral("The amazing Techno-Synth"));
    pic->onClick = [about] { about->trigger(); };
    v->addWidget(pic, 0, Qt::AlignHCenter);
}

void LeftPanel::showMuted(int layer)
{
    QToolButton* m = muteLayer_[layer - 1];
    bool& shown = shownMuted_[layer - 1];
    if (shown == m->isChecked())
        return;
    shown = m->isChecked();
    m->setIcon(shown ? mutedIcon_ : volumeIcon_);
}

void LeftPanel::showEditorState()
{
    const EditorState& st = ctx_.state();
    for (int n = 1; n <= 4; ++n) {
        {
            const QSignalBlocker block(muteLayer_[n - 1]);
            muteLayer_[n - 1]->setChecked(st.mute[size_t(n - 1)].muted);
        }
        showMuted(n);
    }
    {
        const QSignalBlocker block(editLayer_[st.editLayer - 1]);
        editLayer_[st.editLayer - 1]->setChecked(true);
    }
    {
        const QSignalBlocker block(affectAll_);
        affectAll_->setChecked(st.affectAll);
    }
    showComparing();
}

void LeftPanel::showComparing()
{
    const bool comparing = ctx_.session.comparing();
    if (compare_->isChecked() == comparing && lit_ == comparing)
        return;
    {
        const QSignalBlocker block(compare_);
        compare_->setChecked(comparing);
    }
    // Lit while the original sounds, in any palette: a pressed look alone
    // is easy to miss, and every edit is refused meanwhile.
    QPalette p;  // none of its own: the window's
    if (comparing) {
        p = palette();
        p.setColor(QPalette::Button, QColor(0xF0, 0xC0, 0x40));
        p.setColor(QPalette::ButtonText, Qt::black);
    }
    compare_->setPalette(p);
    lit_ = comparing;
}

void LeftPanel::selectUserPerf(int index)
{
    const QSignalBlocker block(userPerf_);
    if (index >= 0 && index < userPerf_->count()) {
        userPerf_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    } else {
        userPerf_->setCurrentRow(-1);
        userPerf_->clearSelection();
    }
}

void LeftPanel::setUserPerfEntry(int index, const QString& entry)
{
    if (index >= 0 && index < userPerf_->count())
        userPerf_->item(index)->setText(entry);
}

int LeftPanel::selectedUserPerf() const
{
    const QList<QListWidgetItem*> selected = userPerf_->selectedItems();
    return selected.isEmpty() ? -1 : userPerf_->row(selected.front());
}

void LeftPanel::UserPerfClick(int row)
{
    if (row < 0)
        return;
    ctx_.session.chooseUserPerf(row);
}

void LeftPanel::EditLayerClick(int layer)
{
    ctx_.session.setEditLayer(layer);
}

void LeftPanel::MuteLayerClick(int layer, bool down)
{
    showEcho(ctx_, ctx_.session.mute(layer, down));
}

} // namespace kw
