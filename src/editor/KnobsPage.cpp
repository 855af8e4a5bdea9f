#include "editor/KnobsPage.h"

#include "editor/Bindings.h"
#include "editor/Looks.h"
#include "editor/PageKit.h"
#include "model/ValueLists.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTabBar>
#include <QVBoxLayout>

namespace kw {

using namespace pagekit;

namespace {
const char* const kKnobCaptions[6] = {"KN 1 A-EG ATK", "KN 2 A-EG REL", "KN 3 ASN1",
                                      "KN 4 FILT CUT", "KN 5 FILT RES", "KN 6 ASN2"};

// The four tabs over the assign bank: small, the others grey beside the
// chosen one, their text readable on a light palette and a dark one alike.
void styleAssignTabs(QTabBar* tabs)
{
    const QPalette p = QApplication::palette();
    const QColor window = p.color(QPalette::Window);
    const bool dark = window.lightness() < 128;
    const QColor idle = dark ? window.lighter(140) : QColor(0xe4, 0xe4, 0xe4);
    const QColor border = dark ? window.lighter(200) : QColor(0xa8, 0xa8, 0xa8);
    const QColor chosen = p.color(QPalette::Base);
    const QString sheet =
        QStringLiteral("QTabBar::tab { padding: 2px 7px; margin-right: 1px; border: 1px solid %1; border-bottom: none;"
                       " border-top-left-radius: 3px; border-top-right-radius: 3px; background: %2; color: %3; }"
                       "QTabBar::tab:selected { background: %4; color: %5; }")
            .arg(border.name(), idle.name(), looks::readable(p.color(QPalette::WindowText), idle).name(),
                 chosen.name(), looks::readable(p.color(QPalette::Text), chosen).name());
    if (tabs->styleSheet() != sheet)
        tabs->setStyleSheet(sheet);
}
} // namespace

KnobsPage::KnobsPage(EditorContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx)
{
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 4, 4, 4);
    top->setSpacing(4);

    auto* scenes = new QHBoxLayout;
    std::vector<QLabel*> captions;
    for (int s = 0; s < 2; ++s) {
        auto* box = new QGroupBox(s == 0 ? QStringLiteral(" Scene 1 ") : QStringLiteral(" Scene 2 "), this);
        box->setObjectName(s == 0 ? "Scene1" : "Scene2");
        auto* lay = new QHBoxLayout(box);
        lay->setContentsMargins(4, 2, 4, 2);
        lay->setSpacing(0);
        for (int k = 0; k < 6; ++k) {
            const QString name = QStringLiteral("Scene%1Knob%2").arg(s + 1).arg(k + 1);
            const FieldRow& r = row(name.toLatin1().constData());
            const Column c = column(name, QString::fromLatin1(kKnobCaptions[k]), r.min, r.max, 38, box);
            all_.push_back(new BarBinding(ctx_, r, c.bar, c.value));
            captions.push_back(c.caption);
            lay->addWidget(c.widget);
        }
        scenes->addWidget(box);
    }
    equalHeights(captions);
    top->addLayout(scenes, 4);

    auto* assign = new QGroupBox(QStringLiteral(" Assign-Knobs "), this);
    assign->setObjectName("Assign2");
    // Knob 1's caption shares the row of knob 2's tabs, leaving the height
    // to the lists and the sensitivity bar.
    auto* alay = new QGridLayout(assign);
    alay->setContentsMargins(4, 2, 4, 4);
    alay->setVerticalSpacing(0);
    alay->addWidget(new QLabel(QStringLiteral("Knob 1"), assign), 0, 0, Qt::AlignBottom);
    auto* assign1Para = listBox("Assign1Para", assign1ParaItems().data(), int(assign1ParaItems().size()), assign);
    alay->addWidget(assign1Para, 1, 0);
    all_.push_back(new ListBinding(ctx_, row("Assign1Para"), assign1Para));

    auto* tabRow = new QHBoxLayout;
    tabRow->addWidget(new QLabel(QStringLiteral("Knob 2"), assign), 0, Qt::AlignBottom);
    assign2Tab_ = new QTabBar(assign);
    assign2Tab_->setObjectName("Assign2Tab");
    for (int t = 1; t <= 4; ++t)
        assign2Tab_->addTab(QStringLiteral("Param. %1").arg(t));
    assign2Tab_->setExpanding(false);
    assign2Tab_->setDrawBase(false);
    assign2Tab_->setUsesScrollButtons(false);
    styleAssignTabs(assign2Tab_);
    looks::onPaletteChange(assign2Tab_, [tabs = assign2Tab_] { styleAssignTabs(tabs); });
    tabRow->addWidget(assign2Tab_, 1, Qt::AlignBottom);
    alay->addLayout(tabRow, 0, 1);

    auto* bank = new QFrame(assign);
    bank->setFrameShape(QFrame::StyledPanel);
    auto* blay = new QHBoxLayout(bank);
    blay->setContentsMargins(4, 4, 4, 4);
    const auto tab = [this] { return assignTab(); };
    auto* assign2Para = listBox("Assign2Para", assign2ParaItems().data(), int(assign2ParaItems().size()), bank);
    assignBank_.push_back(new ListBinding(ctx_, row("Assign2Para"), assign2Para, tab));
    blay->addWidget(assign2Para, 1);

    auto* affect = new QGroupBox(QStringLiteral(" Affect "), bank);
    auto* flay = new QVBoxLayout(affect);
    flay->setContentsMargins(4, 2, 4, 2);
    auto* layerGroup = new QButtonGroup(this);
    RadioBinding::Buttons layers;
    for (int l = 0; l < 4; ++l) {
        auto* rb = new QRadioButton(QStringLiteral("Layer %1").arg(l + 1), affect);
        const QString name = QStringLiteral("Assign2Layer%1").arg(l + 1);
        rb->setObjectName(name);
        layerGroup->addButton(rb, l);
        layers.emplace_back(rb, &row(name.toLatin1().constData()));
        flay->addWidget(rb);
    }
    // A layer byte outside 0..3 leaves the buttons as they were.
    assignBank_.push_back(new RadioBinding(ctx_, std::move(layers), false, tab));
    blay->addWidget(affect, 0, Qt::AlignTop);

    const FieldRow& level = row("Assign2Level");
    const Column c = column(QStringLiteral("Assign2Level"), QStringLiteral("KNOB SENSE"), level.min, level.max, 52,
                            bank, QStringLiteral("Assign-Knob 2 sensitivity"));
    assignBank_.push_back(new BarBinding(ctx_, level, c.bar, c.value, tab));
    blay->addWidget(c.widget);
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
    refresh(ctx_, all_);
    showAssignBank();
}

void KnobsPage::showAssignBank()
{
    refresh(ctx_, assignBank_);
}

} // namespace kw
