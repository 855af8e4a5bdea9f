#include "editor/LibraryWindow.h"

#include "editor/LibraryCompareWindow.h"
#include "editor/LibraryModel.h"
#include "editor/LibrarySimilarWindow.h"
#include "editor/NameValidator.h"
#include "editor/PageKit.h"
#include "editor/QtText.h"
#include "editor/SynthMemoryView.h"
#include "files/FileCheck.h"
#include "model/NameTables.h"
#include "session/library/LibraryCommands.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <set>
#include <utility>

namespace kw {

using pagekit::button;

namespace {

// A burst of keeps (a backup, a bank) reads the table anew once.
constexpr int kReloadDelayMs = 200;

// F2 on a name: a box that takes only what the synth can hold, eight
// characters of printable ASCII, and says so when something is refused.
class NameDelegate : public QStyledItemDelegate {
public:
    NameDelegate(QObject* parent, std::function<void()> refused)
        : QStyledItemDelegate(parent), refused_(std::move(refused))
    {
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* box = new QLineEdit(parent);
        box->setObjectName(QStringLiteral("LibraryRename"));
        box->setMaxLength(int(perfName::kLength));
        box->setValidator(new NameValidator(box, refused_));
        return box;
    }

private:
    std::function<void()> refused_;
};

// The favourite mark of the selected rows: partly checked when only some
// are favourites. A click marks all of them, or none; never some.
class MarkBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }
};

// What a list of the strip shows when the selected rows differ.
constexpr const char* kMixed = "(mixed)";

std::string plural(size_t n)
{
    return groupedNumber(n) + (n == 1 ? " performance" : " performances");
}

// Source filter entries before the imports, with the kind each keeps.
struct SourceEntry {
    const char* text;
    int kind;
};
constexpr SourceEntry kSourceEntries[] = {
    {"All sources", 0},
    {"CS1x user performances", int(Source::Kind::SynthUser)},
    {"CS1x edit buffer", int(Source::Kind::SynthEdit)},
    {"Kept from the editor", int(Source::Kind::Editor)},
    {"Files", int(Source::Kind::File)},
};
constexpr int kFixedSources = int(std::size(kSourceEntries));

constexpr const char* kUndoHint = "Take back the last delete or change made here";
constexpr const char* kRedoHint = "Do again what Undo took back";

// "&Undo tags of 3 performances". A step over thousands of rows on both
// buttons would make the window wider than a small screen: past the width
// of a step over a few hundred, its name is cut, and the tip tells it whole.
void nameStep(QPushButton* b, const char* verb, const std::string& what, const char* hint)
{
    const QString name = qs(what);
    const QFontMetrics fm = b->fontMetrics();
    const int widest = fm.horizontalAdvance(QStringLiteral("favourite of 999 performances"));
    const QString cut = fm.elidedText(name, Qt::ElideRight, widest);
    const QString action = QString::fromLatin1(verb);
    b->setText(name.isEmpty() ? action : action + QLatin1Char(' ') + cut);
    b->setToolTip(cut == name ? QString::fromLatin1(hint)
                              : QString(action).remove(QLatin1Char('&')) + QLatin1Char(' ') + name);
}

} // namespace

