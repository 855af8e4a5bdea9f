#include "editor/MainWindow.h"

#include "editor/CommonBoxes.h"
#include "editor/EffectsPage.h"
#include "editor/KnobsPage.h"
#include "editor/PageKit.h"

#include "editor/EnvelopeView.h"
#include "model/Cp1252.h"
#include "model/FieldTable.h"
#include "model/NameTables.h"
#include "model/UserPerfList.h"
#include "model/ValueLists.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

using namespace kw;

namespace {

const QColor kLime(0, 255, 0);
const QColor kLampDark(0, 128, 0);
const QColor kLampBright(0, 255, 0);

QString q(const std::string& utf8) { return QString::fromStdString(utf8); }

const FieldRow& rowOf(const char* name)
{
    const FieldRow* r = findField(name);
    if (!r)
        throw std::logic_error(std::string("no field row for control ") + name);
    return *r;
}

char decimalSeparator()
{
    const QString p = QLocale().decimalPoint();
    return (!p.isEmpty() && p.at(0).unicode() < 128) ? char(p.at(0).unicode()) : '.';
}

QLabel* caption(const QString& text, QWidget* parent = nullptr)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    l->setWordWrap(true);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.75);
    f.setBold(true);
    l->setFont(f);
    // Two short words stack instead of widening the column.
    const QFontMetrics fm(f);
    int widest = fm.horizontalAdvance(QStringLiteral("8888"));
    for (const QString& word : text.split(QLatin1Char(' ')))
        widest = std::max(widest, fm.horizontalAdvance(word));
    l->setMaximumWidth(widest + 4);
    return l;
}

QGridLayout* pageGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(6);
    return grid;
}

QGroupBox* group(const char* name, const QString& title)
{
    auto* g = new QGroupBox(title);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

// A picture that acts like a button: the LFO waveforms and the synth.
class ClickPicture : public QWidget {
public:
    using Painter = std::function<void(QPainter&, const QRect&)>;
    ClickPicture(QSize size, Painter paint, QWidget* parent = nullptr)
        : QWidget(parent), size_(size), paint_(std::move(paint))
    {
        setCursor(Qt::PointingHandCursor);
        setFixedSize(size);
    }
    std::function<void()> onClick;
    QSize sizeHint() const override { return size_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        paint_(p, rect());
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && onClick)
            onClick();
    }

private:
    QSize size_;
    Painter paint_;
};

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

void paintWave(QPainter& p, const QRect& r, int kind)
{
    p.fillRect(r, Qt::black);
    p.setPen(QPen(kLime, 1.5));
    const double l = r.left() + 3, w = r.width() - 6, t = r.top() + 3, h = r.height() - 6;
    QPainterPath path;
    if (kind == 0) {  // sawtooth
        path.moveTo(l, t + h);
        path.lineTo(l + w / 2, t);
        path.lineTo(l + w / 2, t + h);
        path.lineTo(l + w, t);
        path.lineTo(l + w, t + h);
    } else if (kind == 1) {  // triangle
        path.moveTo(l, t + h / 2);
        path.lineTo(l + w / 4, t);
        path.lineTo(l + 3 * w / 4, t + h);
        path.lineTo(l + w, t + h / 2);
    } else {  // sample and hold
        const double lv[] = {0.3, 0.9, 0.1, 0.6, 0.2};
        path.moveTo(l, t + h * lv[0]);
        for (int i = 0; i < 5; ++i) {
            path.lineTo(l + w * i / 5, t + h * lv[i]);
            path.lineTo(l + w * (i + 1) / 5, t + h * lv[i]);
        }
    }
    p.drawPath(path);
}

void paintSynth(QPainter& p, const QRect& r)
{
    // A stylised desktop synth: dark panel with knobs over a keyboard.
    const QRectF body = QRectF(r).adjusted(2, 6, -2, -6);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(70, 74, 82));
    p.drawRoundedRect(body, 4, 4);
    const QRectF panel(body.left() + 4, body.top() + 4, body.width() - 8, body.height() * 0.42);
    p.setBrush(QColor(25, 25, 30));
    p.drawRoundedRect(panel, 2, 2);
    p.setBrush(QColor(200, 200, 205));
    for (int i = 0; i < 6; ++i) {
        const double cx = panel.left() + panel.width() * (i + 0.5) / 6.0;
        p.drawEllipse(QPointF(cx, panel.center().y()), 4.5, 4.5);
        p.setPen(QPen(QColor(255, 120, 0), 1.2));
        p.drawLine(QPointF(cx, panel.center().y()), QPointF(cx + 3, panel.center().y() - 3));
        p.setPen(QPen(QColor(40, 40, 40), 1));
    }
    const QRectF keys(body.left() + 4, panel.bottom() + 4, body.width() - 8, body.bottom() - panel.bottom() - 8);
    const int white = 14;
    p.setBrush(Qt::white);
    for (int i = 0; i < white; ++i)
        p.drawRect(QRectF(keys.left() + keys.width() * i / white, keys.top(), keys.width() / white, keys.height()));
    p.setBrush(Qt::black);
    for (int i = 0; i < white - 1; ++i) {
        const int n = i % 7;
        if (n == 2 || n == 6)
            continue;
        const double x = keys.left() + keys.width() * (i + 1) / white - keys.width() / white * 0.3;
        p.drawRect(QRectF(x, keys.top(), keys.width() / white * 0.6, keys.height() * 0.6));
    }
}

const char* const kEnvelopeAEG[] = {"AEGAtkTime", "AEGDcyTime", "AEGSusLevel", "AEGRelTime"};
const char* const kEnvelopeFEG[] = {"FEGAtkTime", "FEGDcyTime", "FEGSusLevel", "FEGRelTime"};
const char* const kEnvelopePEG[] = {"PEGInitLevel", "PEGAtkTime", "PEGAtkLevel",
                                    "PEGDcyTime",   "PEGRelTime", "PEGRelLevel"};

const char* const kStatusCopied = "Layerdata copied...";

} // namespace

// ---------------------------------------------------------------------------
// Construction

