#include "editor/CommonPage.h"

#include "editor/CommonBoxes.h"
#include "editor/NameValidator.h"
#include "editor/PageKit.h"
#include "editor/QtText.h"
#include "model/ValueLists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <functional>

namespace kw {

using namespace pagekit;

namespace {

// The user left the box for another control of this window. Switching to
// another application, opening a menu, the window being disabled or a page
// switch take the focus away as well, but they are not leaving.
class LeaveWatch : public QObject {
public:
    LeaveWatch(QWidget* box, std::function<void()> left) : QObject(box), left_(std::move(left))
    {
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        // A box that is going out of sight (its page left, the window
        // closed) is not left by the user either.
        if (e->type() == QEvent::FocusOut && !watched->signalsBlocked() && static_cast<QWidget*>(watched)->isVisible()) {
            switch (static_cast<QFocusEvent*>(e)->reason()) {
            case Qt::MouseFocusReason:
            case Qt::TabFocusReason:
            case Qt::BacktabFocusReason:
            case Qt::ShortcutFocusReason: left_(); break;
            default: break;
            }
        }
        return false;
    }

private:
    std::function<void()> left_;
};

// The window's Undo and Redo, not the box's own: the name typed is one step
// of the performance's history, and the box's own would change the text
// behind the session's back.
class HistoryKeys : public QObject {
public:
    explicit HistoryKeys(QWidget* box) : QObject(box) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::ShortcutOverride)
            return false;
        auto* k = static_cast<QKeyEvent*>(e);
        const bool history = k->matches(QKeySequence::Undo) || k->matches(QKeySequence::Redo)
                             || k->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)
                             || k->keyCombination() == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
        if (!history)
            return false;
        e->ignore();  // not the box's: the shortcut goes to the window
        return true;
    }
};

// A level bar of the page with its hint, bound to its row.
QWidget* levelBar(EditorContext& ctx, const char* control, const char* caption, int length, const char* hint)
{
    const FieldRow& r = row(control);
    const Column c = levelColumn(r, QString::fromLatin1(caption), length);
    new BarBinding(ctx, r, c.bar, c.value);
    c.bar->setToolTip(QString::fromLatin1(hint));
    return c.widget;
}

} // namespace

CommonPage::CommonPage(EditorContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx)
{
    QGridLayout* grid = pageGrid(this);

    auto* perf = group("Performance", QStringLiteral(" Performance "));
    auto* pg = new QGridLayout(perf);
    pg->addWidget(new QLabel(QStringLiteral("Name")), 0, 0);
    perfName_ = new QLineEdit;
    perfName_->setObjectName(QStringLiteral("PerformanceName"));
    perfName_->setToolTip(QStringLiteral("Performance name"));
    perfName_->setMaxLength(int(perfName::kLength));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(mono.pointSizeF() * 1.2);
    mono.setBold(true);
    perfName_->setFont(mono);
    perfName_->setFixedWidth(QFontMetrics(mono).horizontalAdvance(QString(9, QLatin1Char('M'))) + 8);
    auto* validator = new NameValidator(perfName_, [this] {
        ctx_.session.status("Only ASCII characters fit into a name");
    });
    perfName_->setValidator(validator);
    connect(perfName_, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (t != lastName_)
            PerformanceNameChange();
    });
    // Return or leaving the box ends the typing: the next name typed is a
    // step of its own.
    connect(perfName_, &QLineEdit::returnPressed, this, [this] {
        PerformanceNameChange();
        ctx_.session.endGesture();
    });
    new LeaveWatch(perfName_, [this] {
        PerformanceNameChange();
        ctx_.session.endGesture();
    });
    new HistoryKeys(perfName_);
    new CustomBinding(ctx_, row("PerformanceName"), perfName_, [this] {
        // The eight bytes as eight characters, trailing blanks kept; a byte
        // the synth cannot hold (from a file) shows as a blank.
        const BulkBlock& c00 = ctx_.image().edit[BlockKind::Common00];
        QString name;
        for (size_t i = 0; i < perfName::kLength; ++i) {
            const QChar c(c00.data(perfName::kOffset + i));
            name += perfName::storable(c.unicode()) ? c : QLatin1Char(' ');
        }
        const QSignalBlocker block(perfName_);
        perfName_->setText(name);
        lastName_ = name;
    });
    pg->addWidget(perfName_, 0, 1);
    pg->addWidget(new QLabel(QStringLiteral("Category")), 1, 0);
    auto* perfType = new QComboBox;
    perfType->setObjectName(QStringLiteral("PerformanceType"));
    perfType->setToolTip(QStringLiteral("Performance cathegory"));
    perfType->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    perfType->setMinimumContentsLength(14);
    for (const char* item : performanceTypeItems())
        perfType->addItem(qs(item));
    new ComboBinding(ctx_, row("PerformanceType"), perfType, false);
    pg->addWidget(perfType, 1, 1);
    perfNumber_ = new QLabel;
    perfNumber_->setObjectName(QStringLiteral("Label_PerfName"));
    pg->addWidget(perfNumber_, 2, 0, 1, 2);
    pg->setRowStretch(3, 1);
    pg->addWidget(levelBar(ctx_, "CommonVolume", "VOLUME", 90, "Common volume"), 0, 2, 4, 1);
    grid->addWidget(perf, 0, 0);

    auto* pitch = group("Pitch", QStringLiteral(" Pitch "));
    auto* ph = new QHBoxLayout(pitch);
    auto* porta = new QVBoxLayout;
    porta->addWidget(levelCaption(QStringLiteral("PORTAMENTO")));
    auto* portaOn = new QCheckBox(QStringLiteral("ON"));
    portaOn->setObjectName(QStringLiteral("PortaOn"));
    portaOn->setToolTip(QStringLiteral("Portamento ON/OFF"));
    new CheckBinding(ctx_, row("PortaOn"), portaOn);
    porta->addWidget(portaOn);
    porta->addStretch(1);
    ph->addStretch(1);
    ph->addLayout(porta);
    ph->addSpacing(12);
    ph->addWidget(levelBar(ctx_, "PortaTime", "TIME", 70, "Portamento time"));
    ph->addWidget(levelBar(ctx_, "PitchBend", "BEND", 70, "Pitch-bend range (semitones)"));
    ph->addStretch(1);
    grid->addWidget(pitch, 1, 0);

    grid->addWidget(new ArpeggiatorBox(ctx_), 0, 1);
    auto* ctl = new QHBoxLayout;
    auto* wheel = new MWheelBox(ctx_);
    auto* foot = new FootControlBox(ctx_);
    std::vector<QLabel*> captions = wheel->captions();
    captions.insert(captions.end(), foot->captions().begin(), foot->captions().end());
    equalHeights(captions);
    ctl->addWidget(wheel);
    ctl->addWidget(foot);
    grid->addLayout(ctl, 1, 1);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
}

void CommonPage::showProgram(int line)
{
    perfNumber_->setText(QStringLiteral("Program %1, Bank MSB 63, LSB 65")
                             .arg(line < 0 ? QStringLiteral("---") : QString::number(line)));
}

void CommonPage::PerformanceNameChange()
{
    lastName_ = perfName_->text();
    ctx_.session.setName(lastName_.toLatin1().toStdString());
}

} // namespace kw
