// Compare and Find similar in the library window of the running program:
// two rows with each other, a row with the edited performance and with a
// file, and the rows nearest in sound to one.
#include "editor/LibraryModel.h"
#include "editor/LibraryWindow.h"
#include "editor/MainWindow.h"
#include "files/BankFile.h"
#include "files/PerformanceFile.h"
#include "model/Parameters.h"
#include "shell/Application.h"
#include "store/SoundDistance.h"
#include "support/FakeBackend.h"
#include "support/QtApp.h"
#include "support/RandomRecords.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kw;
using Strings = std::vector<std::string>;

namespace {

PerformanceData named(PerformanceData d, std::string name)
{
    name.resize(8, ' ');
    std::copy(name.begin(), name.end(), d.begin() + kDataNameOffset);
    d[kDataCategoryOffset] = 12;  // PD
    return d;
}

struct LibraryCompareTest : ::testing::Test {
    QTemporaryDir dir;
    kwtest::FakeBackend::Log log;
    kwtest::ScriptedDialogs dialogs;
    std::unique_ptr<Application> app;
    PerformanceData base{}, oneByte{};
    size_t cutoff2 = 0;

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
        auto records = kwtest::randomRecords({0, 0}, 9);
        base = named(performanceData(records[0]), "Base");
        // The second layer's cutoff, a step up or down.
        const Parameter* cutoff = findParameter("layer2.cutoff");
        PerformanceImage img = imageFromData(base);
        const int v = cutoff->value(img);
        cutoff->set(img, v < 64 ? v + 1 : v - 1);
        oneByte = named(dataFromEdit(img.edit), "OneByte");
        auto other = Store::open(app->libraryPath());
        ASSERT_TRUE(other);
        for (const PerformanceData& d : {base, named(base, "Twin"), oneByte, named(performanceData(records[1]), "Far")})
            ASSERT_TRUE((*other)->remember(d, Source::file("/syx/" + trimBlanks(dataName(d)) + ".SYX")));
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
    // Rows by name, sorted as the table shows them: Base, Far, OneByte, Twin.
    void selectNames(const Strings& wanted)
    {
        QTableView* t = find<QTableView>("LibraryTable");
        t->clearSelection();
        for (int r = 0; r < t->model()->rowCount(); ++r) {
            const std::string n = t->model()->index(r, LibraryModel::NameColumn).data().toString().toStdString();
            if (std::find(wanted.begin(), wanted.end(), n) != wanted.end())
                t->selectionModel()->select(t->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    // The rows of a list, each as its columns joined by " | ".
    static Strings rows(QTreeWidget* list)
    {
        Strings out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            std::string line;
            for (int c = 0; c < list->columnCount(); ++c)
                line += (c ? " | " : "") + list->topLevelItem(i)->text(c).toStdString();
            out.push_back(line);
        }
        return out;
    }
};

} // namespace

TEST_F(LibraryCompareTest, ListsWhatDiffersWithAnotherRowTheEditAndAFile)
{
    auto* compare = find<QPushButton>("LibraryCompare");
    selectNames({"Base", "Far", "Twin"});
    EXPECT_FALSE(compare->isEnabled()) << "two at most";
    selectNames({"Base", "OneByte"});
    ASSERT_TRUE(compare->isEnabled());
    compare->click();
    auto* shown = find<QWidget>("LibraryCompareWindow");
    ASSERT_TRUE(shown && shown->isVisible());
    auto* list = find<QTreeWidget>("CompareList");
    const Parameter* cutoff = findParameter("layer2.cutoff");
    const std::string cutoffLine = "Layer 2 Filter Cutoff | " + cutoff->text(imageFromData(base)) + " | "
                                   + cutoff->text(imageFromData(oneByte));
    EXPECT_EQ(rows(list), (Strings{"Name | Base | OneByte", cutoffLine}));
    EXPECT_EQ(find<QLabel>("CompareTitle")->text().toStdString(), "PD Base -> PD OneByte: 2 parameters differ");

    // One row: with the edited performance; after Open, nothing differs.
    selectNames({"Base"});
    compare->click();
    EXPECT_GT(list->topLevelItemCount(), 20) << "the start-up performance is far from a random one";
    EXPECT_EQ(list->headerItem()->text(2).toStdString(), "the edited performance");
    find<QPushButton>("LibraryOpen")->click();
    // The blocks go in with the transfer pause between them.
    for (int i = 0; i < 2000 && dataFromEdit(app->image().edit) != base; ++i)
        QTest::qWait(5);
    compare->click();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(find<QLabel>("CompareTitle")->text().endsWith("no parameter differs"));

    // A file on the right; one of two performances is refused and the
    // window keeps what it showed.
    const std::string file = dir.filePath("one.SYX").toStdString();
    ASSERT_FALSE(writePerformanceFile(file, recordFromData(oneByte, 4)));
    dialogs.files.push_back(file);
    find<QPushButton>("CompareWithFile")->click();
    EXPECT_EQ(rows(list), (Strings{"Name | Base | OneByte", cutoffLine}));
    EXPECT_EQ(list->headerItem()->text(2).toStdString(), "one.SYX");
    const std::string bank = dir.filePath("two.PFB").toStdString();
    ASSERT_FALSE(writeBankFile(bank, std::vector{recordFromData(base, 0), recordFromData(oneByte, 1)}));
    dialogs.files.push_back(bank);
    find<QPushButton>("CompareWithFile")->click();
    ASSERT_FALSE(dialogs.boxes.empty());
    EXPECT_EQ(dialogs.boxes.back(), "two.PFB: it holds 2 performances; choose a file of one\nNothing was compared.");
    EXPECT_EQ(list->topLevelItemCount(), 2);
}

TEST_F(LibraryCompareTest, FindSimilarRanksTheTwinThenTheNearestAndComparesThem)
{
    auto* similar = find<QPushButton>("LibrarySimilar");
    selectNames({"Base", "Far"});
    EXPECT_FALSE(similar->isEnabled());
    selectNames({"Base"});
    similar->click();
    auto* list = find<QTreeWidget>("SimilarList");
    ASSERT_TRUE(list && find<QWidget>("LibrarySimilarWindow")->isVisible());
    const Strings shown = rows(list);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "0.000  same sound | PD Twin | /syx/Twin.SYX");
    EXPECT_EQ(shown[1], "0.008 | PD OneByte | /syx/OneByte.SYX") << "one step of 127";
    EXPECT_TRUE(shown[2].ends_with("| /syx/Far.SYX"));

    list->setCurrentItem(list->topLevelItem(1));
    find<QPushButton>("SimilarCompare")->click();
    EXPECT_EQ(find<QLabel>("CompareTitle")->text().toStdString(), "PD Base -> PD OneByte: 2 parameters differ");
}

// Beside the entries, the synth's memory as the library knows it: nothing
// seen yet by this program, and the place each was last seen at (none here).
TEST_F(LibraryCompareTest, TheMemoryTabListsEveryUserMemory)
{
    auto* tabs = find<QTabWidget>("LibraryTabs");
    ASSERT_NE(tabs, nullptr);
    tabs->setCurrentIndex(1);
    auto* table = find<QTableWidget>("SynthMemoryTable");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 128);
    EXPECT_EQ(table->item(127, 0)->text(), QStringLiteral("128"));
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("Unknown"));
    EXPECT_TRUE(find<QLabel>("SynthMemorySummary")->text().startsWith(QStringLiteral("0 seen since")));
    EXPECT_NE(find<QPushButton>("SynthMemoryFetch"), nullptr);
}