TMainWindow::TMainWindow(EditorContext& ctx, QWidget* parent) : QMainWindow(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QLatin1Char(' ') + QApplication::applicationDisplayName());
    setStyleSheet(QStringLiteral(
        "QLabel[role=\"value\"] { background: black; color: #00ff00; font-weight: bold;"
        "  border: 1px solid #404040; padding: 0px 2px; }"
        "QListWidget#UserPerf, QListWidget#PatchVoiceNumber { background: black; color: #00ff00;"
        "  font-weight: bold; selection-background-color: #00a000; selection-color: black; }"
        "QLabel#StatusLabel { background: black; color: yellow; font-weight: bold; padding: 1px 6px; }"
        "QGroupBox { font-weight: bold; }"));

    buildMenus();

    auto* central = new QWidget;
    auto* frame = new QVBoxLayout(central);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    auto* bevel = new QFrame;
    bevel->setObjectName(QStringLiteral("TitleBevel"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    frame->addWidget(bevel);  // spans the window's width, whatever it grows to
    auto* outer = new QHBoxLayout;
    frame->addLayout(outer);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);
    outer->addWidget(buildLeftColumn());

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("PageControl1"));
    auto addPage = [&](QWidget* page, const char* name, const char* title) {
        page->setObjectName(QString::fromLatin1(name));
        pages_->addTab(page, QString::fromLatin1(title));
    };
    addPage(buildCommonPage(), "TabSheet5", "Common");
    knobsPage_ = new KnobsPage(ctx_);
    addPage(knobsPage_, "TabSheet1", "Common / Knobs");
    effectsPage_ = new EffectsPage(ctx_);
    addPage(effectsPage_, "TabSheet2", "Common / Effects");
    addPage(buildVoicePage(), "TabSheet3", "Layer Voice");
    addPage(buildEgPage(), "TabSheet4", "Layer EG's / LFO");
    pages_->setCurrentIndex(0);
    right->addWidget(pages_, 1);
    right->addWidget(buildStatusPanel());
    outer->addLayout(right, 1);
    setCentralWidget(central);
    // A fixed frame like a hardware panel, sized by its layouts so larger
    // fonts and HiDPI screens still get room.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Creation: voice list of the first bank, item 0; then the image defaults
    // and the first full refresh.
    {
        const QSignalBlocker b1(bank_), b2(voices_);
        bank_->setCurrentIndex(0);
        voices_->setCurrentRow(0);
    }
    setDefaults(ctx_.image, ctx_.state);
    RefreshAll();
}

