#include "editor/BankEditWindow.h"

#include "editor/DialogFlags.h"
#include "editor/FolderBrowser.h"
#include "editor/LibraryModel.h"
#include "editor/Looks.h"
#include "editor/PageKit.h"
#include "editor/QtText.h"
#include "files/FilePaths.h"
#include "model/Settings.h"
#include "model/UserPerfList.h"
#include "session/BankManager.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <functional>

namespace kw {

using pagekit::button;

namespace {

constexpr int kItemHeight = 14;
// Set on a slot's line while it differs from what was last loaded or saved.
constexpr int kChangedRole = Qt::UserRole + 1;
constexpr int kPathRole = Qt::UserRole;
const QColor kMark(0xff, 0xff, 0x00);


// Lines 14 pixels high; a changed slot gets a yellow mark after its text,
// drawn, never part of the text.
class SlotDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (!index.data(kChangedRole).toBool())
            return;
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* w = opt.widget;
        const QStyle* style = w ? w->style() : nullptr;
        const QRect text = style ? style->subElementRect(QStyle::SE_ItemViewItemText, &opt, w) : opt.rect;
        const int x = text.left() + opt.fontMetrics.horizontalAdvance(opt.text + QLatin1Char(' ')) + 2;
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(kMark);
        painter->drawText(QRect(x, opt.rect.top(), opt.rect.right() - x, opt.rect.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("*"));
        painter->restore();
    }
};

// The file list: a drag starts from a pressed file at once and carries the
// file's URL (so the desktop can take it too) and its path for the bank list.
class FileList : public QListWidget {
public:
    explicit FileList(TBankEditWindow* window) : window_(window)
    {
        setDragEnabled(true);
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);  // drags arrive at the viewport
        setDropIndicatorShown(false);
        setSelectionMode(QAbstractItemView::SingleSelection);
    }

protected:
    QStringList mimeTypes() const override
    {
        return {QString::fromLatin1(kFileListMimeType), QStringLiteral("text/uri-list")};
    }
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override
    {
        if (items.isEmpty())
            return nullptr;
        const QString path = items.first()->data(kPathRole).toString();
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(kFileListMimeType), path.toUtf8());
        data->setUrls({QUrl::fromLocalFile(path)});
        return data;
    }
    void startDrag(Qt::DropActions) override
    {
        QMimeData* data = mimeData(selectedItems());
        if (!data)
            return;
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);  // the file stays where it is
    }
    void dragEnterEvent(QDragEnterEvent* e) override { e->setAccepted(window_->FileListBoxDragOver(e->mimeData())); }
    void dragMoveEvent(QDragMoveEvent* e) override { e->setAccepted(window_->FileListBoxDragOver(e->mimeData())); }
    void dropEvent(QDropEvent* e) override { e->acceptProposedAction(); }  // back where it came from

private:
    TBankEditWindow* window_;
};

// The slots: a drop target, with the popup, Delete and a double click to
// audition.
class BankList : public QListWidget {
public:
    explicit BankList(TBankEditWindow* window) : window_(window)
    {
        setDragEnabled(true);
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDropIndicatorShown(false);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setUniformItemSizes(true);
        setItemDelegate(new SlotDelegate(this));
        setContextMenuPolicy(Qt::CustomContextMenu);
    }
    // The Delete key.
    std::function<void()> onDelete;

protected:
    QStringList mimeTypes() const override { return {QString::fromLatin1(kBankSlotMimeType)}; }
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override
    {
        return items.isEmpty() ? nullptr : window_->BankListBoxDragStart(row(items.first()));
    }
    void startDrag(Qt::DropActions) override
    {
        QMimeData* data = mimeData(selectedItems());
        if (!data)
            return;
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        // The drop moves the slot itself; Qt's own removal of the dragged
        // line must not follow.
        drag->exec(Qt::MoveAction);
    }
    void dragEnterEvent(QDragEnterEvent* e) override
    {
        if (window_->BankListBoxDragOver(e->mimeData(), e->position().toPoint()))
            e->acceptProposedAction();
        else
            e->ignore();
    }
    void dragMoveEvent(QDragMoveEvent* e) override
    {
        // The view scrolls near its edges while a drag hovers there.
        QListWidget::dragMoveEvent(e);
        if (window_->BankListBoxDragOver(e->mimeData(), e->position().toPoint()))
            e->acceptProposedAction();
        else
            e->ignore();
    }
    void dragLeaveEvent(QDragLeaveEvent* e) override
    {
        QListWidget::dragLeaveEvent(e);
        window_->BankListBoxDragLeave();
    }
    void dropEvent(QDropEvent* e) override
    {
        e->acceptProposedAction();
        window_->BankListBoxDragDrop(e->mimeData(), e->position().toPoint());
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Delete && onDelete) {
            onDelete();
            return;
        }
        QListWidget::keyPressEvent(e);
    }

