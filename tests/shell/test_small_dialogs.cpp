#include "editor/FolderBrowser.h"
#include "shell/AboutWindow.h"
#include "shell/PathWindow.h"
#include "shell/QtDialogs.h"
#include "shell/UserPerfSelectWindow.h"
#include "support/QtApp.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <optional>

using namespace kw;

namespace {

// Runs the dialog modally and does `act` once it is up; answers exec()'s result.
int runAndThen(QDialog& d, const std::function<void()>& act)
{
    QTimer::singleShot(0, &d, act);
    return d.exec();
}

QStringList entries()
{
    QStringList out;
    for (int i = 1; i <= 128; ++i)
        out << QStringLiteral("%1  SQ Perf %2").arg(i, 3, 10, QLatin1Char('0')).arg(i);
    return out;
}

struct Folders {
    QTemporaryDir tmp;
    QString root = QDir::cleanPath(tmp.path());
    Folders()
    {
        QDir(root).mkpath(QStringLiteral("banks/old"));
        QDir(root).mkpath(QStringLiteral("syx"));
    }
    QString operator()(const QString& sub) const { return root + QLatin1Char('/') + sub; }
};

} // namespace

TEST(PathWindow, ShowsTheStartFolderAndAnswersOnlyWhenConfirmed)
{
    kwtest::qtApp();
    Folders f;
    TPathWindow w(QStringLiteral("Choose a folder to import"), f(QStringLiteral("banks/old")));
    EXPECT_EQ(w.windowTitle(), "Choose a folder to import");
    auto* ok = w.findChild<QPushButton*>("OKButton");
    auto* cancel = w.findChild<QPushButton*>("CancelButton");
    auto* label = w.findChild<QLabel*>("PathLabel");
    ASSERT_TRUE(ok && cancel && label && w.findChild<QTreeView*>("DirectoryListBox")
                && w.findChild<QComboBox*>("DriveComboBox"));
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_EQ(label->text(), f(QStringLiteral("banks/old")));
    EXPECT_EQ(w.folder(), f(QStringLiteral("banks/old")));

    EXPECT_EQ(runAndThen(w, [&] { cancel->click(); }), QDialog::Rejected);
    EXPECT_FALSE(w.confirmed());

    TPathWindow enter({}, f(QStringLiteral("syx")));
    runAndThen(enter, [&] { QTest::keyClick(&enter, Qt::Key_Return); });
    EXPECT_TRUE(enter.confirmed());
    EXPECT_EQ(enter.folder(), f(QStringLiteral("syx")));
}

TEST(PathWindow, TreeDriveChooserAndLabelFollowEachOther)
{
    kwtest::qtApp();
    Folders f;
    TPathWindow w({}, f(QStringLiteral("banks")));
    FolderBrowser* b = w.browser();
    b->setDrives({{QStringLiteral("/"), QStringLiteral("/")}, {QStringLiteral("Stick"), f.root}});
    EXPECT_EQ(b->drives()->currentText(), "Stick") << "the drive that holds the folder";
    EXPECT_EQ(b->folder(), f(QStringLiteral("banks")));

    // A folder picked in the tree.
    auto* model = qobject_cast<QFileSystemModel*>(b->tree()->model());
    b->tree()->setCurrentIndex(model->index(f(QStringLiteral("syx"))));
    EXPECT_EQ(b->pathLabel()->text(), f(QStringLiteral("syx")));
    EXPECT_EQ(b->tree()->rootIndex(), model->index(f.root));

    // Another drive: its tree and its root as the folder.
    QSignalSpy changed(b, &FolderBrowser::folderChanged);
    b->drives()->setCurrentIndex(0);
    emit b->drives()->activated(0);
    EXPECT_EQ(b->folder(), "/");
    EXPECT_EQ(b->pathLabel()->text(), "/");
    EXPECT_EQ(b->tree()->rootIndex(), model->index("/"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), "/");

    runAndThen(w, [&] { w.findChild<QPushButton*>("OKButton")->click(); });
    EXPECT_TRUE(w.confirmed());
    EXPECT_EQ(w.folder(), "/");
}