TMainWindow::~TMainWindow()
{
    // Children still emit while they go (the name box reports losing focus);
    // no handler may run on a window that is half gone.
    for (QObject* child : findChildren<QObject*>())
        child->blockSignals(true);
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void TMainWindow::buildMenus()
{
    auto add = [&](QMenu* m, const char* name, const char* text, QKeySequence key = {}) {
        QAction* a = m->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        actions_[name] = a;
        return a;
    };
    auto menu = [&](QMenu* parentMenu, const char* name, const char* title) {
        QMenu* m = parentMenu ? parentMenu->addMenu(QString::fromLatin1(title))
                              : menuBar()->addMenu(QString::fromLatin1(title));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        actions_[name] = m->menuAction();
        return m;
    };
    // The top-level menus open with Ctrl + their key as well as Alt.
    auto opener = [&](QMenu* m, QKeySequence key) {
        auto* s = new QShortcut(key, this);
        connect(s, &QShortcut::activated, this, [this, m] { menuBar()->setActiveAction(m->menuAction()); });
    };

    QMenu* file = menu(nullptr, "MenuFile", " &File ");
    opener(file, QKeySequence(Qt::CTRL | Qt::Key_F));
    QMenu* open = menu(file, "MenuFileOpen", "&Open");
    add(open, "MenuFileOpenActPerf", "Actual Performance");
    add(open, "MenuFileOpenPerfNames", "Performance-names");
    QMenu* save = menu(file, "MenuFileSave", "&Save");
    add(save, "MenuFileSaveActPerf", "Actual Performance");
    add(save, "MenuFileSavePerfNames", "Performance-names");
    file->addSeparator();
    connect(add(file, "MenuFilePreferences", "&Preferences"), &QAction::triggered, this, [this] {
        if (openPreferences)
            openPreferences();
    });
    connect(add(file, "MenuFileExit", "E&xit"), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menu(nullptr, "MenuEdit", " &Edit ");
    opener(edit, QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(add(edit, "MenuEditCopyLayer", "&Copy Layerdata", QKeySequence(Qt::CTRL | Qt::Key_C)),
            &QAction::triggered, this, [this] { MenuEditCopyLayerClick(); });
    QAction* paste = add(edit, "MenuEditPasteLayer", "Paste Layerdata", QKeySequence(Qt::CTRL | Qt::Key_V));
    paste->setEnabled(false);
    connect(paste, &QAction::triggered, this, [this] { MenuEditPasteLayerClick(); });

    QMenu* bulk = menu(nullptr, "MenuBulk", " &Bulk-Dump ");
    opener(bulk, QKeySequence(Qt::CTRL | Qt::Key_B));
    add(bulk, "MenuBulkPerfNames", "&Request all Performance-names");
    bulk->addSeparator();
    add(bulk, "MenuBulkSinglePerfSynth", "Single User-Performance (to CS1x)");
    add(bulk, "MenuBulkPerfBankSynth", "Performance-Bank          (to CS1x)");
    bulk->addSeparator();
    add(bulk, "MenuBulkSinglePerfHD", "Single User-Performance (to HD)");
    add(bulk, "MenuBulkAllPerfHD", "All User-Performances     (to HD)");
    bulk->addSeparator();
    add(bulk, "MenuBulkBankEdit", "&Performance-bank manager");

    QAction* about = menuBar()->addAction(QStringLiteral(" &About "));
    about->setObjectName(QStringLiteral("MenuAbout"));
    about->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    addAction(about);  // so the shortcut works without the menu bar focused
    actions_["MenuAbout"] = about;
    connect(about, &QAction::triggered, this, [this] {
        if (openAbout)
            openAbout();
    });
}

QAction* TMainWindow::action(const char* name) const
{
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

QWidget* TMainWindow::buildLeftColumn()
{
    auto* col = new QWidget;
    auto* v = new QVBoxLayout(col);
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
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setBold(true);
    userPerf_->setFont(mono);
    for (const std::string& line : builtInUserPerfLines())
        userPerf_->addItem(q(cp1252ToUtf8(line)));
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
    v->addWidget(save);

    auto* g = group("ActiveEditLayer", QStringLiteral(" Active Edit/Audible "));
    auto* grid = new QGridLayout(g);
    grid->setVerticalSpacing(2);
    auto* layers = new QButtonGroup(this);
    const QStyle* st = style();
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
        m->setIcon(st->standardIcon(QStyle::SP_MediaVolume));
        m->setAutoRaise(false);
        muteLayer_[i] = m;
        connect(m, &QToolButton::toggled, this, [this, m, st] {
            m->setIcon(st->standardIcon(m->isChecked() ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
        });
        connect(m, &QToolButton::clicked, this, [this, n](bool down) { MuteLayerClick(n, down); });
        grid->addWidget(r, i, 0);
        grid->addWidget(m, i, 1, Qt::AlignRight);
    }
    editLayer_[0]->setChecked(true);
    affectAll_ = new QCheckBox(QStringLiteral("Edit all Layers simult."));
    affectAll_->setObjectName(QStringLiteral("AffectAllLayers"));
    affectAll_->setToolTip(QStringLiteral("Affect editing to ALL Layers"));
    connect(affectAll_, &QCheckBox::clicked, this, [this](bool on) { ctx_.state.affectAll = on; });
    grid->addWidget(affectAll_, 4, 0, 1, 2);
    v->addWidget(g);

    auto* pic = new ClickPicture(QSize(150, 64), paintSynth);
    pic->setObjectName(QStringLiteral("SynthPicture"));
    pic->setToolTip(QStringLiteral("The amazing Techno-Synth"));
    pic->onClick = [this] {
        if (openAbout)
            openAbout();
    };
    v->addWidget(pic, 0, Qt::AlignHCenter);
    return col;
}

QWidget* TMainWindow::buildStatusPanel()
{
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("StatusPanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* h = new QHBoxLayout(panel);
    h->setContentsMargins(4, 2, 4, 2);
    status_ = new QLabel(QStringLiteral("OK"));
    status_->setObjectName(QStringLiteral("StatusLabel"));
    status_->setMinimumWidth(240);
    status_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    h->addWidget(status_, 1);

    auto* g = group("GroupMidiInOut", QString());
    g->setToolTip(QStringLiteral("Midi In/Out monitor"));
    auto* gl = new QHBoxLayout(g);
    gl->setContentsMargins(6, 2, 6, 2);
    auto lamp = [&](const char* name, const char* text) {
        gl->addWidget(new QLabel(QString::fromLatin1(text)));
        auto* f = new QFrame;
        f->setObjectName(QString::fromLatin1(name));
        f->setFixedSize(18, 10);
        f->setFrameShape(QFrame::Box);
        f->setAutoFillBackground(true);
        QPalette p = f->palette();
        p.setColor(QPalette::Window, kLampDark);
        f->setPalette(p);
        gl->addWidget(f);
        return f;
    };
    lampIn_ = lamp("MidiInLED", "IN");
    gl->addSpacing(6);
    lampOut_ = lamp("MidiOutLED", "OUT");
    h->addWidget(g);
    return panel;
}

// ---------------------------------------------------------------------------
// Control factories and bindings

QSlider* TMainWindow::makeSlider(const char* name, Qt::Orientation o, int min, int max)
{
    auto* s = new QSlider(o);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(min, max);
    s->setTickInterval(1);
    s->setPageStep(8);
    if (o == Qt::Vertical) {
        // Minimum at the top; up on the wheel or arrow keys moves the knob up.
        s->setInvertedAppearance(true);
        s->setInvertedControls(true);
        pagekit::styleVerticalBar(s);
    }
    return s;
}

QLabel* TMainWindow::makeValueLabel(const char* controlName, int minChars)
{
    auto* l = new QLabel;
    l->setObjectName(QStringLiteral("Label_") + QString::fromLatin1(controlName));
    l->setProperty("role", "value");
    l->setAlignment(Qt::AlignCenter);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.85);
    l->setFont(f);
    l->setMinimumWidth(QFontMetrics(f).horizontalAdvance(QString(minChars, QLatin1Char('8'))) + 6);
    return l;
}

QWidget* TMainWindow::barColumn(const char* name, const QString& text, int length)
{
    const FieldRow& row = rowOf(name);
    auto* w = new QWidget;
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    v->addWidget(caption(text));
    QSlider* s = makeSlider(name, Qt::Vertical, row.min, row.max);
    s->setMinimumHeight(length);
    QLabel* l = makeValueLabel(name, row.label == LabelRule::Detune ? 7 : 3);
    labels_[s] = l;
    v->addWidget(s, 1, Qt::AlignHCenter);
    v->addWidget(l, 0, Qt::AlignHCenter);
    w->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    if (row.isLayer())
        bindLayerSlider(s, row);
    else
        bindCommonSlider(s, row);
    return w;
}

void TMainWindow::bindLayerSlider(QSlider* s, const FieldRow& row)
{
    layerSliders_[row.control] = LayerSlider{&row, s, labels_[s], nullptr};
    const std::string name = row.control;
    if (name == "NoteDetune") {
        detune_ = s;
        connect(s, &QSlider::valueChanged, this, [this](int p) { NoteDetuneChange(p); });
    } else if (name == "LayerVolume") {
        layerVolume_ = s;
        connect(s, &QSlider::valueChanged, this, [this](int p) { LayerVolumeChange(p); });
    } else if (name == "NoteLimitLow" || name == "NoteLimitHigh") {
        const bool low = name == "NoteLimitLow";
        (low ? noteLimitLow_ : noteLimitHigh_) = s;
        connect(s, &QSlider::valueChanged, this, [this, low](int p) { noteLimitMoved(low, p); });
    } else if (name == "PanPot") {
        panPot_ = s;
        connect(s, &QSlider::valueChanged, this, [this](int p) { PanPotChange(p); });
    } else {
        connect(s, &QSlider::valueChanged, this,
                [this, name](int p) { layerSliderMoved(layerSliders_.at(name), p); });
    }
}

void TMainWindow::bindCommonSlider(QSlider* s, const FieldRow& row)
{
    commonSliders_[row.control] = s;
    connect(s, &QSlider::valueChanged, this, [this, s, &row](int p) {
        setLabelOf(s, labelFor(row, p));
        const uint8_t v = row.storedFromPosition(p);
        writeCommonByte(row.block, row.offset, v);
    });
}

QString TMainWindow::labelFor(const FieldRow& row, int position) const
{
    return q(row.labelText(position, decimalSeparator()));
}

// ---------------------------------------------------------------------------
// Pages

QWidget* TMainWindow::buildCommonPage()
{
    auto* page = new QWidget;
    QGridLayout* grid = pageGrid(page);

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
    connect(perfName_, &QLineEdit::textEdited, this, [this] { PerformanceNameChange(); });
    connect(perfName_, &QLineEdit::editingFinished, this, [this] { PerformanceNameChange(); });
    pg->addWidget(perfName_, 0, 1);
    pg->addWidget(new QLabel(QStringLiteral("Category")), 1, 0);
    perfType_ = new QComboBox;
    perfType_->setObjectName(QStringLiteral("PerformanceType"));
    perfType_->setToolTip(QStringLiteral("Performance cathegory"));
    perfType_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    perfType_->setMinimumContentsLength(14);
    for (const char* item : performanceTypeItems())
        perfType_->addItem(q(item));
    connect(perfType_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0)
            writeCommonByte(BlockKind::Common00, 0x08, uint8_t(i));
    });
    pg->addWidget(perfType_, 1, 1);
    perfNumber_ = new QLabel;
    perfNumber_->setObjectName(QStringLiteral("Label_PerfName"));
    pg->addWidget(perfNumber_, 2, 0, 1, 2);
    pg->setRowStretch(3, 1);
    QWidget* vol = barColumn("CommonVolume", QStringLiteral("VOLUME"), 90);
    commonSliders_["CommonVolume"]->setToolTip(QStringLiteral("Common volume"));
    pg->addWidget(vol, 0, 2, 4, 1);
    grid->addWidget(perf, 0, 0);

    auto* pitch = group("Pitch", QStringLiteral(" Pitch "));
    auto* ph = new QHBoxLayout(pitch);
    auto* porta = new QVBoxLayout;
    porta->addWidget(caption(QStringLiteral("PORTAMENTO")));
    portaOn_ = new QCheckBox(QStringLiteral("ON"));
    portaOn_->setObjectName(QStringLiteral("PortaOn"));
    portaOn_->setToolTip(QStringLiteral("Portamento ON/OFF"));
    connect(portaOn_, &QCheckBox::clicked, this, [this](bool on) {
        const FieldRow& r = rowOf("PortaOn");
        writeCommonByte(r.block, r.offset, r.storedFromPosition(on ? 1 : 0));
    });
    porta->addWidget(portaOn_);
    porta->addStretch(1);
    ph->addStretch(1);
    ph->addLayout(porta);
    ph->addSpacing(12);
    ph->addWidget(barColumn("PortaTime", QStringLiteral("TIME"), 70));
    commonSliders_["PortaTime"]->setToolTip(QStringLiteral("Portamento time"));
    ph->addWidget(barColumn("PitchBend", QStringLiteral("BEND"), 70));
    commonSliders_["PitchBend"]->setToolTip(QStringLiteral("Pitch-bend range (semitones)"));
    ph->addStretch(1);
    grid->addWidget(pitch, 1, 0);

    arpeggiator_ = new ArpeggiatorBox(ctx_);
    grid->addWidget(arpeggiator_, 0, 1);
    auto* ctl = new QHBoxLayout;
    modWheel_ = new MWheelBox(ctx_);
    footControl_ = new FootControlBox(ctx_);
    ctl->addWidget(modWheel_);
    ctl->addWidget(footControl_);
    grid->addLayout(ctl, 1, 1);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    return page;
}

QWidget* TMainWindow::buildVoicePage()
{
    auto* page = new QWidget;
    QGridLayout* grid = pageGrid(page);

    auto* patch = group("Patch", QStringLiteral(" Patch Select "));
    auto* pv = new QVBoxLayout(patch);
    pv->addWidget(new QLabel(QStringLiteral("Bank Number")));
    bank_ = new QComboBox;
    bank_->setObjectName(QStringLiteral("PatchBankNumber"));
    bank_->setMaxVisibleItems(16);
    bank_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    bank_->setMinimumContentsLength(16);
    for (const BankRow& r : bankTable())
        bank_->addItem(q(cp1252ToUtf8(r.name)));
    connect(bank_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0)
            PatchBankNumberChange(i);
    });
    pv->addWidget(bank_);
    pv->addWidget(new QLabel(QStringLiteral("Voice Number")));
    voices_ = new QListWidget;
    voices_->setObjectName(QStringLiteral("PatchVoiceNumber"));
    voices_->setToolTip(QStringLiteral("Layer Voice-select"));
    voices_->setUniformItemSizes(true);
    for (int p = 0; p < kVoicesPerBank; ++p)
        voices_->addItem(q(cp1252ToUtf8(voiceEntry(0, p))));
    connect(voices_, &QListWidget::currentRowChanged, this, [this](int i) {
        if (i >= 0)
            PatchVoiceNumberClick(i);
    });
    pv->addWidget(voices_, 1);
    voices_->setMinimumHeight(200);
    patch->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    grid->addWidget(patch, 0, 0, 3, 1);

    auto row = [](std::initializer_list<QWidget*> ws) {
        auto* h = new QHBoxLayout;
        h->setSpacing(2);
        for (QWidget* w : ws)
            h->addWidget(w);
        return h;
    };
    auto tip = [this](const char* name, const char* text) {
        layerSliders_.at(name).slider->setToolTip(QString::fromLatin1(text));
    };

    auto* fx = group("Effect", QStringLiteral(" Effects "));
    auto* fxl = new QVBoxLayout(fx);
    fxl->addLayout(row({barColumn("EffectReverb", QStringLiteral("REV SEND"), 80),
                        barColumn("EffectChorus", QStringLiteral("CHO SEND"), 80)}));
    tip("EffectReverb", "Reverb send level");
    tip("EffectChorus", "Chorus send level");
    effectVariation_ = new QCheckBox(QStringLiteral("VARI"));
    effectVariation_->setObjectName(QStringLiteral("EffectVariation"));
    effectVariation_->setToolTip(QStringLiteral("Variation send ON/OFF"));
    connect(effectVariation_, &QCheckBox::clicked, this, [this](bool on) {
        const FieldRow& r = rowOf("EffectVariation");
        ctx_.senders.writeLayerField(r.offset, r.storedFromPosition(on ? 1 : 0));
    });
    fxl->addWidget(effectVariation_, 0, Qt::AlignHCenter);
    grid->addWidget(fx, 0, 1);

    auto* vel = group("Velocity", QStringLiteral(" Velocity "));
    auto* vg = new QGridLayout(vel);
    vg->setHorizontalSpacing(2);
    vg->addWidget(caption(QStringLiteral("LIMIT")), 0, 0, 1, 2, Qt::AlignHCenter);
    vg->addWidget(caption(QStringLiteral("SENSE")), 0, 2, 1, 2, Qt::AlignHCenter);
    vg->addWidget(barColumn("VelocityLimitLow", QStringLiteral("LO"), 80), 1, 0);
    vg->addWidget(barColumn("VelocityLimitHigh", QStringLiteral("HI"), 80), 1, 1);
    vg->addWidget(barColumn("VelocitySenseDepth", QStringLiteral("DPTH"), 80), 1, 2);
    vg->addWidget(barColumn("VelocitySenseOffset", QStringLiteral("OFS"), 80), 1, 3);
    tip("VelocityLimitLow", "Velocity Limit-LOW level");
    tip("VelocityLimitHigh", "Velocity Limit-HIGH level");
    tip("VelocitySenseDepth", "Velocity sense depth");
    tip("VelocitySenseOffset", "Velocity sense offset");
    auto* defaults = new QPushButton(QStringLiteral("Set to defaults"));
    defaults->setObjectName(QStringLiteral("VelocityDefaults"));
    defaults->setToolTip(QStringLiteral("Set all velocity-levels to default values"));
    connect(defaults, &QPushButton::clicked, this, [this] { VelocityDefaultsClick(); });
    vg->addWidget(defaults, 2, 0, 1, 4);
    grid->addWidget(vel, 0, 2);

    auto* tune = group("NoteTune", QStringLiteral(" Tune "));
    auto* tg = new QGridLayout(tune);
    tg->setHorizontalSpacing(2);
    tg->addWidget(caption(QStringLiteral("NOTE")), 0, 0, 1, 2, Qt::AlignHCenter);
    tg->addWidget(barColumn("NoteShift", QStringLiteral("SHIFT"), 80), 1, 0);
    tg->addWidget(barColumn("NoteDetune", QStringLiteral("DET"), 80), 1, 1);
    tip("NoteShift", "Note shift (semitones)");
    tip("NoteDetune", "Note detune");
    grid->addWidget(tune, 1, 1);

    auto* play = group("Playing", QStringLiteral(" Playing "));
    auto* plh = new QHBoxLayout(play);
    plh->addWidget(barColumn("LayerVolume", QStringLiteral("LAYER VOL"), 80));
    tip("LayerVolume", "Layer main volume");
    auto* sw = new QVBoxLayout;
    sw->addWidget(caption(QStringLiteral("active")));
    playPoly_ = new QCheckBox(QStringLiteral("Poly"));
    playPoly_->setObjectName(QStringLiteral("PlayPoly"));
    playPoly_->setToolTip(QStringLiteral("Poly-/monophonic playmode"));
    connect(playPoly_, &QCheckBox::clicked, this, [this](bool on) {
        const FieldRow& r = rowOf("PlayPoly");
        ctx_.senders.writeLayerField(r.offset, r.storedFromPosition(on ? 1 : 0));
    });
    layerOn_ = new QCheckBox(QStringLiteral("Layer"));
    layerOn_->setObjectName(QStringLiteral("LayerOn"));
    layerOn_->setToolTip(QStringLiteral("Enable Layer"));
    connect(layerOn_, &QCheckBox::clicked, this, [this](bool on) { LayerOnClick(on); });
    sw->addWidget(layerOn_);
    sw->addWidget(playPoly_);
    sw->addStretch(1);
    plh->addLayout(sw);
    grid->addWidget(play, 1, 2);

    auto* pos = group("Positions", QStringLiteral(" Positions "));
    auto* pg = new QGridLayout(pos);
    pg->setVerticalSpacing(2);
    auto horizontal = [&](const char* name, const char* text, const char* hint, int r) {
        const FieldRow& fr = rowOf(name);
        pg->addWidget(new QLabel(QString::fromLatin1(text)), r, 0);
        QSlider* s = makeSlider(name, Qt::Horizontal, fr.min, fr.max);
        s->setToolTip(QString::fromLatin1(hint));
        QLabel* l = makeValueLabel(name, 4);
        labels_[s] = l;
        pg->addWidget(s, r, 1);
        pg->addWidget(l, r, 2);
        bindLayerSlider(s, fr);
    };
    horizontal("NoteLimitLow", "Note-Limit Low", "Lowest played note", 0);
    horizontal("NoteLimitHigh", "Note-Limit High", "Highest played note", 1);
    horizontal("PanPot", "Pan-Position", "Position of played note (L-C-R)", 2);
    randomPan_ = new QCheckBox(QStringLiteral("Random Panning"));
    randomPan_->setObjectName(QStringLiteral("RandomPan"));
    randomPan_->setToolTip(QStringLiteral("Set panpot to random position"));
    connect(randomPan_, &QCheckBox::clicked, this, [this](bool on) { RandomPanClick(on); });
    pg->addWidget(randomPan_, 3, 1);
    pg->setColumnStretch(1, 1);
    grid->addWidget(pos, 2, 1, 1, 2);
    return page;
}

QWidget* TMainWindow::buildEgPage()
{
    auto* page = new QWidget;
    QGridLayout* grid = pageGrid(page);

    auto egGroup = [&](const char* name, const char* title, const char* pictureName, const char* const* bars,
                       const char* const* captions, const char* const* hints, int n, EnvelopeView::Kind kind,
                       QSize design) {
        auto* g = group(name, QString::fromLatin1(title));
        auto* v = new QVBoxLayout(g);
        v->setSpacing(3);
        auto* h = new QHBoxLayout;
        h->setSpacing(1);
        for (int i = 0; i < n; ++i) {
            h->addWidget(barColumn(bars[i], QString::fromLatin1(captions[i]), 88));
            layerSliders_.at(bars[i]).slider->setToolTip(QString::fromLatin1(hints[i]));
        }
        v->addLayout(h);
        std::vector<QSlider*> sl;
        for (int i = 0; i < n; ++i)
            sl.push_back(layerSliders_.at(bars[i]).slider);
        auto* view = new EnvelopeView(kind, design, [sl] {
            std::vector<int> p;
            for (QSlider* s : sl)
                p.push_back(s->value());
            return p;
        });
        view->setObjectName(QString::fromLatin1(pictureName));
        v->addWidget(view);
        for (int i = 0; i < n; ++i)
            layerSliders_.at(bars[i]).picture = view;
        return std::pair{g, view};
    };

    static const char* const adsrCaps[] = {"ATK TIME", "DCY TIME", "SUS LVL", "REL TIME"};
    static const char* const aegHints[] = {"Amp-EG attack-time", "Amp-EG decay-time", "Amp-EG sustain-level",
                                           "Amp-EG release-time"};
    static const char* const fegHints[] = {"Filter-EG attack-time", "Filter-EG decay-time",
                                           "Filter-EG sustain-level", "Filter-EG release-time"};
    static const char* const pegCaps[] = {"INIT LVL", "ATK TIME", "ATK LVL", "DCY TIME", "REL TIME", "REL LVL"};
    static const char* const pegHints[] = {"Pitch-EG initial level", "Pitch-EG attack-time",
                                           "Pitch-EG attack-level",  "Pitch-EG decay-time",
                                           "Pitch-EG release-time",  "Pitch-EG release-level"};
    auto [amp, a] = egGroup("AmpEG", " Amp EG ", "PaintAEG", kEnvelopeAEG, adsrCaps, aegHints, 4,
                            EnvelopeView::Kind::Adsr, QSize(90, 31));
    auto [fil, f] = egGroup("FilterEG", " Filter EG ", "PaintFEG", kEnvelopeFEG, adsrCaps, fegHints, 4,
                            EnvelopeView::Kind::Adsr, QSize(90, 31));
    auto [pit, p] = egGroup("PitchEG", " Pitch EG ", "PaintPEG", kEnvelopePEG, pegCaps, pegHints, 6,
                            EnvelopeView::Kind::Pitch, QSize(146, 31));
    aeg_ = a;
    feg_ = f;
    peg_ = p;
    grid->addWidget(amp, 0, 0);
    grid->addWidget(fil, 0, 1);
    grid->addWidget(pit, 0, 2, 1, 2);

    auto* lfo = group("LFOMod", QStringLiteral(" LFO Levels "));
    auto* lh = new QHBoxLayout(lfo);
    lh->setSpacing(1);
    const std::pair<const char*, const char*> lfoBars[] = {{"LFOSpeed", "SPEED"}, {"LFOAMod", "AM"},
                                                           {"LFOPMod", "PM"},     {"LFOFMod", "FM"}};
    for (auto [name, cap] : lfoBars)
        lh->addWidget(barColumn(name, QString::fromLatin1(cap), 88));
    {
        layerSliders_.at("LFOSpeed").slider->setToolTip(QStringLiteral("LFO Speed"));
        layerSliders_.at("LFOAMod").slider->setToolTip(QStringLiteral("LFO amplitude-modulation level"));
        layerSliders_.at("LFOPMod").slider->setToolTip(QStringLiteral("LFO pitch-modulation level"));
        layerSliders_.at("LFOFMod").slider->setToolTip(QStringLiteral("LFO frequency-modulation level"));
    }
    grid->addWidget(lfo, 1, 0);

    auto radioHandler = [this](const char* name) {
        const FieldRow& r = rowOf(name);
        return [this, &r] { ctx_.senders.writeLayerField(r.offset, r.onValue); };
    };

    auto* wave = group("LFOWave", QStringLiteral(" LFO Waveform "));
    auto* wg = new QGridLayout(wave);
    wg->setVerticalSpacing(3);
    const char* const waveNames[] = {"LFOWaveSaw", "LFOWaveTriangle", "LFOWaveSH"};
    const char* const waveHints[] = {"LFO sawtooth wave", "LFO triangle wave", "LFO sample & hold"};
    const char* const waveImages[] = {"ImageSawtooth", "ImageTriangle", "Image1"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton;
        r->setObjectName(QString::fromLatin1(waveNames[i]));
        r->setToolTip(QString::fromLatin1(waveHints[i]));
        auto handler = radioHandler(waveNames[i]);
        connect(r, &QRadioButton::clicked, this, handler);
        auto* pic = new ClickPicture(QSize(44, 20), [i](QPainter& pp, const QRect& rr) { paintWave(pp, rr, i); });
        pic->setObjectName(QString::fromLatin1(waveImages[i]));
        pic->setToolTip(QString::fromLatin1(waveHints[i]));
        // The picture selects its wave exactly as the button does.
        pic->onClick = [r, handler] {
            r->setChecked(true);
            handler();
        };
        wg->addWidget(r, i, 0);
        wg->addWidget(pic, i, 1);
        lfoWave_.push_back(r);
    }
    auto* we = new QRadioButton(QStringLiteral("Element"));
    we->setObjectName(QStringLiteral("LFOWaveElement"));
    we->setToolTip(QStringLiteral("LFO wave element-settings"));
    connect(we, &QRadioButton::clicked, this, radioHandler("LFOWaveElement"));
    wg->addWidget(we, 3, 0, 1, 2);
    lfoWave_.push_back(we);
    grid->addWidget(wave, 1, 1);

    auto* sync = group("LFOSync", QStringLiteral(" LFO Sync "));
    auto* sv = new QVBoxLayout(sync);
    const char* const syncNames[] = {"LFOSyncFree", "LFOSyncRetrigger", "LFOSyncElement"};
    const char* const syncText[] = {"FreeRun", "Retrigger", "Element"};
    const char* const syncHints[] = {"LFO no phase-init", "LFO phase-init retriggered", "LFO sync element-settings"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(syncText[i]));
        r->setObjectName(QString::fromLatin1(syncNames[i]));
        r->setToolTip(QString::fromLatin1(syncHints[i]));
        connect(r, &QRadioButton::clicked, this, radioHandler(syncNames[i]));
        sv->addWidget(r);
        lfoSync_.push_back(r);
    }
    sv->addStretch(1);
    grid->addWidget(sync, 1, 2);

    auto* freq = group("FilterFreq", QStringLiteral(" Filter Frequency "));
    auto* fh = new QHBoxLayout(freq);
    fh->setSpacing(1);
    fh->addWidget(barColumn("FilterCutoff", QStringLiteral("CUTOFF"), 88));
    fh->addWidget(barColumn("FilterResonance", QStringLiteral("RESONANCE"), 88));
    layerSliders_.at("FilterCutoff").slider->setToolTip(QStringLiteral("Filter cutoff-frequency"));
    layerSliders_.at("FilterResonance").slider->setToolTip(QStringLiteral("Filter resonance-level"));
    grid->addWidget(freq, 1, 3);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    return page;
}

