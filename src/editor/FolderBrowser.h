#pragma once
// The folder tree, the drive chooser and the path label that show one current
// folder together: choosing a drive shows its tree, choosing a folder in the
// tree updates the label and the drive. Shared by the folder chooser and any
// window that browses folders the same way.

#include <QObject>
#include <QString>
#include <QVector>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QTreeView;
class QWidget;

namespace kw {

// One entry of the drive chooser: what it shows and the folder it opens.
struct DriveEntry {
    QString label;
    QString root;
};

// Drive letters where the system has them; elsewhere the root folder, the
// home folder and the volumes mounted for the user (removable media and the
// like), without the system's own pseudo file systems.
QVector<DriveEntry> driveEntries();

class FolderBrowser : public QObject {
    Q_OBJECT
public:
    // Makes `DirectoryListBox`, `DriveComboBox` and `PathLabel` as children
    // of `owner`; the owner lays them out.
    explicit FolderBrowser(QWidget* owner);

    QTreeView* tree() const { return tree_; }
    QComboBox* drives() const { return drives_; }
    QLabel* pathLabel() const { return path_; }

    // Shows `folder`, or the nearest existing folder above it, or the home
    // folder when nothing of it exists.
    void setFolder(const QString& folder);
    // The current folder with the system's separators and no trailing one
    // (a root keeps its own).
    QString folder() const;

    // Makes a folder `name` inside the current one and shows it (one that is
    // there already is shown). Empty when done; else why not, in words.
    QString makeFolder(const QString& name);

    // The drive chooser's entries, replaceable for tests and for systems
    // whose volumes change while the window is open.
    void setDrives(const QVector<DriveEntry>& drives);

signals:
    void folderChanged(const QString& folder);

private:
    void showDrive(int index, const QString& folder);
    void currentFolderChanged();
    void applyFolder(const QString& folder);
    int driveFor(const QString& folder) const;

    QFileSystemModel* model_;
    QTreeView* tree_;
    QComboBox* drives_;
    QLabel* path_;
    QVector<DriveEntry> entries_;
    QString folder_;
};

} // namespace kw