private:
    TBankEditWindow* window_;
};

QGroupBox* group(const char* name, const char* title, QWidget* parent)
{
    auto* g = new QGroupBox(QString::fromLatin1(title), parent);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

// Navy group titles (lighter on a dark window); what is inside keeps the
// window's text colours.
void navyTitles(QWidget* window)
{
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        looks::titleColour(g, QColor(0x00, 0x00, 0x80));
}

} // namespace

TBankEditWindow::TBankEditWindow(BankManager& manager, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags), manager_(manager)
{
    setObjectName(QStringLiteral("BankEditWindow"));
    setWindowTitle(QStringLiteral(" Knobwright - Performance-bank manager"));
    setModal(true);

    // The file side.
    FileGroupBox = group("FileGroupBox", " SysEx-Files ", this);
    browser_ = new FolderBrowser(FileGroupBox);
    browser_->tree()->setFixedWidth(200);
    browser_->drives()->setFixedWidth(200);
    browser_->pathLabel()->setFixedWidth(406);
    FileListBox = new FileList(this);
    FileListBox->setParent(FileGroupBox);
    FileListBox->setObjectName(QStringLiteral("FileListBox"));
    FileListBox->setFixedWidth(200);
    looks::blackList(FileListBox);
    TypeSysEx = new QRadioButton(QStringLiteral("SysEx files"), FileGroupBox);
    TypeSysEx->setObjectName(QStringLiteral("TypeSysEx"));
    TypeSysEx->setToolTip(QStringLiteral("List only SysEx-binary files"));
    TypePerfBanks = new QRadioButton(QStringLiteral("Perf.-banks"), FileGroupBox);
    TypePerfBanks->setObjectName(QStringLiteral("TypePerfBanks"));
    TypePerfBanks->setToolTip(QStringLiteral("List only Performance-bank files"));
    auto* types = new QButtonGroup(this);
    types->addButton(TypeSysEx);
    types->addButton(TypePerfBanks);
    LoadPerf = button("LoadPerf", "Load Performance-bank", "Load the selected Performance-bank", FileGroupBox);

    auto* fileGrid = new QGridLayout(FileGroupBox);
    fileGrid->addWidget(browser_->pathLabel(), 0, 0, 1, 2);
    fileGrid->addWidget(browser_->tree(), 1, 0);
    fileGrid->addWidget(FileListBox, 1, 1);
    fileGrid->addWidget(browser_->drives(), 2, 0);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(TypeSysEx);
    typeRow->addWidget(TypePerfBanks);
    fileGrid->addLayout(typeRow, 2, 1);
    fileGrid->addWidget(LoadPerf, 3, 1);
    fileGrid->setRowStretch(1, 1);  // the tree and the files take the height

    // The slot side.
    UserPerfGroupBox = group("UserPerfGroupBox", " User-Performance ", this);
    BankListBox = new BankList(this);
    BankListBox->setParent(UserPerfGroupBox);
    BankListBox->setObjectName(QStringLiteral("BankListBox"));
    looks::blackList(BankListBox);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setBold(true);
    mono.setPixelSize(kItemHeight - 2);
    BankListBox->setFont(mono);
    for (int i = 0; i < kUserPerformances; ++i)
        BankListBox->addItem(QString());
    BankListBox->setFixedWidth(QFontMetrics(mono).horizontalAdvance(QStringLiteral("128  SQ MMMMMMMMMM *")) + 30);
    BankListBox->setFixedHeight(22 * kItemHeight + 2 * BankListBox->frameWidth());
    DeletePerf = button("DeletePerf", "Delete", "Delete the selected Performance", UserPerfGroupBox);
    ClearAll = button("ClearAll", "Clear all", "Delete all Performances", UserPerfGroupBox);
    SavePerf = button("SavePerf", "Save Performance-bank", "Save your work to harddisk", UserPerfGroupBox);
    auto* slotSide = new QVBoxLayout(UserPerfGroupBox);
    slotSide->addWidget(BankListBox);
    auto* slotButtons = new QHBoxLayout;
    slotButtons->addWidget(DeletePerf);
    slotButtons->addWidget(ClearAll);
    slotSide->addLayout(slotButtons);
    slotSide->addWidget(SavePerf);

    BankPopup = new QMenu(this);
    BankPopup->setObjectName(QStringLiteral("BankPopup"));
    BankPopDelete = BankPopup->addAction(QStringLiteral("Delete"));
    BankPopDelete->setObjectName(QStringLiteral("BankPopDelete"));
    BankPopClearAll = BankPopup->addAction(QStringLiteral("Clear All"));
    BankPopClearAll->setObjectName(QStringLiteral("BankPopClearAll"));
    BankPopup->addSeparator();
    BankPopSendPerf = BankPopup->addAction(QStringLiteral("Send to CS1x"));
    BankPopSendPerf->setObjectName(QStringLiteral("BankPopSendPerf"));
    // The bank's own history, on the keys every editor has.
    BankUndo = new QAction(QStringLiteral("Undo"), this);
    BankUndo->setObjectName(QStringLiteral("BankUndo"));
    BankUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    BankRedo = new QAction(QStringLiteral("Redo"), this);
    BankRedo->setObjectName(QStringLiteral("BankRedo"));
    BankRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    addAction(BankUndo);
    addAction(BankRedo);

    auto* all = new QHBoxLayout(this);
    all->addWidget(FileGroupBox);
    all->addWidget(UserPerfGroupBox);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    looks::boldGroupTitles(this);
    navyTitles(this);

    watcher_ = new QFileSystemWatcher(this);

    connect(TypeSysEx, &QRadioButton::clicked, this, &TBankEditWindow::TypeSysExClick);
    connect(TypePerfBanks, &QRadioButton::clicked, this, &TBankEditWindow::TypePerfBanksClick);
    connect(FileListBox, &QListWidget::itemSelectionChanged, this, &TBankEditWindow::FileListBoxClick);
    connect(FileListBox, &QListWidget::itemDoubleClicked, this, &TBankEditWindow::LoadPerfClick);
    connect(LoadPerf, &QPushButton::clicked, this, &TBankEditWindow::LoadPerfClick);
    connect(BankListBox, &QListWidget::itemSelectionChanged, this, &TBankEditWindow::BankListBoxClick);
    connect(BankListBox, &QListWidget::itemDoubleClicked, this, &TBankEditWindow::BankPopSendPerfClick);
    connect(BankListBox, &QWidget::customContextMenuRequested, this,
            [this](QPoint at) { BankPopup->popup(BankListBox->viewport()->mapToGlobal(at)); });
    static_cast<BankList*>(BankListBox)->onDelete = [this] {
        if (DeletePerf->isEnabled())
            DeletePerfClick();
    };
    connect(DeletePerf, &QPushButton::clicked, this, &TBankEditWindow::DeletePerfClick);
    connect(BankPopDelete, &QAction::triggered, this, &TBankEditWindow::DeletePerfClick);
    connect(ClearAll, &QPushButton::clicked, this, &TBankEditWindow::ClearAllClick);
    connect(BankPopClearAll, &QAction::triggered, this, &TBankEditWindow::ClearAllClick);
    connect(SavePerf, &QPushButton::clicked, this, &TBankEditWindow::SavePerfClick);
    connect(BankPopSendPerf, &QAction::triggered, this, &TBankEditWindow::BankPopSendPerfClick);
    connect(BankUndo, &QAction::triggered, this, &TBankEditWindow::UndoClick);
    connect(BankRedo, &QAction::triggered, this, &TBankEditWindow::RedoClick);
    connect(browser_, &FolderBrowser::folderChanged, this, &TBankEditWindow::listFiles);
    // Files saved into the folder meanwhile (by this window or by anything
    // else) show up.
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &TBankEditWindow::listFiles);

    // FormCreate
    TypeSysEx->setChecked(true);
    mask_ = QStringLiteral("*.SYX");
    LoadPerf->setEnabled(false);
    DeletePerf->setEnabled(false);
    BankPopDelete->setEnabled(false);
    BankPopSendPerf->setEnabled(false);
    const QString dir = qs(manager_.library().settings.perfBankDir);
    browser_->setFolder(!dir.isEmpty() && QFileInfo(dir).isDir() ? dir : QDir::homePath());
    showSlots();

    adjustSize();
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TBankEditWindow::~TBankEditWindow()
{
    FormClose();
}

