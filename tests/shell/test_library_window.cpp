// View › Library in the running program: found as one types, filtered,
// sorted, several rows set at once (the strip showing what they share),
// rows changed under a filter kept in view, deleted and brought back by
// Undo (and taken again by Redo), kept from the editor with Ctrl+L, and a
// row dropped on the main window opened.
#include "editor/LibraryModel.h"
#include "editor/LibraryWindow.h"
#include "editor/MainWindow.h"
#include "model/NameTables.h"
#include "session/library/LibraryKeeper.h"
#include "shell/Application.h"
#include "store/PerformanceData.h"
#include "support/FakeBackend.h"
#include "support/QtApp.h"
#include "support/RandomRecords.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace kw;
using Strings = std::vector<std::string>;

namespace {

struct LibraryWindowTest : ::testing::Test {
    QTemporaryDir dir;
    kwtest::FakeBackend::Log log;
    kwtest::ScriptedDialogs dialogs;
    std::unique_ptr<Application> app;

    void SetUp() override
    {
        kwtest::qtApp();
        {
            QSettings s(dir.filePath("settings.ini"), QSettings::IniFormat);
            s.beginGroup("CS1x");
            s.setValue("Midi-IN", "CS1x In");
            s.setValue("Midi-OUT", "CS1x Out");
            s.setValue("LongDelay", "0");
        }
        Application::Options o;
        o.settingsFile = dir.filePath("settings.ini");
        std::vector<std::unique_ptr<MidiBackend>> list;
        list.push_back(std::make_unique<kwtest::FakeBackend>(std::vector<std::string>{"CS1x In"},
                                                             std::vector<std::string>{"CS1x Out"}, log));
        o.backends = std::move(list);
        o.dialogs = &dialogs;
        app = std::make_unique<Application>(std::move(o));
        ASSERT_TRUE(app->start());
        // Another program's connection fills the library: the window must
        // see what others wrote.
        auto other = Store::open(app->libraryPath());
        ASSERT_TRUE(other);
        const char* kinds[] = {"Lead", "Pad", "Bass"};
        const int categories[] = {11, 12, 5};
        auto records = kwtest::randomRecords(std::vector<int>(30, 0), 5);
        const int64_t import = *(*other)->beginImport("~/syx");
        for (int i = 0; i < 30; ++i) {
            PerformanceData d = performanceData(records[size_t(i)]);
            char text[16];
            std::snprintf(text, sizeof text, "%s %02d", kinds[i / 10], i % 10 + 1);
            std::string name = text;
            name.resize(8, ' ');
            std::copy(name.begin(), name.end(), d.begin() + kDataNameOffset);
            d[kDataCategoryOffset] = uint8_t(categories[i / 10]);
            ASSERT_TRUE((*other)->remember(d, Source::file("/syx/" + std::string(text) + ".SYX"),
                                           i % 10 == 0 ? import : 0));
        }
        app->window().action("MenuViewLibrary")->trigger();
        ASSERT_NE(window(), nullptr);
    }
    void TearDown() override
    {
        if (app)
            app->finish();
    }
    LibraryWindow* window() { return app->libraryWindow(); }
    template <class T>
    T* find(const char* name)
    {
        T* w = window()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QTableView* table() { return find<QTableView>("LibraryTable"); }
    // The names the table shows, top to bottom.
    Strings names()
    {
        Strings out;
        QAbstractItemModel* m = table()->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out.push_back(m->index(r, LibraryModel::NameColumn).data().toString().toStdString());
        return out;
    }
    void search(const char* text)
    {
        QLineEdit* box = find<QLineEdit>("LibrarySearch");
        box->clear();
        QTest::keyClicks(box, QString::fromLatin1(text));
    }
    void selectRows(int first, int last)
    {
        table()->clearSelection();
        for (int r = first; r <= last; ++r)
            table()->selectionModel()->select(table()->model()->index(r, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void choose(const char* combo, int index)
    {
        auto* c = find<QComboBox>(combo);
        c->setCurrentIndex(index);
        emit c->activated(index);
    }
};

} // namespace

TEST_F(LibraryWindowTest, FindsFiltersSortsSetsManyRowsDeletesAndUndoes)
{
    EXPECT_EQ(names().size(), 30u);
    EXPECT_EQ(find<QLabel>("LibraryCount")->text(), "30 performances");
    EXPECT_EQ(names().front(), "Bass 01");

    struct Case {
        const char* text;
        int category;  // entry of the category filter: 0 all
        int source;    // entry of the source filter: 0 all, 5 the import
        Strings first;
        size_t count;
    };
    const Case cases[] = {
        {"pad", 0, 0, {"Pad 01", "Pad 02"}, 10},
        {"pad 1", 0, 0, {"Pad 01", "Pad 10"}, 2},
        {"", 1 + 11, 0, {"Lead 01"}, 10},
        {"ba", 1 + 11, 0, {}, 0},
        {"", 0, 5, {"Bass 01", "Lead 01", "Pad 01"}, 3},
        {"syx", 0, 0, {"Bass 01"}, 30},  // where it came from is searched too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        choose("LibraryCategory", c.category);
        choose("LibrarySource", c.source);
        search(c.text);
        const Strings shown = names();
        EXPECT_EQ(shown.size(), c.count);
        for (size_t i = 0; i < c.first.size() && i < shown.size(); ++i)
            EXPECT_EQ(shown[i], c.first[i]);
    }
    choose("LibraryCategory", 0);
    choose("LibrarySource", 0);
    search("");

    // Sorting by a column's header, both ways.
    QHeaderView* header = table()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(LibraryModel::NameColumn) + 5, 5));
    EXPECT_EQ(names().front(), "Pad 10");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(LibraryModel::NameColumn) + 5, 5));
    EXPECT_EQ(names().front(), "Bass 01");