LibraryWindow::LibraryWindow(LibraryCommands& commands, QWidget* parent)
    : QWidget(parent, Qt::Window), commands_(commands), model_(new LibraryModel(commands, this)), comparer_(commands)
{
    setObjectName(QStringLiteral("LibraryWindow"));
    setWindowTitle(QStringLiteral("Library"));
    model_->renamed = [this](int64_t id, const std::string& name) { rename(id, name); };

    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("LibrarySearch"));
    search_->setPlaceholderText(QStringLiteral("Search names, categories, tags, sources"));
    search_->setClearButtonEnabled(true);
    search_->setToolTip(QStringLiteral("Every word must be found in the name, category, tags or where it came from"));
    connect(search_, &QLineEdit::textChanged, this, [this] { searchChanged(); });

    category_ = new QComboBox(this);
    category_->setObjectName(QStringLiteral("LibraryCategory"));
    category_->setToolTip(QStringLiteral("Only performances of this category"));
    category_->addItem(QStringLiteral("All categories"));
    for (int c = 0; c < kCategories; ++c)
        category_->addItem(categoryText(c));
    connect(category_, &QComboBox::currentIndexChanged, this, [this] { searchChanged(); });

    source_ = new QComboBox(this);
    source_->setObjectName(QStringLiteral("LibrarySource"));
    source_->setToolTip(QStringLiteral("Only performances seen here; each import is a source of its own"));
    connect(source_, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_)
            searchChanged();
    });

    favourites_ = new QCheckBox(QStringLiteral("&Favourites only"), this);
    favourites_->setObjectName(QStringLiteral("LibraryFavourites"));
    connect(favourites_, &QCheckBox::toggled, this, [this] { searchChanged(); });

    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("LibraryCount"));

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("LibraryTable"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    table_->setSortingEnabled(true);
    table_->horizontalHeader()->setSortIndicator(LibraryModel::NameColumn, Qt::AscendingOrder);
    table_->setDragEnabled(true);
    table_->setDragDropMode(QAbstractItemView::DragOnly);
    table_->setWordWrap(false);
    // Paths differ at their ends: the file's name stays in sight.
    table_->setTextElideMode(Qt::ElideMiddle);
    table_->setAlternatingRowColors(true);
    // Rows of one height: nothing is measured, so a long table costs only
    // the rows on screen.
    QHeaderView* rows = table_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    QHeaderView* columns = table_->horizontalHeader();
    const int digit = table_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[] = {14, 20, 9, 9, 18, 34, 16};
    for (int c = 0; c < LibraryModel::ColumnCount; ++c)
        columns->resizeSection(c, widths[c] * digit);
    columns->setStretchLastSection(true);
    table_->setItemDelegateForColumn(LibraryModel::NameColumn, new NameDelegate(this, [this] {
        problem(std::string("Refused: ") + kNameRule);
    }));
    // A double click plays the row; F2 renames it.
    connect(table_, &QTableView::doubleClicked, this, [this] { auditionClick(); });

    audition_ = button("LibraryAudition", "&Audition", "Play the performance in the synth; the edited one comes back "
                                                       "when this window closes",
                       this);
    open_ = button("LibraryOpen", "&Open", "Make it the edited performance (sent to the synth's edit buffer)", this);
    send_ = button("LibrarySend", "&Send to user performance...",
                   "Store the selected performances in the synth's user memory, from a performance you choose", this);
    export_ = button("LibraryExport", "E&xport...", "The selected performances as .SYX files, a bank or a MIDI file",
                     this);
    delete_ = button("LibraryDelete", "&Delete", "Remove the selected performances from the library (Undo brings "
                                                 "them back)",
                     this);
    undoButton_ = button("LibraryUndo", "&Undo", kUndoHint, this);
    redoButton_ = button("LibraryRedo", "&Redo", kRedoHint, this);
    connect(audition_, &QPushButton::clicked, this, &LibraryWindow::auditionClick);
    connect(open_, &QPushButton::clicked, this, &LibraryWindow::openClick);
    connect(send_, &QPushButton::clicked, this, &LibraryWindow::sendClick);
    connect(export_, &QPushButton::clicked, this, &LibraryWindow::exportClick);
    connect(delete_, &QPushButton::clicked, this, &LibraryWindow::deleteClick);
    connect(undoButton_, &QPushButton::clicked, this, &LibraryWindow::undoClick);
    connect(redoButton_, &QPushButton::clicked, this, &LibraryWindow::redoClick);
    compare_ = button("LibraryCompare", "Co&mpare",
                      "Every parameter that differs between the two selected performances, or between the "
                      "selected one and the edited performance",
                      this);
    similar_ = button("LibrarySimilar", "Find s&imilar", "The performances nearest in sound to the selected one",
                      this);
    connect(compare_, &QPushButton::clicked, this, &LibraryWindow::compareClick);
    connect(similar_, &QPushButton::clicked, this, &LibraryWindow::similarClick);
    auto* deleteKey = new QAction(this);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    connect(deleteKey, &QAction::triggered, this, &LibraryWindow::deleteClick);
    table_->addAction(deleteKey);
    auto* undoKey = new QAction(this);
    undoKey->setShortcut(QKeySequence::Undo);
    undoKey->setShortcutContext(Qt::WindowShortcut);
    connect(undoKey, &QAction::triggered, this, &LibraryWindow::undoClick);
    addAction(undoKey);
    auto* redoKey = new QAction(this);
    redoKey->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redoKey->setShortcutContext(Qt::WindowShortcut);
    connect(redoKey, &QAction::triggered, this, &LibraryWindow::redoClick);
    addAction(redoKey);

    // The edit strip: what the selected rows share, "(mixed)" where they
    // differ; what is set goes to every selected row, and a field left alone
    // changes none.
    editCategory_ = new QComboBox(this);
    editCategory_->setObjectName(QStringLiteral("LibraryEditCategory"));
    editCategory_->setToolTip(QStringLiteral("The category of every selected performance"));
    for (int c = 0; c < kCategories; ++c)
        editCategory_->addItem(categoryText(c));
    editCategory_->setPlaceholderText(QString::fromLatin1(kMixed));
    connect(editCategory_, &QComboBox::activated, this, [this](int c) { setCategory(c); });
    editRating_ = new QComboBox(this);
    editRating_->setObjectName(QStringLiteral("LibraryEditRating"));
    editRating_->setToolTip(QStringLiteral("The rating of every selected performance"));
    editRating_->addItem(QStringLiteral("No rating"));
    for (int r = 1; r <= 5; ++r)
        editRating_->addItem(QString(r, QChar(0x2605)), r);
    editRating_->setPlaceholderText(QString::fromLatin1(kMixed));
    connect(editRating_, &QComboBox::activated, this, [this](int r) { setRating(r); });
    editFavourite_ = new MarkBox(QStringLiteral("Fa&vourite"), this);
    editFavourite_->setObjectName(QStringLiteral("LibraryEditFavourite"));
    editFavourite_->setToolTip(QStringLiteral("Mark every selected performance as a favourite, or none"));
    connect(editFavourite_, &QCheckBox::clicked, this,
            [this] { setFavourite(editFavourite_->checkState() == Qt::Checked); });
    editTags_ = new QLineEdit(this);
    editTags_->setObjectName(QStringLiteral("LibraryEditTags"));
    editTags_->setPlaceholderText(QStringLiteral("Tags, separated by commas"));
    editTags_->setToolTip(QStringLiteral("The tags of every selected performance. A tag with * is on only some of "
                                         "them: leave it to keep it so, delete it to take it off all of them, or "
                                         "drop the * to put it on all of them."));
    connect(editTags_, &QLineEdit::returnPressed, this, [this] { setTags(utf8(editTags_->text())); });
    editNotes_ = new QLineEdit(this);
    editNotes_->setObjectName(QStringLiteral("LibraryEditNotes"));
    editNotes_->setPlaceholderText(QStringLiteral("Notes"));
    editNotes_->setToolTip(QStringLiteral("The notes of every selected performance"));
    connect(editNotes_, &QLineEdit::returnPressed, this, [this] { setNotes(utf8(editNotes_->text())); });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { showSelection(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { showSelection(); });

    auto* filters = new QHBoxLayout;
    filters->addWidget(search_, 3);
    filters->addWidget(category_, 1);
    filters->addWidget(source_, 2);
    filters->addWidget(favourites_);
    // The count answers the search, and the buttons' row needs its room for
    // the names of the steps Undo and Redo take.
    filters->addSpacing(digit);
    filters->addWidget(count_);
    auto* actions = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{audition_, open_, send_, export_, delete_, undoButton_,
                                                           redoButton_})
        actions->addWidget(w);
    actions->addWidget(compare_);
    actions->addWidget(similar_);
    actions->addStretch(1);
    auto* edits = new QHBoxLayout;
    auto* setLabel = new QLabel(QStringLiteral("Selected:"), this);
    edits->addWidget(setLabel);
    edits->addWidget(editCategory_);
    edits->addWidget(editRating_);
    edits->addWidget(editFavourite_);
    edits->addWidget(editTags_, 2);
    edits->addWidget(editNotes_, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    // The library's entries, and beside them the synth's memory as the
    // library knows it.
    memory_ = new SynthMemoryView(commands_, this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("LibraryTabs"));
    tabs_->addTab(table_, QStringLiteral("&Library"));
    tabs_->addTab(memory_, QStringLiteral("CS1x &memory"));
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tabs_->widget(tab) == memory_)
            memory_->refresh();
    });
    layout->addWidget(tabs_, 1);
    layout->addLayout(edits);
    layout->addLayout(actions);
    resize(130 * digit, 36 * rows->defaultSectionSize());

    reloadSoon_ = new QTimer(this);
    reloadSoon_->setSingleShot(true);
    reloadSoon_->setTimerType(Qt::PreciseTimer);
    connect(reloadSoon_, &QTimer::timeout, this, [this] {
        fillSources();
        reload();
    });
    showSelection();
}

