#include "editor/KnobsPage.h"

#include "editor/PageKit.h"
#include "model/ValueLists.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabBar>
#include <QVBoxLayout>

namespace kw {

using namespace pagekit;

namespace {
const char* const kKnobCaptions[6] = {"KN 1 A-EG ATK", "KN 2 A-EG REL", "KN 3 ASN1",
                                      "KN 4 FILT CUT", "KN 5 FILT RES", "KN 6 ASN2"};
} // namespace

KnobsPage::KnobsPage(EditorContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx)
{
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 4, 4, 4);
    top->setSpacing(4);

    auto* scenes = new QHBoxLayout;
    for (int s = 0; s < 2; ++s) {
        auto* box = new QGroupBox(s == 0 ? QStringLiteral(" Scene 1 ") : QStringLiteral(" Scene 2 "), this);
        box->setObjectName(s == 0 ? "Scene1" : "Scene2");
        auto* lay = new QHBoxLayout(box);
        lay->setContentsMargins(4, 2, 4, 2);
        lay->setSpacing(0);
        for (int k = 0; k < 6; ++k) {
            const QString name = QStringLiteral("Scene%1Knob%2").arg(s + 1).arg(k + 1);
            auto* fb = new FieldBar(ctx_, row(name.toLatin1().constData()), QString::fromLatin1(kKnobCaptions[k]), box);
            fb->widget()->setFixedWidth(38);
            knobs_[size_t(6 * s + k)] = fb;
            lay->addWidget(fb->widget());
        }
        scenes->addWidget(box);
    }
    top->addLayout(scenes, 4);

    auto* assign = new QGroupBox(QStringLiteral(" Assign-Knobs "), this);
    assign->setObjectName("Assign2");
    // Knob 1's caption shares the row of knob 2's tabs, leaving the height
    // to the lists and the sensitivity bar.
    auto* alay = new QGridLayout(assign);
    alay->setContentsMargins(4, 2, 4, 4);
    alay->setVerticalSpacing(0);
    alay->addWidget(new QLabel(QStringLiteral("Knob 1"), assign), 0, 0, Qt::AlignBottom);
    assign1Para_ = listBox("Assign1Para", assign1ParaItems().data(), int(assign1ParaItems().size()), assign);
    alay->addWidget(assign1Para_, 1, 0);
    onChoice(assign1Para_, [this](int r) { assign1ParaClick(r); });

    auto* tabRow = new QHBoxLayout;
    tabRow->addWidget(new QLabel(QStringLiteral("Knob 2"), assign), 0, Qt::AlignBottom);
    assign2Tab_ = new QTabBar(assign);
    assign2Tab_->setObjectName("Assign2Tab");
    for (int t = 1; t <= 4; ++t)
        assign2Tab_->addTab(QStringLiteral("Param. %1").arg(t));
    assign2Tab_->setExpanding(false);
    assign2Tab_->setDrawBase(false);
    assign2Tab_->setUsesScrollButtons(false);
    assign2Tab_->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 2px 7px; margin-right: 1px; border: 1px solid #a8a8a8; border-bottom: none;"
        " border-top-left-radius: 3px; border-top-right-radius: 3px; background: #e4e4e4; }"
        "QTabBar::tab:selected { background: palette(base); }"));
    tabRow->addWidget(assign2Tab_, 1, Qt::AlignBottom);
    alay->addLayout(tabRow, 0, 1);

    auto* bank = new QFrame(assign);
    bank->setFrameShape(QFrame::StyledPanel);
    auto* blay = new QHBoxLayout(bank);
    blay->setContentsMargins(4, 4, 4, 4);
    assign2Para_ = listBox("Assign2Para", assign2ParaItems().data(), int(assign2ParaItems().size()), bank);
    onChoice(assign2Para_, [this](int r) { assign2ParaClick(r); });
    blay->addWidget(assign2Para_, 1);

    auto* affect = new QGroupBox(QStringLiteral(" Affect "), bank);
    auto* flay = new QVBoxLayout(affect);
    flay->setContentsMargins(4, 2, 4, 2);
    layerGroup_ = new QButtonGroup(this);
    for (int l = 0; l < 4; ++l) {
        auto* rb = new QRadioButton(QStringLiteral("Layer %1").arg(l + 1), affect);
        rb->setObjectName(QStringLiteral("Assign2Layer%1").arg(l + 1));
        layerGroup_->addButton(rb, l);
        assign2Layer_[size_t(l)] = rb;
        flay->addWidget(rb);
        connect(rb, &QRadioButton::clicked, this, [this, l] { assign2LayerClick(l); });
    }
    blay->addWidget(affect, 0, Qt::AlignTop);

    assign2Level_ = new FieldBar(ctx_, row("Assign2Level"), QStringLiteral("KNOB SENSE"), bank,
                                 QStringLiteral("Assign-Knob 2 sensitivity"), [this] { return assignTab(); });
    assign2Level_->widget()->setFixedWidth(52);
    blay->addWidget(assign2Level_->widget());
    alay->addWidget(bank, 1, 1);
    alay->setColumnStretch(0, 2);
    alay->setColumnStretch(1, 3);

    connect(assign2Tab_, &QTabBar::currentChanged, this, [this](int) { showAssignBank(); });
    top->addWidget(assign, 5);
}

int KnobsPage::assignTab() const
{
    return std::max(0, assign2Tab_->currentIndex());
}

void KnobsPage::refreshFromImage()
{
    {
        const SendPause pause(ctx_.state);
        for (auto* k : knobs_)
            k->refresh();
        selectAtTop(assign1Para_, ctx_.image.edit[BlockKind::Common00].data(row("Assign1Para").offset));
    }
    showAssignBank();
}

void KnobsPage::showAssignBank()
{
    const SendPause pause(ctx_.state);
    const int t = assignTab();
    const BulkBlock& c00 = ctx_.image.edit[BlockKind::Common00];
    selectAtTop(assign2Para_, c00.data(row("Assign2Para").offsetFor(t)));
    const int layer = c00.data(row("Assign2Layer1").offsetFor(t));
    if (layer >= 0 && layer < 4) {
        const QSignalBlocker block(assign2Layer_[size_t(layer)]);
        assign2Layer_[size_t(layer)]->setChecked(true);
    }
    assign2Level_->refresh();
}

void KnobsPage::assign1ParaClick(int r)
{
    storeAndSend(ctx_, row("Assign1Para"), r);
}

void KnobsPage::sendAssignBank(int t)
{
    const FieldRow& para = row("Assign2Para");
    const BulkBlock& c00 = ctx_.image.edit[BlockKind::Common00];
    const uint8_t first = para.pairOffset(t);
    sendCommon2(ctx_, uint8_t(blockInfo(para.block).addrLow + first), c00.data(first), c00.data(first + 1u));
}

void KnobsPage::assign2ParaClick(int r)
{
    const int t = assignTab();
    const FieldRow& para = row("Assign2Para");
    ctx_.image.edit[BlockKind::Common00].data(para.offsetFor(t)) = para.storedFromPosition(r);
    sendAssignBank(t);
}

void KnobsPage::assign2LayerClick(int layer)
{
    const int t = assignTab();
    const FieldRow& f = row(assign2Layer_[size_t(layer)]->objectName().toLatin1().constData());
    ctx_.image.edit[BlockKind::Common00].data(f.offsetFor(t)) = f.storedFromPosition(1);
    sendAssignBank(t);
}

} // namespace kw