void TBankEditWindow::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TBankEditWindow::keyPressEvent(QKeyEvent* e)
{
    // The window closes by its system menu only, so Escape (which also
    // ends a drag) cannot send the edited performance back by accident.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void TBankEditWindow::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    manager_.library().settings.perfBankDir = utf8(browser_->folder());
    manager_.bank().cutEntries();
}

// ---------------------------------------------------------------------------
// Files

void TBankEditWindow::setType(bool banks)
{
    mask_ = banks ? QStringLiteral("*.PFB") : QStringLiteral("*.SYX");
    FileGroupBox->setTitle(banks ? QStringLiteral(" Performance-Banks ") : QStringLiteral(" SysEx-Files "));
    listFiles();
    LoadPerf->setEnabled(false);
    DeletePerf->setEnabled(false);
    BankPopDelete->setEnabled(false);
    BankListBox->clearSelection();
    BankListBox->setCurrentRow(-1);
}

void TBankEditWindow::TypeSysExClick()
{
    setType(false);
}

void TBankEditWindow::TypePerfBanksClick()
{
    setType(true);
}

void TBankEditWindow::listFiles()
{
    const QString folder = browser_->folder();
    if (!watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());
    watcher_->addPath(folder);
    // Name filters match either letter case: other programs write .syx.
    const QFileInfoList files =
        QDir(folder).entryInfoList({mask_}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    const QString selected = FileListBox->currentItem() ? FileListBox->currentItem()->text() : QString();
    FileListBox->clear();
    for (const QFileInfo& f : files) {
        auto* item = new QListWidgetItem(f.fileName(), FileListBox);
        item->setData(kPathRole, f.absoluteFilePath());
        if (f.fileName() == selected)
            FileListBox->setCurrentItem(item);
    }
    FileListBoxClick();
}

bool TBankEditWindow::fileListHoldsFiles() const
{
    return FileListBox->count() > 0;
}

void TBankEditWindow::FileListBoxClick()
{
    if (TypePerfBanks->isChecked())
        LoadPerf->setEnabled(!FileListBox->selectedItems().isEmpty());
}

void TBankEditWindow::LoadPerfClick()
{
    const auto chosen = FileListBox->selectedItems();
    if (!TypePerfBanks->isChecked() || chosen.isEmpty())
        return;
    // A large bank comes in slices; the window may be gone by then.
    manager_.loadBank(utf8(chosen.first()->data(kPathRole).toString()),
                      [self = QPointer<TBankEditWindow>(this)](const std::optional<std::vector<int>>& set) {
                          if (!self || !set)
                              return;
                          self->showSlots();
                          self->BankListBox->clearSelection();
                          self->BankListBox->setCurrentRow(-1);
                          self->BankListBox->scrollToTop();
                      });
}

// ---------------------------------------------------------------------------
// Slots

void TBankEditWindow::UndoClick()
{
    manager_.undo();
    showSlots();
    selectSlot(-1);
}

void TBankEditWindow::RedoClick()
{
    manager_.redo();
    showSlots();
    selectSlot(-1);
}

void TBankEditWindow::showSlots()
{
    BankUndo->setEnabled(manager_.canUndo());
    BankUndo->setText(manager_.canUndo() ? "Undo " + qs(manager_.undoText()) : QStringLiteral("Undo"));
    BankRedo->setEnabled(manager_.canRedo());
    BankRedo->setText(manager_.canRedo() ? "Redo " + qs(manager_.redoText()) : QStringLiteral("Redo"));
    const BankModel& bank = manager_.bank();
    BankListBox->setUpdatesEnabled(false);
    for (int i = 0; i < kUserPerformances; ++i) {
        QListWidgetItem* item = BankListBox->item(i);
        const QString text = qs(bank.entry(i));
        if (item->text() != text)
            item->setText(text);
        if (item->data(kChangedRole).toBool() != bank.changed(i))
            item->setData(kChangedRole, bank.changed(i));
    }
    BankListBox->setUpdatesEnabled(true);
}

int TBankEditWindow::selectedSlot() const
{
    const auto sel = BankListBox->selectedItems();
    return sel.isEmpty() ? -1 : BankListBox->row(sel.first());
}

void TBankEditWindow::selectSlot(int index)
{
    if (index >= 0)
        BankListBox->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    else {
        BankListBox->clearSelection();
        BankListBox->setCurrentRow(-1);
    }
}

void TBankEditWindow::BankListBoxClick()
{
    const int slot = selectedSlot();
    const bool occupied = slot >= 0 && manager_.bank().occupied(slot);
    DeletePerf->setEnabled(occupied);
    BankPopDelete->setEnabled(occupied);
    BankPopSendPerf->setEnabled(occupied);
}

void TBankEditWindow::ClearSlot(int number)
{
    if (number < 1 || number > kUserPerformances)
        return;
    manager_.deleteSlot(number - 1);
}

void TBankEditWindow::DeletePerfClick()
{
    browser_->tree()->setFocus(Qt::OtherFocusReason);
    DeletePerf->setEnabled(false);
    BankPopDelete->setEnabled(false);
    const int slot = selectedSlot();
    if (slot < 0)
        return;
    ClearSlot(slot + 1);
    showSlots();
    selectSlot(-1);
}

void TBankEditWindow::ClearAllClick()
{
    browser_->tree()->setFocus(Qt::OtherFocusReason);
    DeletePerf->setEnabled(false);
    BankPopDelete->setEnabled(false);
    manager_.clearAll();  // one step, not 128
    showSlots();
    selectSlot(-1);
}

void TBankEditWindow::SavePerfClick()
{
    if (manager_.save())
        showSlots();
}

void TBankEditWindow::BankPopSendPerfClick()
{
    const int slot = selectedSlot();
    if (slot >= 0 && manager_.bank().occupied(slot))
        manager_.audition(slot);
}

// ---------------------------------------------------------------------------
// Drag and drop

namespace {

// The local files a drag from outside carries, of the kinds a drop takes.
std::vector<std::string> droppableFiles(const QMimeData* data)
{
    std::vector<std::string> out;
    if (!data || !data->hasUrls())
        return out;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo f(url.toLocalFile());
        const std::string name = utf8(f.fileName());
        if (f.isFile() && (BankManager::isPerformanceFileName(name) || BankManager::isBankFileName(name)))
            out.push_back(utf8(f.absoluteFilePath()));
    }
    return out;
}

bool fromFileList(const QMimeData* data)
{
    return data && data->hasFormat(QString::fromLatin1(kFileListMimeType));
}

// The slot a drag from this program's bank list carries, or -1.
int draggedSlot(const QMimeData* data)
{
    if (!data || !data->hasFormat(QString::fromLatin1(kBankSlotMimeType)))
        return -1;
    const QList<QByteArray> parts = data->data(QString::fromLatin1(kBankSlotMimeType)).split(' ');
    bool pidOk = false, slotOk = false;
    if (parts.size() != 2 || parts[0].toLongLong(&pidOk) != QCoreApplication::applicationPid() || !pidOk)
        return -1;
    const int slot = parts[1].toInt(&slotOk);
    return slotOk && slot >= 0 && slot < kUserPerformances ? slot : -1;
}

} // namespace