    // Three rows at once: rating, favourite, tags; the favourites filter.
    selectRows(0, 2);
    choose("LibraryEditRating", 4);
    find<QCheckBox>("LibraryEditFavourite")->click();
    auto* tags = find<QLineEdit>("LibraryEditTags");
    tags->setText("warm, bass");
    QTest::keyClick(tags, Qt::Key_Return);
    find<QCheckBox>("LibraryFavourites")->click();
    EXPECT_EQ(names(), (Strings{"Bass 01", "Bass 02", "Bass 03"}));
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(table()->model()->index(r, LibraryModel::RatingColumn).data().toString(), QString(4, QChar(0x2605)));
        EXPECT_EQ(table()->model()->index(r, LibraryModel::TagsColumn).data().toString(), "bass, warm");
    }
    search("warm");
    EXPECT_EQ(names().size(), 3u);
    find<QCheckBox>("LibraryFavourites")->click();
    search("");

    // Delete two, Undo brings them back with what was set on them.
    selectRows(1, 2);
    find<QPushButton>("LibraryDelete")->click();
    EXPECT_EQ(names().size(), 28u);
    EXPECT_EQ(find<QLabel>("LibraryCount")->text(), "28 performances");
    EXPECT_EQ(names()[1], "Bass 04");
    EXPECT_EQ(find<QPushButton>("LibraryUndo")->text(), "&Undo delete of 2 performances");
    find<QPushButton>("LibraryUndo")->click();
    EXPECT_EQ(names().size(), 30u);
    EXPECT_EQ(table()->model()->index(2, LibraryModel::TagsColumn).data().toString(), "bass, warm");
    // Undo of the tags puts the earlier ones back, on all three.
    find<QPushButton>("LibraryUndo")->click();
    EXPECT_EQ(table()->model()->index(0, LibraryModel::TagsColumn).data().toString(), "");
    EXPECT_EQ(table()->model()->index(2, LibraryModel::TagsColumn).data().toString(), "");
    // Redo sets the tags again, Ctrl+Y deletes the two again; Undo once more.
    auto* redo = find<QPushButton>("LibraryRedo");
    EXPECT_EQ(redo->text(), "&Redo tags of 3 performances");
    redo->click();
    EXPECT_EQ(table()->model()->index(2, LibraryModel::TagsColumn).data().toString(), "bass, warm");
    EXPECT_EQ(redo->text(), "&Redo delete of 2 performances");
    QApplication::setActiveWindow(window());  // the keys reach the active window
    QTest::keyClick(window(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(names().size(), 28u);
    EXPECT_EQ(names()[1], "Bass 04");
    EXPECT_FALSE(redo->isEnabled());
    find<QPushButton>("LibraryUndo")->click();
    EXPECT_EQ(names().size(), 30u);

    // F2 takes only what the synth can hold: eight characters of ASCII.
    const QModelIndex first = table()->model()->index(0, LibraryModel::NameColumn);
    table()->setCurrentIndex(first);
    table()->edit(first);
    auto* rename = find<QLineEdit>("LibraryRename");
    ASSERT_NE(rename, nullptr);
    rename->setFocus();
    rename->selectAll();
    QTest::keyClicks(rename, QStringLiteral("Caf"));
    rename->insert(QString::fromUtf8("é"));  // as a paste would
    QTest::keyClicks(rename, QStringLiteral(" Longer name"));
    EXPECT_EQ(rename->text(), "Caf Long");
    EXPECT_EQ(find<QLabel>("LibraryCount")->text().toStdString().rfind("Refused: a name holds at most 8", 0), 0u);
    QTest::keyClick(rename, Qt::Key_Return);
    QCoreApplication::processEvents();  // the view commits what the box holds a turn later
    const Strings renamed = names();
    EXPECT_NE(std::find(renamed.begin(), renamed.end(), "Caf Long"), renamed.end());

    // Another program imports while the window is open: the next keystroke
    // counts it, never "30 of 29".
    {
        auto other = Store::open(app->libraryPath());
        ASSERT_TRUE(other);
        ASSERT_TRUE((*other)->remember(kwtest::randomRecords({0}, 77)[0], Source::editor()));
    }
    search("x");
    search("");
    EXPECT_EQ(find<QLabel>("LibraryCount")->text(), "31 performances");

    // A delete not taken back before the program ends is for good.
    selectRows(0, 0);
    find<QPushButton>("LibraryDelete")->click();
    app->finish();
    auto again = Store::open(app->libraryPath());
    ASSERT_TRUE(again);
    EXPECT_EQ(*(*again)->count(), 30u);
    app.reset();
}

TEST_F(LibraryWindowTest, KeepInLibraryAndARowDroppedOnTheMainWindowOpensIt)
{
    app->window().action("MenuFileKeepInLibrary")->trigger();
    QTest::qWait(300);  // the window reads anew a moment after a change
    EXPECT_EQ(names().size(), 31u);

    const std::vector<int64_t> ids = {window()->model().idAt(5)};
    const std::string name = names()[5];
    std::unique_ptr<QMimeData> mime(window()->model().mimeData({window()->model().index(5, 0)}));
    ASSERT_EQ(libraryIds(mime.get()), ids);
    TMainWindow& main = app->window();
    const QPoint at(main.width() / 2, main.height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(&main, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(&main, &drop);
    const size_t before = log.sent.size();
    for (int i = 0; i < 200 && log.sent.size() < before + 7; ++i)
        QTest::qWait(5);
    EXPECT_GE(log.sent.size(), before + 7) << "the performance goes to the synth's edit buffer";
    QTest::qWait(50);
    EXPECT_EQ(trimBlanks(PerformanceRecord::fromEdit(app->image().edit, 0).name()), name);
}

TEST_F(LibraryWindowTest, SeveralRowsShowWhatTheyShareAndRowsChangedUnderAFilterStayInView)
{
    auto* tags = find<QLineEdit>("LibraryEditTags");
    auto* notes = find<QLineEdit>("LibraryEditNotes");
    auto* favourite = find<QCheckBox>("LibraryEditFavourite");
    auto* undo = find<QPushButton>("LibraryUndo");
    auto* count = find<QLabel>("LibraryCount");
    const auto cell = [&](int row, int column) { return table()->model()->index(row, column).data().toString(); };
    const auto enter = [](QLineEdit* box, const char* text) {
        box->setText(QString::fromLatin1(text));
        QTest::keyClick(box, Qt::Key_Return);
    };

    choose("LibraryCategory", 1 + 12);  // the ten pads
    ASSERT_EQ(names().size(), 10u);
    // Two rows tagged; the first one a favourite, rated, with a note.
    selectRows(0, 1);
    enter(tags, "dark");
    selectRows(0, 0);
    favourite->click();
    choose("LibraryEditRating", 3);
    enter(notes, "mine");

    selectRows(0, 4);
    EXPECT_EQ(find<QComboBox>("LibraryEditCategory")->currentIndex(), 12);
    EXPECT_EQ(find<QComboBox>("LibraryEditRating")->currentIndex(), -1) << "(mixed)";
    EXPECT_EQ(favourite->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(tags->text(), "dark*");
    EXPECT_EQ(notes->text(), "");
    EXPECT_EQ(notes->placeholderText(), "(mixed)");
    // A field left as it shows changes nothing, and leaves no step.
    const QString lastStep = undo->text();
    QTest::keyClick(tags, Qt::Key_Return);
    QTest::keyClick(notes, Qt::Key_Return);
    choose("LibraryEditCategory", 12);
    EXPECT_EQ(undo->text(), lastStep);
    EXPECT_EQ(cell(0, LibraryModel::RatingColumn), QString(3, QChar(0x2605)));

    // A tag typed goes on all five; the marked one stays on its two.
    enter(tags, "dark*, soft");
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(cell(r, LibraryModel::TagsColumn), r < 2 ? "dark, soft" : "soft") << r;
    EXPECT_EQ(tags->text(), "soft, dark*");
    // The box marks all of them, and Undo gives each its own mark back.
    favourite->click();
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(cell(r, LibraryModel::FavouriteColumn), QStringLiteral("\u2665")) << r;
    EXPECT_EQ(undo->text(), "&Undo favourite of 5 performances");
    undo->click();
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(cell(r, LibraryModel::FavouriteColumn).isEmpty(), r > 0) << r;
    EXPECT_EQ(favourite->checkState(), Qt::PartiallyChecked);
    // The marked tag deleted from the field: off all of them.
    enter(tags, "soft");
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(cell(r, LibraryModel::TagsColumn), "soft") << r;

    // Made leads under the pads' filter: they stay, selected, and the count
    // says why, until the filter changes.
    choose("LibraryEditCategory", 11);
    EXPECT_EQ(names().size(), 10u);
    EXPECT_EQ(cell(0, LibraryModel::CategoryColumn), categoryText(11));
    EXPECT_EQ(window()->selectedIds().size(), 5u);
    EXPECT_EQ(count->text(), "10 of 30 performances (5 changed, kept in view)");
    undo->click();
    // Undone and done again, the same rows still in view.
    find<QPushButton>("LibraryRedo")->click();
    EXPECT_EQ(names().size(), 10u);
    choose("LibraryCategory", 1 + 11);
    EXPECT_EQ(names().size(), 15u);
    choose("LibraryCategory", 1 + 12);
    EXPECT_EQ(names().size(), 5u);
    EXPECT_EQ(count->text(), "5 of 30 performances");
}