LibraryWindow::~LibraryWindow() = default;

LibraryEdits& LibraryWindow::edits() { return commands_.edits(); }

void LibraryWindow::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    commands_.windowOpened();
    fillSources();
    reload();
    search_->setFocus();
}

void LibraryWindow::closeEvent(QCloseEvent* e)
{
    commands_.windowClosed();
    QWidget::closeEvent(e);
}

SearchFilter LibraryWindow::filter() const
{
    SearchFilter f;
    f.category = category_->currentIndex() - 1;
    f.favouritesOnly = favourites_->isChecked();
    const int s = source_->currentIndex();
    if (s > 0 && s < kFixedSources)
        f.sourceKind = kSourceEntries[s].kind;
    else if (s >= kFixedSources && size_t(s - kFixedSources) < importIds_.size())
        f.importId = importIds_[size_t(s - kFixedSources)];
    const QHeaderView* h = table_->horizontalHeader();
    const int column = h->sortIndicatorSection();
    static const SortKey keys[] = {SortKey::Name, SortKey::Category, SortKey::Favourite, SortKey::Rating,
                                   SortKey::Tags, SortKey::WhereFrom, SortKey::FirstSeen};
    f.sort = column >= 0 && column < LibraryModel::ColumnCount ? keys[column] : SortKey::Name;
    f.descending = h->sortIndicatorOrder() == Qt::DescendingOrder;
    f.pinned = pinned_;
    return f;
}