TEST(PathWindow, AFolderThatIsGoneOpensTheNearestOneThatExists)
{
    kwtest::qtApp();
    Folders f;
    TPathWindow w({}, f(QStringLiteral("banks/removed/deeper")));
    EXPECT_EQ(w.folder(), f(QStringLiteral("banks")));
    TPathWindow none({}, QString{});
    EXPECT_EQ(none.folder(), QDir::toNativeSeparators(QDir::homePath()));
    // The file dialogs start the same way, never in the program's working folder.
    const std::pair<QString, QString> starts[] = {
        {f(QStringLiteral("banks/old")), f(QStringLiteral("banks/old"))},
        {f(QStringLiteral("banks/removed/deeper")), f(QStringLiteral("banks"))},
        {f(QStringLiteral("syx/file.SYX")), f(QStringLiteral("syx"))},
        {QString(), QDir::homePath()},
    };
    for (const auto& [asked, opened] : starts)
        EXPECT_EQ(startFolder(asked), QDir::toNativeSeparators(opened)) << asked.toStdString();
    const QVector<DriveEntry> drives = driveEntries();
#ifndef Q_OS_WIN
    ASSERT_GE(drives.size(), 2);
    EXPECT_EQ(drives[0].root, "/");
    EXPECT_EQ(drives[1].root, QDir::cleanPath(QDir::homePath()));
    EXPECT_EQ(none.browser()->drives()->currentIndex(), 1) << "home, not the root of the disk";
#endif
}

TEST(PathWindow, NewFolderMakesTheFolderInTheOneShownAndShowsIt)
{
    kwtest::qtApp();
    Folders f;
    TPathWindow w({}, f(QStringLiteral("banks")));
    std::vector<QString> askedIn, told;
    std::optional<QString> name;
    w.setNameAsker([&](const QString& in) {
        askedIn.push_back(in);
        return name;
    });
    w.setMessageBox([&](const QString& text) { told.push_back(text); });
    auto* button = w.findChild<QPushButton*>("NewFolderButton");
    ASSERT_NE(button, nullptr);
    struct Case {
        std::optional<QString> typed;
        QString shown;  // the folder shown afterwards
        QString told;   // what the window said
    };
    const Case cases[] = {
        {QStringLiteral("  Backup March "), f(QStringLiteral("banks/Backup March")), {}},
        // From the new folder on, and into one that is there already.
        {QStringLiteral("old"), f(QStringLiteral("banks/Backup March/old")), {}},
        {std::nullopt, f(QStringLiteral("banks/Backup March/old")), {}},
        {QStringLiteral("a/b"), f(QStringLiteral("banks/Backup March/old")),
         QStringLiteral("\"a/b\" cannot be the name of a folder.")},
        {QStringLiteral(".."), f(QStringLiteral("banks/Backup March/old")),
         QStringLiteral("\"..\" cannot be the name of a folder.")},
    };
    for (const Case& c : cases) {
        name = c.typed;
        told.clear();
        const QString before = w.folder();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(askedIn.back(), before);
        EXPECT_EQ(w.folder(), QDir::toNativeSeparators(c.shown)) << c.typed.value_or("(cancelled)").toStdString();
        EXPECT_TRUE(QFileInfo(c.shown).isDir());
        EXPECT_EQ(told, c.told.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.told});
    }
    EXPECT_FALSE(QFileInfo::exists(f(QStringLiteral("banks/Backup March/old/a")))) << "nothing made on a refusal";
    // The tree shows it too, chosen, and OK answers it.
    auto* tree = w.findChild<QTreeView*>("DirectoryListBox");
    auto* model = static_cast<QFileSystemModel*>(tree->model());
    EXPECT_EQ(QDir::cleanPath(model->filePath(tree->currentIndex())), f(QStringLiteral("banks/Backup March/old")));

    // The folder shown went away meanwhile (a stick pulled): the reason, in words.
    TPathWindow gone({}, f(QStringLiteral("syx")));
    gone.setNameAsker([](const QString&) { return std::optional<QString>(QStringLiteral("new")); });
    gone.setMessageBox([&](const QString& text) { told = {text}; });
    told.clear();
    ASSERT_TRUE(QDir(f(QStringLiteral("syx"))).removeRecursively());
    gone.NewFolderButtonClick();
    EXPECT_EQ(told, std::vector<QString>{"The folder \"new\" could not be made in " + f(QStringLiteral("syx"))
                                         + ": No such file or directory."});
}