QMimeData* TBankEditWindow::BankListBoxDragStart(int index) const
{
    if (index < 0 || index >= kUserPerformances || !manager_.bank().occupied(index))
        return nullptr;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kBankSlotMimeType),
                  QByteArray::number(QCoreApplication::applicationPid()) + ' ' + QByteArray::number(index));
    return data;
}

bool TBankEditWindow::FileListBoxDragOver(const QMimeData* data) const
{
    return fromFileList(data) && fileListHoldsFiles() && TypeSysEx->isChecked();
}

bool TBankEditWindow::takes(const QMimeData* data) const
{
    if (fromFileList(data))
        return fileListHoldsFiles();
    if (draggedSlot(data) >= 0)
        return true;
    if (!libraryIds(data).empty())
        return true;
    return !droppableFiles(data).empty();
}

bool TBankEditWindow::BankListBoxDragOver(const QMimeData* data, QPoint pos)
{
    if (!takes(data))
        return false;
    if (beforeDrag_ == -2)
        beforeDrag_ = selectedSlot();
    if (pos.x() > 0 && pos.y() > 0) {
        const QModelIndex under = BankListBox->indexAt(pos);
        if (under.isValid() && under.row() != selectedSlot())
            selectSlot(under.row());
    }
    return true;
}

void TBankEditWindow::BankListBoxDragLeave()
{
    // A drag that went elsewhere leaves the selection as it found it: a
    // Delete pressed next must hit the slot the user chose.
    if (beforeDrag_ != -2)
        selectSlot(beforeDrag_);
    beforeDrag_ = -2;
}