bool LibraryWindow::narrowed() const
{
    return !search_->text().trimmed().isEmpty() || category_->currentIndex() > 0 || source_->currentIndex() > 0
           || favourites_->isChecked();
}

void LibraryWindow::searchChanged()
{
    pinned_.clear();
    reload();
}

void LibraryWindow::fillSources()
{
    const int64_t chosen = source_->currentIndex() >= kFixedSources && !importIds_.empty()
                               ? importIds_[size_t(source_->currentIndex() - kFixedSources)]
                               : 0;
    const int fixed = std::min(source_->currentIndex(), kFixedSources - 1);
    filling_ = true;
    source_->clear();
    importIds_.clear();
    for (const SourceEntry& e : kSourceEntries)
        source_->addItem(QString::fromLatin1(e.text));
    if (auto imports = commands_.imports())
        for (const ImportInfo& i : *imports) {
            importIds_.push_back(i.id);
            source_->addItem(QStringLiteral("By import: ") + qs(i.label()));
        }
    int index = std::max(0, fixed);
    for (size_t i = 0; i < importIds_.size(); ++i)
        if (chosen && importIds_[i] == chosen)
            index = kFixedSources + int(i);
    source_->setCurrentIndex(index);
    filling_ = false;
}

void LibraryWindow::reload()
{
    if (!isVisible())
        return;
    const std::vector<int64_t> selected = selectedIds();
    const int top = table_->rowAt(0);
    const int64_t topId = model_->idAt(top);
    if (!model_->show(utf8(search_->text()), filter()))
        problem("The library cannot be read: " + model_->error());
    // The library counts anew only after a change, also one another
    // program made (an import of the files tool): never a stale total.
    size_t all = 0;
    if (auto n = commands_.count())
        all = *n;
    std::string counted = model_->total() == all ? plural(all) : groupedNumber(model_->total()) + " of " + plural(all);
    if (const size_t kept = model_->pinnedOnly())
        counted += " (" + groupedNumber(kept) + " changed, kept in view)";
    count_->setText(qs(counted));
    count_->setToolTip(model_->pinnedOnly() ? QStringLiteral("Rows you changed stay in the table, though they no "
                                                             "longer match, until the search or a filter changes")
                                            : QString());
    if (!selected.empty())
        select(selected);
    if (const int row = model_->rowOf(topId); row >= 0)
        table_->scrollTo(model_->index(row, 0), QAbstractItemView::PositionAtTop);
    showHistory(commands_.writable());
}