TEST(UserPerfSelectWindow, CallerSetsCaptionButtonSelectionAndTop)
{
    kwtest::qtApp();
    TUserPerfSelectWindow w(entries());
    auto* list = w.findChild<QListWidget*>("UserPerfSelect");
    auto* ok = w.findChild<QPushButton*>("UserPerfOK");
    ASSERT_TRUE(list && ok && w.findChild<QPushButton*>("UserPerfCancel"));
    EXPECT_EQ(w.windowTitle(), "Select Dest");
    EXPECT_EQ(ok->text(), "Request");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(w.findChild<QPushButton*>("UserPerfCancel")->text(), "Cancel");
    EXPECT_EQ(w.findChild<QLabel*>("Label32")->text(), "User Performance");
    EXPECT_EQ(list->toolTip(), "Select User-Performance to dump");
    EXPECT_EQ(list->count(), 128);
    EXPECT_EQ(w.selected(), -1);

    w.setCaption(QStringLiteral("Select dest.-Perf"));
    w.setButtonText(QStringLiteral("Send"));
    w.setSelected(40);
    w.setTopIndex(40);
    w.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.windowTitle(), "Select dest.-Perf");
    EXPECT_EQ(ok->text(), "Send");
    EXPECT_EQ(w.selected(), 40);
    EXPECT_EQ(w.topIndex(), 40);
    EXPECT_EQ(list->visualItemRect(list->item(41)).height(), 14);
    EXPECT_EQ(list->indexAt(QPoint(2, 2)).row(), 40);
    w.setTopIndex(127);
    EXPECT_EQ(w.topIndex(), 128 - list->viewport()->height() / 14) << "as far down as the list goes";
    w.hide();
}

TEST(UserPerfSelectWindow, ConfirmedOnlyWithAnEntry)
{
    kwtest::qtApp();
    {
        TUserPerfSelectWindow w(entries());
        runAndThen(w, [&] { w.findChild<QPushButton*>("UserPerfOK")->click(); });
        EXPECT_FALSE(w.confirmed()) << "the button with nothing selected only closes";
        EXPECT_FALSE(w.isVisible());
    }
    {
        TUserPerfSelectWindow w(entries());
        w.setSelected(4);
        runAndThen(w, [&] { w.findChild<QPushButton*>("UserPerfCancel")->click(); });
        EXPECT_FALSE(w.confirmed());
    }
    {
        TUserPerfSelectWindow w(entries());
        auto* list = w.findChild<QListWidget*>("UserPerfSelect");
        runAndThen(w, [&] {
            const QRect r = list->visualItemRect(list->item(3));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
        });
        EXPECT_TRUE(w.confirmed());
        EXPECT_EQ(w.selected(), 3);
    }
    {
        TUserPerfSelectWindow w(entries());
        w.setSelected(127);
        w.setTopIndex(127);
        runAndThen(w, [&] { QTest::keyClick(&w, Qt::Key_Return); });
        EXPECT_TRUE(w.confirmed());
        EXPECT_EQ(w.selected(), 127);
    }
}

TEST(AboutWindow, LinesAndAnAnimatedLogoOfFourteenFrames)
{
    kwtest::qtApp();
    TAboutWindow w;
    EXPECT_EQ(w.windowTitle(), " About Orsk Knobwright");
    QStringList texts;
    for (const QLabel* l : w.findChildren<QLabel*>())
        texts << l->text();
    for (const char* line : {"Orsk Knobwright", "designed for", "YAMAHA-CS1x Synthesizers", "by", "Orsk Inc.",
                             "Orsk in the web:", "Distribution site:"})
        EXPECT_TRUE(texts.contains(QString::fromLatin1(line))) << line;
    auto* web = w.findChild<QLineEdit*>("WebEdit");
    ASSERT_TRUE(web);
    EXPECT_TRUE(web->isReadOnly());
    EXPECT_FALSE(web->text().isEmpty());

    auto* logo = w.findChild<QWidget*>("OrskLogo");
    auto* timer = w.findChild<QTimer*>("OrskTimer");
    ASSERT_TRUE(logo && timer);
    EXPECT_EQ(logo->size(), QSize(108, 60));
    EXPECT_EQ(timer->interval(), 70);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(w.frame(), 0);

    const auto& frames = orskLogoFrames();
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].size(), QSize(136, 60));
        EXPECT_NE(frames[i].toImage(), frames[(i + 1) % frames.size()].toImage()) << i;
    }
    const QImage first = logo->grab().toImage();
    for (int i = 1; i <= 13; ++i) {
        w.OrskTimerEvent();
        EXPECT_EQ(w.frame(), i);
    }
    EXPECT_NE(logo->grab().toImage(), first);
    w.OrskTimerEvent();
    EXPECT_EQ(w.frame(), 0);
    EXPECT_EQ(logo->grab().toImage(), first);

    // The timer drives it by itself while the box is open.
    TAboutWindow running;
    QTest::qWait(400);
    EXPECT_GE(running.frame(), 2);
}
