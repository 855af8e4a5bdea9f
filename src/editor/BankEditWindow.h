#pragma once
// The performance-bank manager: folders and files on the left, the 128 slots
// of the bank on the right. Performance files are dragged onto slots (from
// the window's own file list or from the desktop's file manager), banks are
// loaded whole, slots deleted, auditioned on the synth and saved as a bank.
// The slots themselves live in the bank model, so the window may come and go.

#include <QDialog>

class QListWidget;
class QMenu;
class QMimeData;
class QPushButton;
class QRadioButton;
class QGroupBox;
class QAction;
class QFileSystemWatcher;

namespace kw {

class BankManager;
class FolderBrowser;

// What a drag from the window's own file list carries besides the file's
// URL: the file's path (UTF-8), so a drop knows it came from the list.
inline constexpr const char* kFileListMimeType = "application/x-knobwright-file-list";
// What a drag of an occupied slot carries: this program's process id and the
// slot's index, so that a slot of another running editor is no slot here.
inline constexpr const char* kBankSlotMimeType = "application/x-knobwright-bank-slot";

class TBankEditWindow : public QDialog {
    Q_OBJECT
public:
    // FormCreate: the folder `PerfBank-Dir` names (the home folder when it
    // is gone), the slots' lines as the bank holds them, "SysEx files" chosen.
    explicit TBankEditWindow(BankManager& manager, QWidget* parent = nullptr);
    ~TBankEditWindow() override;

    // The file list's mask, "*.SYX" or "*.PFB" (either letter case matches).
    QString fileMask() const { return mask_; }
    FolderBrowser* browser() const { return browser_; }

    void TypeSysExClick();
    void TypePerfBanksClick();
    void FileListBoxClick();
    void LoadPerfClick();
    void BankListBoxClick();
    void DeletePerfClick();
    void ClearAllClick();
    void SavePerfClick();
    void BankPopSendPerfClick();
    // The bank's own history (Ctrl+Z; Ctrl+Shift+Z or Ctrl+Y).
    void UndoClick();
    void RedoClick();
    // Slot `number` (1..128) emptied, its line the bare number.
    void ClearSlot(int number);

    // Drag and drop, as the lists' drag events call them; `pos` is in the
    // bank list's viewport. A drag is taken when it comes from the file
    // list (which holds a file), from a slot of the bank list itself (moved,
    // see BankManager::moveSlot), from the library, or carries .SYX or .PFB
    // files; over the bank list it selects the slot under the mouse.
    bool FileListBoxDragOver(const QMimeData* data) const;
    // What a drag of slot `index` carries; nothing for an empty slot.
    QMimeData* BankListBoxDragStart(int index) const;
    bool BankListBoxDragOver(const QMimeData* data, QPoint pos);
    void BankListBoxDragLeave();
    void BankListBoxDragDrop(const QMimeData* data, QPoint pos);

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void FormClose();
    void setType(bool banks);
    void listFiles();
    void showSlots();
    int selectedSlot() const;
    void selectSlot(int index);
    bool fileListHoldsFiles() const;
    // Whether a drag is one the bank list takes: from the file list, or
    // files of the two kinds from outside.
    bool takes(const QMimeData* data) const;

    BankManager& manager_;
    FolderBrowser* browser_;
    QGroupBox* FileGroupBox;
    QListWidget* FileListBox;
    QRadioButton* TypeSysEx;
    QRadioButton* TypePerfBanks;
    QPushButton* LoadPerf;
    QGroupBox* UserPerfGroupBox;
    QListWidget* BankListBox;
    QPushButton* DeletePerf;
    QPushButton* ClearAll;
    QPushButton* SavePerf;
    QMenu* BankPopup;
    QAction* BankPopDelete;
    QAction* BankPopClearAll;
    QAction* BankPopSendPerf;
    QAction* BankUndo;
    QAction* BankRedo;
    QFileSystemWatcher* watcher_;
    QString mask_;
    // The selection before a drag began to move it, for a drag that ends
    // elsewhere or fails.
    int beforeDrag_ = -2;
    bool closed_ = false;
};

// The Bulk-Dump menu's "&Performance-bank manager": the window, modal; then,
// if a slot was auditioned, the edited performance back into the synth.
void MenuBulkBankEditClick(BankManager& manager, QWidget* parent);

} // namespace kw
