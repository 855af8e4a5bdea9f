#include "editor/ExploreWindow.h"

#include "editor/LibraryModel.h"
#include "editor/QtText.h"
#include "files/FileCheck.h"
#include "files/FilePaths.h"
#include "model/Settings.h"
#include "session/Dialogs.h"
#include "session/Explorer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>

namespace kw {

namespace {

constexpr const char* kFileFilter = "Performances (*.SYX *.syx *.PFB *.pfb);;All files (*)";

QString numbered(const char* stem, int n)
{
    return QString::fromLatin1(stem) + QString::number(n);
}

} // namespace

ExploreWindow::ExploreWindow(Explorer& explorer, Dialogs& dialogs, Settings& settings, LibraryImages library,
                             UserMemory userMemory, QWidget* parent)
    : QWidget(parent, Qt::Window), explorer_(explorer), dialogs_(dialogs), settings_(settings),
      library_(std::move(library)), userMemory_(std::move(userMemory))
{
    setObjectName(QStringLiteral("ExploreWindow"));
    setWindowTitle(QStringLiteral("Explore"));
    setAcceptDrops(true);
    auto* top = new QVBoxLayout(this);

    // --- What the tools leave alone, and how far they go -------------------
    auto* lockBox = new QGroupBox(QStringLiteral("Locked (left as they are)"), this);
    auto* lockRow = new QHBoxLayout(lockBox);
    static const char* const lockNames[7] = {"Common", "Effects", "Arpeggiator", "Layer1", "Layer2", "Layer3",
                                             "Layer4"};
    static const char* const lockTexts[7] = {"Common", "Effects", "Arpeggiator", "Layer 1", "Layer 2", "Layer 3",
                                             "Layer 4"};
    for (int i = 0; i < explore::kLocks; ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(lockTexts[i]), lockBox);
        box->setObjectName(QStringLiteral("ExploreLock_") + QString::fromLatin1(lockNames[i]));
        box->setChecked(explorer_.options().locks & explore::lockBit(explore::Lock(i)));
        connect(box, &QCheckBox::toggled, this, [this] { optionsChanged(); });
        lockRow->addWidget(box);
        locks_[size_t(i)] = box;
    }
    top->addWidget(lockBox);

    auto* mutateRow = new QHBoxLayout;
    mutateRow->addWidget(new QLabel(QStringLiteral("Strength"), this));
    strength_ = new QSpinBox(this);
    strength_->setObjectName(QStringLiteral("ExploreStrength"));
    strength_->setRange(1, 100);
    strength_->setSuffix(QStringLiteral(" %"));
    strength_->setValue(explorer_.options().strength);
    connect(strength_, &QSpinBox::valueChanged, this, [this] { optionsChanged(); });
    mutateRow->addWidget(strength_);
    choices_ = new QCheckBox(QStringLiteral("Choices may change (waves, effect types, voices)"), this);
    choices_->setObjectName(QStringLiteral("ExploreChoices"));
    choices_->setChecked(explorer_.options().choices);
    connect(choices_, &QCheckBox::toggled, this, [this] { optionsChanged(); });
    mutateRow->addWidget(choices_);
    mutateRow->addStretch();
    auto* mutate = new QPushButton(QStringLiteral("Mutate"), this);
    mutate->setObjectName(QStringLiteral("ExploreMutate"));
    mutate->setToolTip(QStringLiteral("Ctrl+M"));
    connect(mutate, &QPushButton::clicked, this, [this] { explorer_.mutate(); });
    mutateRow->addWidget(mutate);
    top->addLayout(mutateRow);

    // --- Morph -------------------------------------------------------------
    morphBox_ = new QGroupBox(QStringLiteral("Morph from the edit to B"), this);
    auto* morphLayout = new QGridLayout(morphBox_);
    partner_ = new QLabel(QStringLiteral("B: none (choose a file, or drop a row of the library here)"), morphBox_);
    partner_->setObjectName(QStringLiteral("ExplorePartner"));
    morphLayout->addWidget(partner_, 0, 0);
    auto* partnerFile = new QPushButton(QStringLiteral("B from file..."), morphBox_);
    partnerFile->setObjectName(QStringLiteral("ExplorePartnerFile"));
    connect(partnerFile, &QPushButton::clicked, this, [this] {
        const auto file = dialogs_.chooseOpenFile("Performance B", kFileFilter, settings_.lastDir);
        if (!file)
            return;
        const std::vector<Named> read = readFiles({*file});
        if (!read.empty())
            setPartner(read.front());
    });
    morphLayout->addWidget(partnerFile, 0, 1);
    if (userMemory_) {
        auto* partnerUser = new QPushButton(QStringLiteral("B from user memory..."), morphBox_);
        partnerUser->setObjectName(QStringLiteral("ExplorePartnerUser"));
        connect(partnerUser, &QPushButton::clicked, this, [this] {
            userMemory_([this](const Named& b) { setPartner(b); });
        });
        morphLayout->addWidget(partnerUser, 0, 2);
    }
    morph_ = new QSlider(Qt::Horizontal, morphBox_);
    morph_->setObjectName(QStringLiteral("ExploreMorph"));
    morph_->setRange(0, 100);
    morph_->setEnabled(false);
    connect(morph_, &QSlider::valueChanged, this, [this](int p) { morphMoved(p); });
    connect(morph_, &QSlider::sliderReleased, this, [this] { explorer_.morphReleased(); });
    morphLayout->addWidget(new QLabel(QStringLiteral("A"), morphBox_), 1, 0, Qt::AlignLeft);
    morphLayout->addWidget(morph_, 2, 0, 1, -1);
    top->addWidget(morphBox_);

