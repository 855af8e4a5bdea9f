#include "shell/MidiForm.h"

#include "editor/DialogFlags.h"
#include "editor/Looks.h"
#include "midi/MidiPorts.h"
#include "midi/Senders.h"
#include "midi/SynthSearch.h"
#include "shell/ToolTips.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace kw {

namespace {

QLabel* heading(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont bold = l->font();
    bold.setBold(true);
    l->setFont(bold);
    looks::fixedTextColour(l, QColor(0x00, 0x00, 0x80));
    return l;
}

QListWidget* deviceList(const QString& name, QWidget* parent)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    l->setTextElideMode(Qt::ElideMiddle);
    looks::blackList(l);
    return l;
}

QCheckBox* check(const QString& name, const QString& text, const QString& hint, QWidget* parent)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setToolTip(hint);
    return c;
}

// Port names run long ("a2j:Midi Through (capture): Midi Through Port-0"):
// a list is as wide as its longest name, up to half the screen; a name
// longer still loses its middle, and every line has its whole name as tip.
void fitNames(QListWidget* l)
{
    const QFontMetrics fm(l->font());
    int widest = 0;
    for (int i = 0; i < l->count(); ++i) {
        QListWidgetItem* item = l->item(i);
        item->setToolTip(item->text());
        widest = std::max(widest, fm.horizontalAdvance(item->text()));
    }
    const int chrome = 2 * l->frameWidth() + l->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, l) + 12;
    int most = 640;
    if (const QScreen* s = l->screen())
        most = std::max(200, s->availableGeometry().width() / 2 - 40);
    l->setMinimumWidth(std::clamp(widest + chrome, 160, most));
}

int selectedRow(const QListWidget* l)
{
    const auto sel = l->selectedItems();
    return sel.isEmpty() ? -1 : l->row(sel.first());
}

} // namespace