void TBankEditWindow::BankListBoxDragDrop(const QMimeData* data, QPoint pos)
{
    const bool taken = BankListBoxDragOver(data, pos);
    const int target = selectedSlot();
    const int before = beforeDrag_;
    beforeDrag_ = -2;
    if (!taken || target < 0)
        return;
    QScrollBar* scroll = BankListBox->verticalScrollBar();
    const int top = scroll->value();
    if (const int from = draggedSlot(data); from >= 0) {
        const bool moved = manager_.moveSlot(from, target);
        showSlots();
        scroll->setValue(top);
        // The moved performance stays chosen where it now is.
        selectSlot(moved ? target : before);
        return;
    }
    if (fromFileList(data)) {
        const QString path = QString::fromUtf8(data->data(QString::fromLatin1(kFileListMimeType)));
        const bool placed = manager_.dropPerformanceFile(target, utf8(path), utf8(QFileInfo(path).fileName()));
        showSlots();
        scroll->setValue(top);
        selectSlot(placed ? -1 : before);
        return;
    }
    if (const auto ids = libraryIds(data); !ids.empty()) {
        const bool placed = manager_.dropFromLibrary(target, ids) > 0;
        showSlots();
        scroll->setValue(top);
        selectSlot(placed ? -1 : before);
        return;
    }
    // Banks among the files come in slices; the window may be gone by then.
    manager_.dropFiles(target, droppableFiles(data), [self = QPointer<TBankEditWindow>(this), top] {
        if (!self)
            return;
        self->showSlots();
        self->BankListBox->verticalScrollBar()->setValue(top);
        self->selectSlot(-1);
    });
}

void MenuBulkBankEditClick(BankManager& manager, QWidget* parent)
{
    manager.opening();
    {
        TBankEditWindow window(manager, parent);
        // It holds the main window up, not the library window, whose rows
        // may be dragged onto the slots.
        window.setWindowModality(Qt::WindowModal);
        window.exec();
    }
    manager.closed();
}

} // namespace kw