// ---------------------------------------------------------------------------
// Setting controls without running handlers

void TMainWindow::setLabelOf(QSlider* s, const QString& text)
{
    auto it = labels_.find(s);
    if (it != labels_.end())
        it->second->setText(text);
}

void TMainWindow::setSlider(QSlider* s, int position)
{
    const QSignalBlocker b(s);
    s->setValue(position);  // the bar clamps to its own range
}

void TMainWindow::setLayerSliderFromStored(const char* name, uint8_t stored)
{
    const LayerSlider& b = layerSliders_.at(name);
    setSlider(b.slider, b.row->positionFromStored(stored));
    setLabelOf(b.slider, labelFor(*b.row, b.slider->value()));
}

void TMainWindow::setCommonSliderFromStored(const char* name, uint8_t stored)
{
    QSlider* s = commonSliders_.at(name);
    const FieldRow& r = rowOf(name);
    setSlider(s, r.positionFromStored(stored));
    setLabelOf(s, labelFor(r, s->value()));
}

void TMainWindow::colourEditLayerCaptions()
{
    for (int n = 1; n <= 4; ++n) {
        QRadioButton* r = editLayer_[n - 1];
        QPalette p = r->palette();
        const QColor c = ctx_.image.edit.layer(n).data(0x16) != 0 ? QColor(Qt::blue) : QColor(Qt::black);
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::ButtonText, c);
        r->setPalette(p);
    }
}

