#include "editor/FolderBrowser.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTreeView>

#include <filesystem>
#include <system_error>

namespace kw {

namespace {

const char* kLimeOnBlack = "background: black; color: #00ff00; font-weight: bold;"
                           " selection-background-color: #00a000; selection-color: black;";

QString clean(const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

bool isUnder(const QString& folder, const QString& root)
{
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (folder.compare(root, cs) == 0)
        return true;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return folder.startsWith(prefix, cs);
}

// Where file managers put the volumes a user mounts (USB sticks, card
// readers, network shares); everything else mounted is the system's.
bool isUserVolume(const QString& root)
{
    for (const char* place : {"/media/", "/run/media/", "/mnt/", "/Volumes/"})
        if (root.startsWith(QLatin1String(place)))
            return true;
    return false;
}

} // namespace

QVector<DriveEntry> driveEntries()
{
    QVector<DriveEntry> out;
#ifdef Q_OS_WIN
    for (const QFileInfo& d : QDir::drives())
        out.push_back({QDir::toNativeSeparators(d.absolutePath()), clean(d.absolutePath())});
#else
    out.push_back({QStringLiteral("/"), QStringLiteral("/")});
    out.push_back({QStringLiteral("Home (%1)").arg(QDir::homePath()), clean(QDir::homePath())});
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = clean(v.rootPath());
        if (!v.isValid() || !v.isReady() || !isUserVolume(root) || !QFileInfo(root).isDir())
            continue;
        const QString name = v.displayName();
        out.push_back({name.isEmpty() || name == root ? root : QStringLiteral("%1 (%2)").arg(root, name), root});
    }
#endif
    return out;
}

FolderBrowser::FolderBrowser(QWidget* owner) : QObject(owner)
{
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setReadOnly(true);

    tree_ = new QTreeView(owner);
    tree_->setObjectName(QStringLiteral("DirectoryListBox"));
    tree_->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c)
        tree_->hideColumn(c);
    tree_->header()->hide();
    // A frame as black as the tree, in the highlight colour while the keys go to it.
    tree_->setStyleSheet(QStringLiteral("QTreeView { %1 border: 2px solid black; }"
                                        " QTreeView:focus { border-color: palette(highlight); }")
                             .arg(QLatin1String(kLimeOnBlack)));

    drives_ = new QComboBox(owner);
    drives_->setObjectName(QStringLiteral("DriveComboBox"));
    drives_->setStyleSheet(QStringLiteral("QComboBox, QComboBox QAbstractItemView { %1 }").arg(QLatin1String(kLimeOnBlack)));

    path_ = new QLabel(owner);
    path_->setObjectName(QStringLiteral("PathLabel"));
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { currentFolderChanged(); });
    connect(drives_, &QComboBox::activated, this, [this](int i) { showDrive(i, entries_.value(i).root); });

    setDrives(driveEntries());
}

void FolderBrowser::setDrives(const QVector<DriveEntry>& drives)
{
    entries_ = drives;
    const QSignalBlocker block(drives_);
    drives_->clear();
    for (const DriveEntry& d : entries_)
        drives_->addItem(d.label, d.root);
    if (!folder_.isEmpty())
        setFolder(folder_);
}

int FolderBrowser::driveFor(const QString& folder) const
{
    int best = -1;
    for (int i = 0; i < entries_.size(); ++i)
        if (isUnder(folder, entries_[i].root) && (best < 0 || entries_[i].root.size() > entries_[best].root.size()))
            best = i;
    return best;
}

void FolderBrowser::setFolder(const QString& folder)
{
    QString f = clean(folder.isEmpty() ? QDir::homePath() : QDir(folder).absolutePath());
    while (!QFileInfo(f).isDir()) {
        const QString up = clean(QFileInfo(f).absolutePath());
        if (up == f) {
            f = clean(QDir::homePath());
            break;
        }
        f = up;
    }
    showDrive(driveFor(f), f);
}

void FolderBrowser::showDrive(int index, const QString& folder)
{
    // A folder on no listed drive (a network path) is shown as a tree of its own.
    const QString root = index >= 0 ? entries_[index].root : folder;
    {
        const QSignalBlocker block(drives_);
        drives_->setCurrentIndex(index);
    }
    model_->setRootPath(root);
    tree_->setRootIndex(model_->index(root));
    const QModelIndex current = model_->index(folder);
    for (QModelIndex up = current.parent(); up.isValid() && up != tree_->rootIndex(); up = up.parent())
        tree_->expand(up);
    tree_->setCurrentIndex(current);
    if (current.isValid()) {
        tree_->expand(current);  // its subfolders are the next likely choice
        tree_->scrollTo(current);
    }
    applyFolder(folder);
}

void FolderBrowser::currentFolderChanged()
{
    const QModelIndex current = tree_->currentIndex();
    if (current.isValid())
        applyFolder(clean(model_->filePath(current)));
}

void FolderBrowser::applyFolder(const QString& folder)
{
    if (folder == folder_)
        return;
    folder_ = folder;
    // A label of fixed width shows a long path with its middle left out.
    const QString full = this->folder();
    const int width = path_->maximumWidth() < QWIDGETSIZE_MAX ? path_->maximumWidth() : 0;
    path_->setText(width > 0 ? path_->fontMetrics().elidedText(full, Qt::ElideMiddle, width) : full);
    path_->setToolTip(full);
    emit folderChanged(full);
}

QString FolderBrowser::makeFolder(const QString& typed)
{
    const QString name = typed.trimmed();
    if (name.isEmpty())
        return QStringLiteral("A folder needs a name.");
    if (name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/'))
        || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return QStringLiteral("\"%1\" cannot be the name of a folder.").arg(name);
    const QString path = clean(folder_ + QLatin1Char('/') + name);
    if (!QFileInfo(path).isDir()) {
        std::error_code e;
        std::filesystem::create_directory(std::filesystem::path(path.toStdString()), e);
        if (e)
            return QStringLiteral("The folder \"%1\" could not be made in %2: %3.")
                .arg(name, QDir::toNativeSeparators(folder_), QString::fromLocal8Bit(e.message().c_str()));
    }
    // The model learns of a new folder from its watcher, later; asked for it
    // by name, it looks now.
    model_->index(path);
    setFolder(path);
    return {};
}

QString FolderBrowser::folder() const
{
    return QDir::toNativeSeparators(folder_);
}

} // namespace kw