TMidiWindow::TMidiWindow(MidiPorts& ports, Settings& settings, Senders& senders, Scheduler& sched, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags),
      ports_(ports), settings_(settings), senders_(senders), search_(std::make_unique<SynthSearch>(ports, sched))
{
    setObjectName(QStringLiteral("MidiWindow"));
    setWindowTitle(QStringLiteral(" Knobwright - Settings"));
    setModal(true);
    messageBox_ = [this](const QString& text) { QMessageBox::information(this, QApplication::applicationDisplayName(), text); };

    ListMidiInDevice = deviceList(QStringLiteral("ListMidiInDevice"), this);
    ListMidiOutDevice = deviceList(QStringLiteral("ListMidiOutDevice"), this);

    auto* group1 = new QGroupBox(QStringLiteral(" Notice Synth-events "), this);
    group1->setObjectName(QStringLiteral("GroupBox1"));
    CheckNoticeKnobs = check(QStringLiteral("CheckNoticeKnobs"), QStringLiteral("Knob turns"),
                             QStringLiteral("React on Knob-turns and adjust corresponding parameters"), group1);
    CheckNoticePgm = check(QStringLiteral("CheckNoticePgm"), QStringLiteral("Program-changes"),
                           QStringLiteral("On Program-change, request the actual performance-data"), group1);
    auto* g1 = new QVBoxLayout(group1);
    g1->addWidget(CheckNoticeKnobs);
    g1->addWidget(CheckNoticePgm);

    auto* group2 = new QGroupBox(QStringLiteral(" Common "), this);
    group2->setObjectName(QStringLiteral("GroupBox2"));
    CheckShowHints = check(QStringLiteral("CheckShowHints"), QStringLiteral("Show hints"),
                           QStringLiteral("Guess what..."), group2);
    CheckDelay = check(QStringLiteral("CheckDelay"), QStringLiteral("Long Block-delays"),
                       QStringLiteral("Long delay between SysEx-blocks"), group2);
    CheckFetchOnFind = check(QStringLiteral("CheckFetchOnFind"), QStringLiteral("Fetch the synth's sound when it is found"),
                             QStringLiteral("When the synth answers on ports just opened, show the performance it plays"),
                             group2);
    CheckKeepInLibrary = check(QStringLiteral("CheckKeepInLibrary"), QStringLiteral("Keep every performance in the library"),
                               QStringLiteral("Performances fetched, backed up, opened, loaded or sent go into the "
                                              "performance library, and the list's names survive a restart"),
                               group2);
    auto* g2 = new QVBoxLayout(group2);
    g2->addWidget(CheckShowHints);
    g2->addWidget(CheckDelay);
    g2->addWidget(CheckFetchOnFind);
    g2->addWidget(CheckKeepInLibrary);

    FindCS1x = new QPushButton(QStringLiteral("Find CS1x"), this);
    FindCS1x->setObjectName(QStringLiteral("FindCS1x"));
    FindCS1x->setToolTip(QStringLiteral("Ask every MIDI port for a CS1x and choose the pair it answers on"));
    connect(FindCS1x, &QPushButton::clicked, this, &TMidiWindow::FindCS1xClick);
    FindStatus = new QLabel(this);
    FindStatus->setObjectName(QStringLiteral("FindStatus"));
    FindStatus->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("MidiDeviceOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("MidiDeviceCancel"));
    connect(ok, &QPushButton::clicked, this, &TMidiWindow::MidiDeviceOKClick);
    connect(cancel, &QPushButton::clicked, this, &TMidiWindow::MidiDeviceCancelClick);

    auto* lists = new QGridLayout;
    lists->addWidget(heading(QStringLiteral("Label1"), QStringLiteral("MIDI-IN device"), this), 0, 0);
    lists->addWidget(heading(QStringLiteral("Label2"), QStringLiteral("MIDI-OUT device"), this), 0, 1);
    lists->addWidget(ListMidiInDevice, 1, 0);
    lists->addWidget(ListMidiOutDevice, 1, 1);
    // A driver that lists nothing is said here, once, in words; what its
    // library printed is in the log.
    DriverNote = new QLabel(this);
    DriverNote->setObjectName(QStringLiteral("DriverNote"));
    DriverNote->setWordWrap(true);
    lists->addWidget(DriverNote, 2, 0, 1, 2);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(group1);
    bottom->addWidget(group2);
    bottom->addLayout(buttons);

    auto* find = new QHBoxLayout;
    find->addWidget(FindCS1x);
    find->addWidget(FindStatus, 1);

    auto* top = new QVBoxLayout(this);
    top->addLayout(lists, 1);
    top->addLayout(find);
    top->addLayout(bottom);

    FormCreate();
    setFixedSize(sizeHint().expandedTo(QSize(344, 220)));
    if (!parent) {
        if (const QScreen* s = QGuiApplication::primaryScreen())
            move(s->availableGeometry().center() - rect().center());
    }
}

TMidiWindow::~TMidiWindow() = default;

void TMidiWindow::fillLists(const std::string& in, const std::string& out)
{
    // Devices plugged in since the start show up here.
    ports_.rescan();
    auto fill = [](QListWidget* list, const std::vector<std::string>& names, const std::string& chosen, int fallback) {
        list->clear();
        int row = fallback;
        for (size_t i = 0; i < names.size(); ++i) {
            list->addItem(QString::fromStdString(names[i]));
            if (!chosen.empty() && names[i] == chosen && row == fallback)
                row = int(i);
        }
        list->setCurrentRow(row);
    };
    fill(ListMidiInDevice, ports_.inputNames(), in, ports_.configuredInput());
    fill(ListMidiOutDevice, ports_.outputNames(), out, ports_.configuredOutput());
    fitNames(ListMidiInDevice);
    fitNames(ListMidiOutDevice);
    QStringList absent;
    for (const std::string& why : ports_.absentDrivers())
        absent << QString::fromStdString(why);
    DriverNote->setText(absent.join(QLatin1Char(' ')));
    DriverNote->setVisible(!absent.isEmpty());
}

void TMidiWindow::FormCreate()
{
    fillLists({}, {});
    CheckNoticeKnobs->setChecked(settings_.synthKnobs);
    CheckNoticePgm->setChecked(settings_.programChanges);
    CheckShowHints->setChecked(settings_.showHints);
    CheckDelay->setChecked(settings_.longDelay);
    CheckFetchOnFind->setChecked(settings_.fetchWhenFound);
    CheckKeepInLibrary->setChecked(settings_.keepInLibrary);
}

bool TMidiWindow::searching() const { return search_->running(); }

void TMidiWindow::FindCS1xClick()
{
    if (search_->running())
        return;
    FindCS1x->setEnabled(false);
    FindStatus->setText(QStringLiteral("Looking for a CS1x..."));
    search_->start({[this](const std::string& text) { FindStatus->setText(QString::fromStdString(text)); },
                    [this](const std::optional<SynthSearch::Found>& found) {
                        FindCS1x->setEnabled(true);
                        if (found) {
                            // Chosen in the lists; OK opens them, as a choice by hand.
                            fillLists(found->input, found->output);
                            FindStatus->setText(QStringLiteral("A CS1x answers on ")
                                                + QString::fromStdString(SynthSearch::portText(*found))
                                                + QStringLiteral("."));
                        } else {
                            const size_t pairs = search_->pairs();
                            FindStatus->clear();
                            messageBox_(pairs == 0 ? QStringLiteral("No CS1x answered: there is no MIDI port to ask.")
                                                   : QStringLiteral("No CS1x answered. Asked: %1 %2 of MIDI ports.")
                                                         .arg(pairs)
                                                         .arg(pairs == 1 ? QStringLiteral("pair") : QStringLiteral("pairs")));
                        }
                    }});
}

void TMidiWindow::MidiDeviceOKClick()
{
    const int in = selectedRow(ListMidiInDevice);
    const int out = selectedRow(ListMidiOutDevice);
    if (in < 0 || out < 0) {
        messageBox_(QStringLiteral("Please choose BOTH MIDI-Devices before editing!"));
    } else {
        // A device whose port did not open (it was missing at start) or has
        // stopped working (the device or the driver's server came back) is
        // opened again when chosen, even under the name already set.
        bool reopened = false;
        const std::string inName = ListMidiInDevice->item(in)->text().toStdString();
        if (inName != settings_.midiIn || !ports_.inputWorking()) {
            settings_.midiIn = inName;
            ports_.openInput(in);
            ports_.setConfiguredInput(in);
            reopened = true;
        }
        const std::string outName = ListMidiOutDevice->item(out)->text().toStdString();
        if (outName != settings_.midiOut || !ports_.outputWorking()) {
            settings_.midiOut = outName;
            ports_.openOutput(out);
            ports_.setConfiguredOutput(out);
            reopened = true;
        }
        // The synth is greeted once both ports are as chosen: asked through
        // an output that is about to be replaced, the question would only
        // fail (a server that went away) or go to the wrong device.
        if (reopened)
            senders_.request(Request::identity());
        accept();
    }
    applyFlags();
}

void TMidiWindow::applyFlags()
{
    settings_.synthKnobs = CheckNoticeKnobs->isChecked();
    settings_.programChanges = CheckNoticePgm->isChecked();
    // The transfer pause follows "LongDelay" (Settings::transferPause()).
    settings_.longDelay = CheckDelay->isChecked();
    settings_.showHints = CheckShowHints->isChecked();
    settings_.fetchWhenFound = CheckFetchOnFind->isChecked();
    settings_.keepInLibrary = CheckKeepInLibrary->isChecked();
    setToolTipsShown(settings_.showHints);
}

void TMidiWindow::MidiDeviceCancelClick() { reject(); }

void TMidiWindow::done(int result)
{
    // Nothing the search opened outlives the dialog.
    search_->stop();
    FindCS1x->setEnabled(true);
    QDialog::done(result);
}

} // namespace kw