void TMainWindow::redrawEnvelopes()
{
    aeg_->update();
    feg_->update();
    peg_->update();
}

// ---------------------------------------------------------------------------
// Refreshes

void TMainWindow::RefreshLayerPage()
{
    EditorState& st = ctx_.state;
    st.sendEnable = false;
    const BulkBlock& b = layer();
    const int L = st.editLayer;

    const int bankRow = bankRowOf(b.data(0x00), b.data(0x01));
    const int row = userPerf_->currentRow();
    perfNumber_->setText(QStringLiteral("Program %1, Bank MSB 63, LSB 65")
                             .arg(row < 0 ? QStringLiteral("---") : QString::number(row)));
    if (bankRow >= 0) {
        const QSignalBlocker block(bank_);
        bank_->setCurrentIndex(bankRow);
    }
    {
        // An unknown pair keeps the selector and lists the last bank's names.
        const int namesRow = bankRow >= 0 ? bankRow : kBankRows - 1;
        const QSignalBlocker block(voices_);
        for (int p = 0; p < kVoicesPerBank; ++p)
            voices_->item(p)->setText(q(cp1252ToUtf8(voiceEntry(namesRow, p))));
        const int program = std::clamp(int(b.data(0x02)), 0, kVoicesPerBank - 1);
        voices_->setCurrentRow(program);
        voices_->scrollToItem(voices_->item(program), QAbstractItemView::PositionAtTop);
    }

    const MuteMemory& mute = st.mute[size_t(L - 1)];
    setSlider(layerVolume_, 127 - (mute.muted ? mute.savedVolume : b.data(0x07)));
    setLabelOf(layerVolume_, QString::number(127 - layerVolume_->value()));

    {
        const QSignalBlocker b1(playPoly_), b2(layerOn_), b3(effectVariation_);
        playPoly_->setChecked(b.data(0x03) != 0);
        layerOn_->setChecked(b.data(0x16) != 0);
        effectVariation_->setChecked(b.data(0x0F) != 0);
    }
    colourEditLayerCaptions();

    for (const char* name : {"VelocityLimitLow", "VelocityLimitHigh", "VelocitySenseDepth", "VelocitySenseOffset",
                             "EffectReverb", "EffectChorus", "NoteLimitLow", "NoteLimitHigh", "NoteShift"})
        setLayerSliderFromStored(name, b.data(layerSliders_.at(name).row->offset));

    const pan::View pv = pan::fromStored(b.data(pan::kOffset));
    setSlider(panPot_, pv.position);
    setLabelOf(panPot_, q(pan::label(panPot_->value())));
    {
        const QSignalBlocker block(randomPan_);
        randomPan_->setChecked(pv.random);
    }

    setSlider(detune_, detune::position(b.data(detune::kHighOffset), b.data(detune::kLowOffset)));
    setLabelOf(detune_, q(detune::label(detune_->value(), decimalSeparator())));

    for (const auto* names : {kEnvelopeFEG, kEnvelopeAEG})
        for (int i = 0; i < 4; ++i)
            setLayerSliderFromStored(names[i], b.data(layerSliders_.at(names[i]).row->offset));
    for (const char* name : kEnvelopePEG)
        setLayerSliderFromStored(name, b.data(layerSliders_.at(name).row->offset));
    redrawEnvelopes();

    for (const char* name : {"FilterCutoff", "FilterResonance", "LFOSpeed", "LFOAMod", "LFOPMod", "LFOFMod"})
        setLayerSliderFromStored(name, b.data(layerSliders_.at(name).row->offset));

    // Radio groups: a byte that no button stands for shows "Element".
    auto setRadio = [](std::vector<QRadioButton*>& buttons, uint8_t v) {
        QRadioButton* r = v < buttons.size() - 1 ? buttons[v] : buttons.back();
        const QSignalBlocker block(r);
        r->setChecked(true);
    };
    setRadio(lfoWave_, b.data(0x1F));
    setRadio(lfoSync_, b.data(0x10));

    st.sendEnable = true;
}