    // --- Breed ---------------------------------------------------------------
    auto* breedBox = new QGroupBox(QStringLiteral("Breed"), this);
    auto* breedLayout = new QGridLayout(breedBox);
    parents_ = new QListWidget(breedBox);
    parents_->setObjectName(QStringLiteral("ExploreParents"));
    parents_->setToolTip(QStringLiteral("Performances to breed from (2 to 8): files, the edit, or rows of the "
                                        "library dropped here"));
    parents_->setMaximumHeight(110);
    breedLayout->addWidget(parents_, 0, 0, 3, 4);
    auto* addEdit = new QPushButton(QStringLiteral("Add the edit"), breedBox);
    addEdit->setObjectName(QStringLiteral("ExploreAddEdit"));
    connect(addEdit, &QPushButton::clicked, this, [this] {
        addParents({{"The edit", explorer_.editedSound()}});
    });
    auto* addFiles = new QPushButton(QStringLiteral("Add files..."), breedBox);
    addFiles->setObjectName(QStringLiteral("ExploreAddFiles"));
    connect(addFiles, &QPushButton::clicked, this, [this] {
        addParents(readFiles(dialogs_.chooseOpenFiles("Performances to breed from", kFileFilter, settings_.lastDir)));
    });
    auto* clear = new QPushButton(QStringLiteral("Clear"), breedBox);
    clear->setObjectName(QStringLiteral("ExploreClearParents"));
    connect(clear, &QPushButton::clicked, this, [this] {
        parentList_.clear();
        parents_->clear();
    });
    auto* breed = new QPushButton(QStringLiteral("Breed"), breedBox);
    breed->setObjectName(QStringLiteral("ExploreBreed"));
    connect(breed, &QPushButton::clicked, this, [this] {
        if (parentList_.size() < 2) {
            dialogs_.inform("Breeding needs two performances at least: add files, the edit, or drop rows of the "
                            "library here.");
            return;
        }
        std::vector<PerformanceImage> images;
        for (const Named& n : parentList_)
            images.push_back(n.image);
        explorer_.setParents(std::move(images));
        explorer_.breed();
        showCandidates();
    });
    breedLayout->addWidget(addEdit, 0, 4);
    breedLayout->addWidget(addFiles, 1, 4);
    breedLayout->addWidget(clear, 2, 4);
    for (int i = 0; i < Explorer::kCandidates; ++i) {
        auto* cell = new QVBoxLayout;
        auto* button = new QPushButton(QStringLiteral("Candidate %1").arg(i + 1), breedBox);
        button->setObjectName(numbered("ExploreCandidate", i + 1));
        button->setCheckable(true);
        button->setEnabled(false);
        button->setMinimumHeight(40);
        connect(button, &QPushButton::clicked, this, [this, i] {
            explorer_.tryCandidate(i);
            for (int k = 0; k < Explorer::kCandidates; ++k)
                candidates_[size_t(k)]->setChecked(k == explorer_.tried());
            keep_->setEnabled(explorer_.tried() >= 0);
        });
        auto* tick = new QCheckBox(QStringLiteral("breed on"), breedBox);
        tick->setObjectName(numbered("ExploreTick", i + 1));
        tick->setEnabled(false);
        cell->addWidget(button);
        cell->addWidget(tick);
        breedLayout->addLayout(cell, 3 + i / 4, i % 4);
        candidates_[size_t(i)] = button;
        ticks_[size_t(i)] = tick;
    }
    auto* actions = new QHBoxLayout;
    actions->addWidget(breed);
    actions->addStretch();
    keep_ = new QPushButton(QStringLiteral("Keep"), breedBox);
    keep_->setObjectName(QStringLiteral("ExploreKeep"));
    keep_->setEnabled(false);
    connect(keep_, &QPushButton::clicked, this, [this] {
        explorer_.keep();
        showCandidates();
    });
    again_ = new QPushButton(QStringLiteral("Again"), breedBox);
    again_->setObjectName(QStringLiteral("ExploreAgain"));
    again_->setEnabled(false);
    connect(again_, &QPushButton::clicked, this, [this] {
        std::vector<int> ticked;
        for (int i = 0; i < Explorer::kCandidates; ++i)
            if (ticks_[size_t(i)]->isChecked())
                ticked.push_back(i);
        explorer_.breedAgain(ticked);
        showCandidates();
    });
    actions->addWidget(keep_);
    actions->addWidget(again_);
    breedLayout->addLayout(actions, 5, 0, 1, 5);
    top->addWidget(breedBox);
}