void LibraryWindow::libraryChanged()
{
    if (tabs_->currentWidget() == memory_)
        memory_->refresh();
    if (isVisible() && !reloadSoon_->isActive())
        reloadSoon_->start(kReloadDelayMs);
}

std::vector<int> LibraryWindow::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<int64_t> LibraryWindow::selectedIds() const
{
    std::vector<int64_t> ids;
    for (const int r : selectedRows())
        if (const int64_t id = model_->idAt(r))
            ids.push_back(id);
    return ids;
}

void LibraryWindow::select(const std::vector<int64_t>& ids)
{
    QItemSelection selection;
    // Among the rows read so far: a row not read is not on screen either.
    for (const int64_t id : ids)
        if (const int row = model_->rowOf(id); row >= 0)
            selection.select(model_->index(row, 0), model_->index(row, LibraryModel::ColumnCount - 1));
    table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selection.isEmpty())
        table_->selectionModel()->setCurrentIndex(selection.first().topLeft(), QItemSelectionModel::NoUpdate);
}

void LibraryWindow::showSelection()
{
    // One pass over the selection, page by page: the ids and what the rows
    // share.
    SharedFields shared;
    std::vector<int64_t> ids;
    for (const int row : selectedRows())
        if (const LibraryRow* r = model_->rowAt(row)) {
            ids.push_back(r->id);
            shared.add(*r);
        }
    std::swap(shown_, shared);
    const bool any = !ids.empty();
    const bool writable = commands_.writable();
    audition_->setEnabled(ids.size() == 1);
    open_->setEnabled(ids.size() == 1);
    compare_->setEnabled(ids.size() == 1 || ids.size() == 2);
    similar_->setEnabled(ids.size() == 1);
    send_->setEnabled(any);
    export_->setEnabled(any);
    delete_->setEnabled(any && writable);
    for (QWidget* w : std::initializer_list<QWidget*>{editCategory_, editRating_, editFavourite_, editTags_, editNotes_})
        w->setEnabled(any && writable);
    showHistory(writable);
    if (!any)
        return;
    editCategory_->setCurrentIndex(shown_.category.value_or(-1));
    editRating_->setCurrentIndex(shown_.rating.value_or(-1));
    editFavourite_->setCheckState(!shown_.favourite ? Qt::PartiallyChecked
                                  : *shown_.favourite ? Qt::Checked
                                                      : Qt::Unchecked);
    editTags_->setText(qs(shown_.tagText()));
    editNotes_->setText(qs(shown_.notes.value_or(std::string())));
    editNotes_->setPlaceholderText(shown_.notes ? QStringLiteral("Notes") : QString::fromLatin1(kMixed));
}

void LibraryWindow::problem(const std::string& text) { count_->setText(qs(text)); }

void LibraryWindow::auditionClick()
{
    const auto ids = selectedIds();
    if (ids.size() == 1)
        commands_.audition(ids.front());
}

void LibraryWindow::openClick()
{
    const auto ids = selectedIds();
    if (ids.size() == 1)
        commands_.open(ids.front());
}

void LibraryWindow::sendClick() { commands_.sendToUser(selectedIds()); }

void LibraryWindow::exportClick() { commands_.exportEntries(selectedIds()); }

void LibraryWindow::showHistory(bool writable)
{
    LibraryEdits& e = edits();
    undoButton_->setEnabled(e.canUndo() && writable);
    redoButton_->setEnabled(e.canRedo() && writable);
    nameStep(undoButton_, "&Undo", e.undoText(), kUndoHint);
    nameStep(redoButton_, "&Redo", e.redoText(), kRedoHint);
}