void TMainWindow::RefreshAll()
{
    EditorState& st = ctx_.state;
    st.sendEnable = false;
    st.modified = false;

    for (QRadioButton* r : editLayer_) {
        QPalette p = r->palette();
        p.setColor(QPalette::WindowText, Qt::black);
        p.setColor(QPalette::ButtonText, Qt::black);
        r->setPalette(p);
    }
    for (int i = 0; i < 4; ++i) {
        st.mute[size_t(i)] = MuteMemory{};
        const QSignalBlocker block(muteLayer_[i]);
        muteLayer_[i]->setChecked(false);
        muteLayer_[i]->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    }
    st.editLayer = 1;
    {
        const QSignalBlocker block(editLayer_[0]);
        editLayer_[0]->setChecked(true);
    }
    st.affectAll = false;
    {
        const QSignalBlocker block(affectAll_);
        affectAll_->setChecked(false);
    }

    const BulkBlock& c00 = ctx_.image.edit[BlockKind::Common00];
    const BulkBlock& c50 = ctx_.image.edit[BlockKind::Common50];
    {
        const QSignalBlocker b1(perfType_), b2(perfName_), b3(portaOn_);
        const int type = c00.data(0x08);
        perfType_->setCurrentIndex(type < perfType_->count() ? type : -1);
        std::string name;
        for (size_t i = 0; i < perfName::kLength; ++i)
            name += char(c00.data(perfName::kOffset + i));
        perfName_->setText(q(cp1252ToUtf8(name)));
        portaOn_->setChecked(c50.data(0x07) != 0);
    }
    setCommonSliderFromStored("CommonVolume", c00.data(0x09));
    setCommonSliderFromStored("PortaTime", c50.data(0x08));
    setCommonSliderFromStored("PitchBend", c50.data(0x03));
    arpeggiator_->refreshFromImage();

    RefreshLayerPage();

    modWheel_->refreshFromImage();
    footControl_->refreshFromImage();
    knobsPage_->refreshFromImage();
    effectsPage_->refreshFromImage();

    st.sendEnable = true;
    st.modified = false;
    setBusy(false);
}