void ExploreWindow::optionsChanged()
{
    explore::Options& o = explorer_.options();
    o.locks = 0;
    for (int i = 0; i < explore::kLocks; ++i)
        if (locks_[size_t(i)]->isChecked())
            o.locks |= explore::lockBit(explore::Lock(i));
    o.strength = strength_->value();
    o.choices = choices_->isChecked();
}

void ExploreWindow::morphMoved(int percent)
{
    explorer_.morphTo(percent);
    // Keys and the wheel move it without a drag: each move is a step.
    if (!morph_->isSliderDown())
        explorer_.morphReleased();
}

std::vector<ExploreWindow::Named> ExploreWindow::readFiles(const std::vector<std::string>& paths)
{
    std::vector<Named> out;
    std::vector<std::string> refused;
    for (const std::string& path : paths) {
        const auto checked = checkFile(pathFromUtf8(path));
        const std::string shown = utf8FromPath(pathFromUtf8(path).filename());
        if (!checked) {
            refused.push_back(shown + ": " + plainText(checked.error()));
            continue;
        }
        for (const CheckedRecord& r : checked->records) {
            if (!r.faults.none()) {
                refused.push_back(shown + ": record " + std::to_string(r.record.number() + 1) + ": "
                                  + r.faults.texts().front());
                continue;
            }
            Named n{printable(r.record.shortEntry()), {}};
            n.image.setDefaults();
            r.record.toEdit(n.image.edit);
            out.push_back(std::move(n));
        }
        settings_.lastDir = utf8FromPath(pathFromUtf8(path).parent_path());
    }
    if (!refused.empty()) {
        std::string details;
        for (const std::string& line : refused)
            details += line + "\n";
        dialogs_.inform("Left out (damaged or unreadable):", details);
    }
    return out;
}

void ExploreWindow::setPartner(const Named& b)
{
    explorer_.setPartner(b.image, b.name);
    partner_->setText(qs("B: " + b.name));
    const QSignalBlocker block(morph_);
    morph_->setValue(0);
    morph_->setEnabled(true);
}

void ExploreWindow::addParents(const std::vector<Named>& parents)
{
    for (const Named& n : parents) {
        if (parentList_.size() >= size_t(Explorer::kCandidates))
            break;  // eight at most
        parentList_.push_back(n);
        parents_->addItem(qs(n.name));
    }
}

void ExploreWindow::showCandidates()
{
    const bool any = !explorer_.candidates().empty();
    for (int i = 0; i < Explorer::kCandidates; ++i) {
        candidates_[size_t(i)]->setEnabled(any);
        candidates_[size_t(i)]->setChecked(i == explorer_.tried());
        ticks_[size_t(i)]->setEnabled(any);
        ticks_[size_t(i)]->setChecked(false);
    }
    keep_->setEnabled(explorer_.tried() >= 0);
    again_->setEnabled(any);
}

void ExploreWindow::closeEvent(QCloseEvent* e)
{
    // A candidate only heard is not the edit: the edit comes back.
    explorer_.giveBack();
    showCandidates();
    QWidget::closeEvent(e);
}

void ExploreWindow::dragEnterEvent(QDragEnterEvent* e)
{
    if (!libraryIds(e->mimeData()).empty() || e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

// Onto the morph box: B; anywhere else: performances to breed from.
void ExploreWindow::dropEvent(QDropEvent* e)
{
    std::vector<Named> dropped;
    const auto ids = libraryIds(e->mimeData());
    if (!ids.empty() && library_) {
        dropped = library_(ids);
    } else {
        std::vector<std::string> files;
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile())
                files.push_back(utf8(url.toLocalFile()));
        dropped = readFiles(files);
    }
    if (dropped.empty())
        return;
    e->acceptProposedAction();
    if (morphBox_->geometry().contains(e->position().toPoint()))
        setPartner(dropped.front());
    else
        addParents(dropped);
}

} // namespace kw