void LibraryWindow::changed(const LibraryEdits::Outcome& outcome, std::vector<int64_t> chosen)
{
    if (!outcome.problem.empty())
        problem(outcome.problem);
    if (!outcome.done)
        return;
    if (outcome.removed && !outcome.ids.empty()) {
        // The row after the ones gone is where the user goes on: found
        // before the table is read anew, while they still hold their places.
        chosen.clear();
        if (const int64_t next = model_->idAt(model_->rowOf(outcome.ids.back()) + 1))
            chosen.push_back(next);
    }
    // Under a search, what was changed stays in view even when it no longer
    // matches: rows do not vanish under the user's hands.
    if (!outcome.removed && narrowed()) {
        std::vector<int64_t> pins = outcome.ids;
        pins.insert(pins.end(), pinned_.begin(), pinned_.end());
        std::sort(pins.begin(), pins.end());
        pins.erase(std::unique(pins.begin(), pins.end()), pins.end());
        pinned_ = std::move(pins);
    }
    reload();
    if (!chosen.empty())
        select(chosen);
}

void LibraryWindow::deleteClick() { changed(edits().remove(selectedIds()), {}); }

void LibraryWindow::editSelected(const RowEdit& edit) { changed(edits().edit(selectedIds(), edit), {}); }

void LibraryWindow::rename(int64_t id, const std::string& name) { changed(edits().rename(id, name), {}); }

void LibraryWindow::setCategory(int category)
{
    if (shown_.category == category)
        return;
    RowEdit e;
    e.category = category;
    editSelected(e);
}

void LibraryWindow::setRating(int rating)
{
    if (shown_.rating == rating)
        return;
    RowEdit e;
    e.rating = rating;
    editSelected(e);
}

void LibraryWindow::setFavourite(bool on)
{
    if (shown_.favourite == on)
        return;
    RowEdit e;
    e.favourite = on;
    editSelected(e);
}

void LibraryWindow::setTags(const std::string& commaSeparated)
{
    const RowEdit e = shown_.tagsTyped(commaSeparated);
    if (!e.addTags.empty() || !e.removeTags.empty())
        editSelected(e);
}

void LibraryWindow::setNotes(const std::string& notes)
{
    // Mixed notes show an empty field: Return on it as it was changes none.
    if (shown_.notes ? *shown_.notes == notes : notes.empty() && !editNotes_->isModified())
        return;
    RowEdit e;
    e.notes = notes;
    editSelected(e);
}

void LibraryWindow::undoClick()
{
    const LibraryEdits::Outcome o = edits().undo();
    changed(o, o.ids);
}

void LibraryWindow::redoClick()
{
    const LibraryEdits::Outcome o = edits().redo();
    changed(o, o.ids);
}

void LibraryWindow::compareClick()
{
    const auto ids = selectedIds();
    const auto c = ids.size() == 2 ? comparer_.entries(ids[0], ids[1])
                   : ids.size() == 1 ? comparer_.withEdited(ids[0])
                                     : std::nullopt;
    if (!c)
        return;
    if (!compareWindow_)
        compareWindow_ = new LibraryCompareWindow(comparer_, this);
    compareWindow_->showComparison(*c, ids[0]);
}

void LibraryWindow::similarClick()
{
    const auto ids = selectedIds();
    if (ids.size() != 1)
        return;
    if (!similarWindow_) {
        similarWindow_ = new LibrarySimilarWindow(commands_, comparer_, this);
        similarWindow_->compareRequested = [this](int64_t from, int64_t to) {
            if (const auto c = comparer_.entries(from, to)) {
                if (!compareWindow_)
                    compareWindow_ = new LibraryCompareWindow(comparer_, this);
                compareWindow_->showComparison(*c, from);
            }
        };
    }
    const LibraryRow* r = model_->rowAt(model_->rowOf(ids.front()));
    similarWindow_->showNear(ids.front(), r ? trimBlanks(categoryAbbrev(r->category)) + " " + r->name : "it");
}

} // namespace kw