// ---------------------------------------------------------------------------
// Layer handlers

void TMainWindow::layerSliderMoved(const LayerSlider& b, int position)
{
    setLabelOf(b.slider, labelFor(*b.row, position));
    if (b.picture)
        b.picture->update();
    ctx_.senders.writeLayerField(b.row->offset, b.row->storedFromPosition(position));
}

void TMainWindow::noteLimitMoved(bool low, int position)
{
    QSlider* self = low ? noteLimitLow_ : noteLimitHigh_;
    QSlider* other = low ? noteLimitHigh_ : noteLimitLow_;
    const FieldRow& selfRow = *layerSliders_.at(low ? "NoteLimitLow" : "NoteLimitHigh").row;
    const FieldRow& otherRow = *layerSliders_.at(low ? "NoteLimitHigh" : "NoteLimitLow").row;
    setLabelOf(self, labelFor(selfRow, position));
    // The limits never cross: the other one is pushed along first.
    if (low ? other->value() < position : position < other->value()) {
        setSlider(other, position);
        setLabelOf(other, labelFor(otherRow, position));
        ctx_.senders.writeLayerField(otherRow.offset, otherRow.storedFromPosition(position));
    }
    ctx_.senders.writeLayerField(selfRow.offset, selfRow.storedFromPosition(position));
}

void TMainWindow::PanPotChange(int position)
{
    if (position == pan::kCentre) {
        setLabelOf(panPot_, QStringLiteral("CTR"));
    } else {
        const QSignalBlocker block(randomPan_);
        randomPan_->setChecked(false);
        setLabelOf(panPot_, q(pan::label(position)));
    }
    ctx_.senders.writeLayerField(pan::kOffset, uint8_t(position));
}

void TMainWindow::RandomPanClick(bool checked)
{
    uint8_t stored = uint8_t(panPot_->value());
    if (checked) {
        setSlider(panPot_, pan::kCentre);
        setLabelOf(panPot_, QStringLiteral("CTR"));
        stored = pan::kRandom;
    }
    ctx_.senders.writeLayerField(pan::kOffset, stored);
}

void TMainWindow::NoteDetuneChange(int position)
{
    setLabelOf(detune_, q(detune::label(position, decimalSeparator())));
    const auto [high, low] = detune::nibbles(position);
    kw::writeLayerField(ctx_.image, ctx_.state, detune::kHighOffset, high);
    kw::writeLayerField(ctx_.image, ctx_.state, detune::kLowOffset, low);
    // The synth takes detune only with the whole layer.
    ctx_.senders.editLayerBlocks(ctx_.state.affectAll);
}

void TMainWindow::LayerVolumeChange(int position)
{
    setLabelOf(layerVolume_, QString::number(127 - position));
    const uint8_t v = uint8_t(127 - position);
    EditorState& st = ctx_.state;
    const int first = st.affectAll ? 1 : st.editLayer, last = st.affectAll ? 4 : st.editLayer;
    for (int l = first; l <= last; ++l) {
        MuteMemory& m = st.mute[size_t(l - 1)];
        if (m.muted)
            m.savedVolume = v;  // takes effect when the layer is unmuted
        else
            ctx_.image.edit.layer(l).data(0x07) = v;
    }
    // Each layer gets its own byte: a muted edit layer must not silence the
    // other layers, nor an unmuted one wake a muted layer.
    for (int l = first; l <= last; ++l)
        ctx_.senders.parameterChange(0x60, uint8_t(l), 0x07, ctx_.image.edit.layer(l).data(0x07));
}

void TMainWindow::VelocityDefaultsClick()
{
    const std::pair<const char*, int> positions[] = {
        {"VelocityLimitLow", 126}, {"VelocityLimitHigh", 0}, {"VelocitySenseDepth", 63}, {"VelocitySenseOffset", 63}};
    for (auto [name, position] : positions) {
        const LayerSlider& b = layerSliders_.at(name);
        setSlider(b.slider, position);
        setLabelOf(b.slider, labelFor(*b.row, position));
        kw::writeLayerField(ctx_.image, ctx_.state, b.row->offset, b.row->storedFromPosition(position));
    }
    ctx_.senders.editLayerBlocks(ctx_.state.affectAll);
}

void TMainWindow::LayerOnClick(bool checked)
{
    const FieldRow& r = rowOf("LayerOn");
    kw::writeLayerField(ctx_.image, ctx_.state, r.offset, r.storedFromPosition(checked ? 1 : 0));
    colourEditLayerCaptions();
    ctx_.senders.layerParameter(r.offset, layer().data(r.offset));
}

void TMainWindow::MuteLayerClick(int n, bool down)
{
    MuteMemory& m = ctx_.state.mute[size_t(n - 1)];
    BulkBlock& b = ctx_.image.edit.layer(n);
    if (down && !m.muted) {
        m.savedVolume = b.data(0x07);
        b.data(0x07) = 0;
    } else if (!down && m.muted) {
        b.data(0x07) = m.savedVolume;
        if (n == ctx_.state.editLayer) {
            setSlider(layerVolume_, 127 - b.data(0x07));
            setLabelOf(layerVolume_, QString::number(127 - layerVolume_->value()));
        }
    }
    m.muted = down;
    ctx_.senders.parameterChange(0x60, uint8_t(n), 0x07, b.data(0x07));
}

void TMainWindow::EditLayerClick(int n)
{
    ctx_.state.editLayer = n;
    RefreshLayerPage();
}

void TMainWindow::MenuEditCopyLayerClick()
{
    EditorState& st = ctx_.state;
    st.layerClipboard.assign(layer().view());
    // A muted layer is copied with the volume it will have again, not its 0.
    const MuteMemory& m = st.mute[size_t(st.editLayer - 1)];
    if (m.muted)
        st.layerClipboard.data(0x07) = m.savedVolume;
    st.clipboardFilled = true;
    status(kStatusCopied);
    actions_.at("MenuEditPasteLayer")->setEnabled(true);
}

void TMainWindow::MenuEditPasteLayerClick()
{
    EditorState& st = ctx_.state;
    if (!st.clipboardFilled)
        return;
    const int L = st.editLayer;
    BulkBlock& b = layer();
    b.assign(st.layerClipboard.view());
    // A muted layer stays silent: the pasted volume waits in the mute memory.
    MuteMemory& m = st.mute[size_t(L - 1)];
    if (m.muted) {
        m.savedVolume = b.data(0x07);
        b.data(0x07) = 0;
    }
    ctx_.senders.bulk(layerKind(L));
    RefreshLayerPage();
    const std::string text = "Layerdata pasted to Layer #" + std::to_string(L) + "...";
    status(text);
}


// ---------------------------------------------------------------------------
// Common handlers

void TMainWindow::writeCommonByte(BlockKind block, uint8_t offset, uint8_t value)
{
    ctx_.image.edit[block].data(offset) = value;
    ctx_.senders.parameterChange(0x60, 0x00, uint8_t(blockInfo(block).addrLow + offset), value);
}

void TMainWindow::PerformanceNameChange()
{
    const auto bytes = perfName::bytes(utf8ToCp1252(perfName_->text().toStdString()));
    BulkBlock& c00 = ctx_.image.edit[BlockKind::Common00];
    for (size_t i = 0; i < bytes.size(); ++i)
        c00.data(perfName::kOffset + i) = bytes[i];
    ctx_.senders.bulk(BlockKind::Common00);
}

// ---------------------------------------------------------------------------
// Voice and user-performance selection

void TMainWindow::PatchBankNumberChange(int index)
{
    const BankRow& r = bankTable()[size_t(index)];
    kw::writeLayerField(ctx_.image, ctx_.state, 0x00, r.msb);
    kw::writeLayerField(ctx_.image, ctx_.state, 0x01, r.lsb);
    {
        // Rebuild in place: the list stays scrolled where the user left it.
        const QSignalBlocker block(voices_);
        const int top = voices_->verticalScrollBar()->value();
        for (int p = 0; p < kVoicesPerBank; ++p)
            voices_->item(p)->setText(q(cp1252ToUtf8(voiceEntry(index, p))));
        voices_->setCurrentRow(std::clamp(int(layer().data(0x02)), 0, kVoicesPerBank - 1),
                               QItemSelectionModel::ClearAndSelect);
        voices_->verticalScrollBar()->setValue(top);
    }
    ctx_.senders.editLayerBlocks(ctx_.state.affectAll);
}

void TMainWindow::PatchVoiceNumberClick(int index) { ctx_.senders.writeLayerField(0x02, uint8_t(index)); }

void TMainWindow::UserPerfClick(int pp)
{
    EditorState& st = ctx_.state;
    if (pp < 0)
        return;
    if (st.modified && !askYesNo("Caution", "Changes on actual Performance will be lost - continue?")) {
        // The synth keeps playing the previous performance; so does the list.
        selectUserPerf(st.selectedUserPerf);
        return;
    }
    if (!ctx_.senders.portOpen() || !ctx_.inputOpen())
        return;
    st.selectedUserPerf = pp;
    const std::string text = "Patch-Change " + userPerf_->item(pp)->text().toStdString();
    status(text);
    ctx_.senders.selectUserPerformance(pp);
    setBusy(true);
    if (startFetch)
        startFetch();
}

// ---------------------------------------------------------------------------
// What the core asks of the window

void TMainWindow::showStatus(const std::string& text) { status_->setText(q(text)); }

void TMainWindow::status(const std::string& text)
{
    // The core's setter also times the return to "OK"; without it the text just stands.
    if (ctx_.status)
        ctx_.status(text);
    else
        showStatus(text);
}

void TMainWindow::setLamp(Lamp lamp, bool bright)
{
    QFrame* f = lamp == Lamp::In ? lampIn_ : lampOut_;
    QPalette p = f->palette();
    p.setColor(QPalette::Window, bright ? kLampBright : kLampDark);
    f->setPalette(p);
}

void TMainWindow::messageBox(const std::string& text)
{
    if (messageHook)
        return messageHook(text);
    QMessageBox::information(this, windowTitle(), q(text));
}

bool TMainWindow::askYesNo(const std::string& caption, const std::string& text)
{
    if (askHook)
        return askHook(caption, text);
    return QMessageBox::question(this, q(caption), q(text), QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
}

void TMainWindow::setBusy(bool busy)
{
    setEnabled(!busy);
    if (busy && !busy_)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!busy && busy_)
        QApplication::restoreOverrideCursor();
    busy_ = busy;
}

void TMainWindow::selectUserPerf(int index)
{
    const QSignalBlocker block(userPerf_);
    if (index >= 0 && index < userPerf_->count()) {
        userPerf_->setCurrentRow(index);
    } else {
        userPerf_->setCurrentRow(-1);
        userPerf_->clearSelection();
    }
}

void TMainWindow::setUserPerfEntry(int index, const std::string& text)
{
    if (index >= 0 && index < userPerf_->count())
        userPerf_->item(index)->setText(q(cp1252ToUtf8(text)));
}

void TMainWindow::followKnob(const std::string& control, int position)
{
    auto it = layerSliders_.find(control);
    if (it == layerSliders_.end())
        return;
    setSlider(it->second.slider, position);
    setLabelOf(it->second.slider, labelFor(*it->second.row, it->second.slider->value()));
    if (it->second.picture)
        it->second.picture->update();
}
