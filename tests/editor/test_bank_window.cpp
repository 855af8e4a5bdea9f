// The bank manager window, offscreen: its controls and their rules, drags
// from its own file list and from the desktop, the audition, the folder it
// remembers, and the lines it keeps between two openings.
#include "session/BankFixture.h"

#include "editor/BankEditWindow.h"
#include "editor/FolderBrowser.h"
#include "support/RandomRecords.h"

#include <QAction>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cstdlib>

using namespace kw;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

struct BankWindow : kwtest::BankFixture {
    std::unique_ptr<TBankEditWindow> window;

    ~BankWindow() override { window.reset(); }

    void open()
    {
        manager.opening();
        window = std::make_unique<TBankEditWindow>(manager);
        window->show();
    }
    void close()
    {
        window->close();
        window.reset();
        manager.closed();
    }
    template <class T = QWidget>
    T* find(const char* name)
    {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QListWidget* bankList() { return find<QListWidget>("BankListBox"); }
    QListWidget* files() { return find<QListWidget>("FileListBox"); }
    QAction* action(const char* name) { return find<QAction>(name); }
    std::string line(int slot) { return bankList()->item(slot)->text().toStdString(); }
    bool enabled(const char* name) { return find<QPushButton>(name)->isEnabled(); }

    // Where the mouse points at slot `slot`, in the list's viewport.
    QPoint at(int slot)
    {
        bankList()->scrollToItem(bankList()->item(slot));
        return bankList()->visualItemRect(bankList()->item(slot)).center();
    }
    // What a drag of a listed file carries, as the list makes it.
    std::unique_ptr<QMimeData> dragOf(const char* listed)
    {
        const auto found = files()->findItems(QString::fromUtf8(listed), Qt::MatchExactly);
        EXPECT_EQ(found.size(), 1) << listed;
        if (found.isEmpty())
            return std::make_unique<QMimeData>();
        files()->setCurrentItem(found.first());
        const QModelIndex index = files()->model()->index(files()->row(found.first()), 0);
        return std::unique_ptr<QMimeData>(files()->model()->mimeData({index}));
    }
    static std::unique_ptr<QMimeData> urls(const std::vector<std::string>& paths)
    {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> list;
        for (const std::string& p : paths)
            list << QUrl::fromLocalFile(QString::fromStdString(p));
        data->setUrls(list);
        return data;
    }
    void drop(const QMimeData& data, int slot) { window->BankListBoxDragDrop(&data, at(slot)); }
    void clickSlot(int slot)
    {
        QTest::mouseClick(bankList()->viewport(), Qt::LeftButton, {}, at(slot));
    }
};

} // namespace

TEST_F(BankWindow, CaptionControlsTextsAndHowTheyStart)
{
    open();
    EXPECT_EQ(window->windowTitle(), " Knobwright - Performance-bank manager");
    EXPECT_EQ(find<QGroupBox>("FileGroupBox")->title(), " SysEx-Files ");
    EXPECT_EQ(find<QGroupBox>("UserPerfGroupBox")->title(), " User-Performance ");
    const std::pair<const char*, const char*> texts[] = {
        {"LoadPerf", "Load Performance-bank"}, {"DeletePerf", "Delete"},
        {"ClearAll", "Clear all"},             {"SavePerf", "Save Performance-bank"},
        {"TypeSysEx", "SysEx files"},          {"TypePerfBanks", "Perf.-banks"}};
    for (const auto& [name, text] : texts)
        EXPECT_EQ(find<QAbstractButton>(name)->text(), text) << name;
    const std::pair<const char*, const char*> hints[] = {
        {"LoadPerf", "Load the selected Performance-bank"}, {"DeletePerf", "Delete the selected Performance"},
        {"ClearAll", "Delete all Performances"},            {"SavePerf", "Save your work to harddisk"},
        {"TypeSysEx", "List only SysEx-binary files"},      {"TypePerfBanks", "List only Performance-bank files"}};
    for (const auto& [name, hint] : hints)
        EXPECT_EQ(find<QWidget>(name)->toolTip(), hint) << name;
    for (const char* name : {"DirectoryListBox", "DriveComboBox", "PathLabel"})
        find<QWidget>(name);

    QMenu* popup = find<QMenu>("BankPopup");
    const QList<QAction*> items = popup->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->objectName(), "BankPopDelete");
    EXPECT_EQ(items[0]->text(), "Delete");
    EXPECT_EQ(items[1]->objectName(), "BankPopClearAll");
    EXPECT_EQ(items[1]->text(), "Clear All");
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->objectName(), "BankPopSendPerf");
    EXPECT_EQ(items[3]->text(), "Send to CS1x");

    EXPECT_TRUE(find<QRadioButton>("TypeSysEx")->isChecked());
    EXPECT_EQ(window->fileMask(), "*.SYX");
    EXPECT_FALSE(enabled("LoadPerf"));
    EXPECT_FALSE(enabled("DeletePerf"));
    EXPECT_TRUE(enabled("ClearAll"));
    EXPECT_TRUE(enabled("SavePerf"));
    EXPECT_FALSE(action("BankPopDelete")->isEnabled());
    EXPECT_TRUE(action("BankPopClearAll")->isEnabled());
    EXPECT_FALSE(action("BankPopSendPerf")->isEnabled());

    ASSERT_EQ(bankList()->count(), 128);
    EXPECT_EQ(line(0), "001");
    EXPECT_EQ(line(127), "128");
    EXPECT_EQ(bankList()->visualItemRect(bankList()->item(1)).height(), 14);
    EXPECT_EQ(bankList()->visualItemRect(bankList()->item(1)).top() - bankList()->visualItemRect(bankList()->item(0)).top(), 14);
}

TEST_F(BankWindow, TheFileListShowsTheChosenKindInEitherLetterCase)
{
    const PerformanceRecord r = kwtest::randomRecords({0}, 1)[0];
    file("b.syx", r);
    file("A.SYX", r);
    file("c.txt", r);
    ASSERT_FALSE(writeBankFile(dir / "one.PFB", {r}));
    ASSERT_FALSE(writeBankFile(dir / "two.pfb", {r}));
    open();
    auto listed = [this] {
        Strings out;
        for (int i = 0; i < files()->count(); ++i)
            out.push_back(files()->item(i)->text().toStdString());
        return out;
    };
    EXPECT_EQ(listed(), (Strings{"A.SYX", "b.syx"}));

    QTest::mouseClick(find<QRadioButton>("TypePerfBanks"), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(window->fileMask(), "*.PFB");
    EXPECT_EQ(find<QGroupBox>("FileGroupBox")->title(), " Performance-Banks ");
    EXPECT_EQ(listed(), (Strings{"one.PFB", "two.pfb"}));
    EXPECT_FALSE(enabled("LoadPerf"));
    files()->setCurrentRow(1);
    EXPECT_TRUE(enabled("LoadPerf")) << "a bank chosen";
    files()->clearSelection();
    EXPECT_FALSE(enabled("LoadPerf"));

    // A bank saved into the folder shows up without asking.
    ASSERT_FALSE(writeBankFile(dir / "three.PFB", {r}));
    for (int i = 0; i < 50 && files()->count() < 3; ++i)
        QTest::qWait(20);
    EXPECT_EQ(listed(), (Strings{"one.PFB", "three.PFB", "two.pfb"}));

    QTest::mouseClick(find<QRadioButton>("TypeSysEx"), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(listed(), (Strings{"A.SYX", "b.syx"}));
    files()->setCurrentRow(0);
    EXPECT_FALSE(enabled("LoadPerf")) << "performance files are dragged, not loaded";
}

TEST_F(BankWindow, AFileDraggedFromTheListTakesTheSlotUnderTheMouse)
{
    file("SQ_Pan Seq.SYX", kwtest::randomRecords({9}, 2)[0]);
    open();
    auto data = dragOf("SQ_Pan Seq.SYX");
    EXPECT_TRUE(window->FileListBoxDragOver(data.get()));
    EXPECT_TRUE(window->BankListBoxDragOver(data.get(), at(4)));
    EXPECT_EQ(bankList()->currentRow(), 4) << "the slot under the mouse is shown chosen";
    drop(*data, 4);
    EXPECT_EQ(line(4), "005  SQ Pan Seq");
    EXPECT_EQ(model.slot(4)[7], 0x04);
    EXPECT_EQ(model.slot(4)[6], 0x70);
    EXPECT_EQ(model.slot(4)[272], 0x04);
    EXPECT_TRUE(bankList()->selectedItems().isEmpty());

    drop(*data, 0);
    EXPECT_EQ(line(0), "001  SQ Pan Seq");
    EXPECT_TRUE(bankList()->item(0)->data(Qt::UserRole + 1).toBool()) << "marked as not saved";
    EXPECT_EQ(bankList()->item(0)->text().toStdString(), model.entry(0)) << "the mark is no part of the text";

    // Deleting resets the line and disables "Delete".
    clickSlot(4);
    EXPECT_TRUE(enabled("DeletePerf"));
    EXPECT_TRUE(action("BankPopDelete")->isEnabled());
    EXPECT_TRUE(action("BankPopSendPerf")->isEnabled());
    QTest::mouseClick(find<QPushButton>("DeletePerf"), Qt::LeftButton);
    EXPECT_EQ(line(4), "005");
    EXPECT_FALSE(model.occupied(4));
    EXPECT_FALSE(enabled("DeletePerf"));
    EXPECT_FALSE(action("BankPopDelete")->isEnabled());
    EXPECT_TRUE(bankList()->selectedItems().isEmpty());
    clickSlot(4);
    EXPECT_FALSE(enabled("DeletePerf")) << "an empty slot";

    // The Delete key does what the button does.
    clickSlot(0);
    bankList()->setFocus();
    QTest::keyClick(bankList(), Qt::Key_Delete);
    EXPECT_EQ(line(0), "001");
    EXPECT_FALSE(model.occupied(0));

    drop(*data, 0);
    action("BankPopClearAll")->trigger();
    EXPECT_EQ(line(0), "001");
    EXPECT_FALSE(model.occupied(0));
}

TEST_F(BankWindow, ABankFileDraggedInBankModeIsRefusedForItsSize)
{
    ASSERT_FALSE(writeBankFile(dir / "b.PFB", kwtest::randomRecords({1, 2}, 3)));
    open();
    find<QRadioButton>("TypePerfBanks")->click();
    auto data = dragOf("b.PFB");
    EXPECT_FALSE(window->FileListBoxDragOver(data.get())) << "the file list takes drags in SysEx mode only";
    EXPECT_TRUE(window->BankListBoxDragOver(data.get(), at(9)));
    drop(*data, 9);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0], "Load-Error : Wrong filesize\n" + (dir / "b.PFB").string() + ": 648 bytes");
    EXPECT_EQ(line(9), "010");
    EXPECT_FALSE(model.occupied(9));
}

TEST_F(BankWindow, LoadingABankChangesOnlyTheSlotsItNames)
{
    // A record that lost its opening F0 is still a performance.
    PerformanceRecord damaged = kwtest::makeRecord(25, 9, "Kept    ");
    damaged[0] = 0x00;
    ASSERT_FALSE(writeBankFile(dir / "b.PFB", std::vector{kwtest::makeRecord(3, 22, "Pan Seq "),
                                                          kwtest::makeRecord(7, 1, "Grand   "), damaged}));
    file("GT_Lost.SYX", damaged);
    open();
    find<QRadioButton>("TypePerfBanks")->click();
    bankList()->scrollToBottom();
    files()->setCurrentRow(0);
    QTest::mouseClick(find<QPushButton>("LoadPerf"), Qt::LeftButton);
    clock.advance(0);  // read in slices
    EXPECT_EQ(line(3), "004  SQ Pan Seq");
    EXPECT_EQ(line(7), "008  PF Grand");
    EXPECT_EQ(line(25), "026  RD Kept");
    for (int i = 0; i < 128; ++i) {
        if (i == 3 || i == 7 || i == 25)
            continue;
        ASSERT_EQ(line(i), entryNumber(i)) << i;
    }
    EXPECT_EQ(bankList()->indexAt(QPoint(5, 5)).row(), 0) << "scrolled to the first slot";
    EXPECT_FALSE(bankList()->item(3)->data(Qt::UserRole + 1).toBool()) << "as the file holds it";

    // The same record dropped as a file, and every slot listed is saved.
    find<QRadioButton>("TypeSysEx")->click();
    drop(*dragOf("GT_Lost.SYX"), 40);
    EXPECT_EQ(line(40), "041  GT Lost");
    dialogs.files = {(dir / "saved.PFB").string()};
    QTest::mouseClick(find<QPushButton>("SavePerf"), Qt::LeftButton);
    const Bytes saved = kwtest::readAll(dir / "saved.PFB");
    ASSERT_EQ(saved.size(), 14u + 4 * 317) << "slots 004, 008, 026 and 041";
    EXPECT_EQ(saved[14 + 2 * 317], 0xF0) << "the record opens as every record does";
    EXPECT_EQ(saved[14 + 2 * 317 + 7], 25);
    EXPECT_EQ(saved[14 + 3 * 317 + 7], 40);
}

TEST_F(BankWindow, FilesFromTheDesktopLandUnderTheMouse)
{
    const auto r = kwtest::randomRecords({0, 1}, 4);
    fs::create_directories(dir / "elsewhere");
    const std::string a = file("elsewhere/PF_Alpha.syx", r[0]);
    const std::string b = file("elsewhere/PF_Beta.SYX", r[1]);
    ASSERT_FALSE(writeBankFile(dir / "elsewhere/set.pfb", {kwtest::makeRecord(99, 5, "Banked  ")}));
    open();
    auto data = urls({a, (dir / "elsewhere/set.pfb").string(), b});
    // Through the list's own drag events, as a file manager's drag comes in.
    const QPointF where(at(60));
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bankList()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(where.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bankList()->viewport(), &move);
    EXPECT_EQ(bankList()->currentRow(), 60) << "the slot under the mouse shown";
    QDropEvent ev(where, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bankList()->viewport(), &ev);
    EXPECT_TRUE(ev.isAccepted());
    clock.advance(0);  // the bank among them is read in slices
    EXPECT_EQ(line(60), "061  PF Alpha");
    EXPECT_EQ(line(61), "062  PF Beta");
    EXPECT_EQ(line(99), "100  BA Banked");
    EXPECT_EQ(model.slot(61)[7], 61);

    auto other = urls({(dir / "x.txt").string()});
    kwtest::writeAll(dir / "x.txt", kwtest::view("x"));
    EXPECT_FALSE(window->BankListBoxDragOver(other.get(), at(3))) << "only the two kinds are taken";
}

TEST_F(BankWindow, CtrlZTakesBackClearAllAndThenTheDropOfTwentyFiles)
{
    const auto records = kwtest::randomRecords(std::vector<int>(20, 0), 12);
    std::vector<std::string> paths;
    for (size_t i = 0; i < records.size(); ++i)
        paths.push_back(file("PF_Drop" + std::to_string(i) + ".SYX", records[i]));
    open();
    drop(*urls(paths), 10);
    auto shown = [&] {
        Strings out;
        for (int i = 0; i < kUserPerformances; ++i)
            out.push_back(line(i) + (bankList()->item(i)->data(Qt::UserRole + 1).toBool() ? " *" : ""));
        return out;
    };
    const Strings dropped = shown();
    EXPECT_EQ(dropped[10], "011  PF Drop0 *");
    EXPECT_EQ(dropped[29], "030  PF Drop19 *");
    QTest::mouseClick(find<QPushButton>("ClearAll"), Qt::LeftButton);
    const Strings cleared = shown();
    QApplication::setActiveWindow(window.get());  // the keys reach the active window
    EXPECT_EQ(cleared[10], "011");
    EXPECT_EQ(action("BankUndo")->text(), "Undo Clear all");

    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(shown(), dropped);
    EXPECT_EQ(action("BankUndo")->text(), "Undo Drop");
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(shown()[10], "011");
    EXPECT_FALSE(action("BankUndo")->isEnabled());
    EXPECT_FALSE(model.anyChanged());
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(shown(), dropped);
    QTest::keyClick(window.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(shown(), cleared);
    EXPECT_FALSE(action("BankRedo")->isEnabled());
}

TEST_F(BankWindow, ADragThatEndsElsewhereLeavesTheChosenSlotChosen)
{
    file("a.SYX", kwtest::randomRecords({0}, 5)[0]);
    open();
    auto data = dragOf("a.SYX");
    drop(*data, 2);
    clickSlot(2);
    ASSERT_TRUE(enabled("DeletePerf"));
    EXPECT_TRUE(window->BankListBoxDragOver(data.get(), at(20)));
    EXPECT_EQ(bankList()->currentRow(), 20);
    window->BankListBoxDragLeave();
    EXPECT_EQ(bankList()->currentRow(), 2);
    QTest::mouseClick(find<QPushButton>("DeletePerf"), Qt::LeftButton);
    EXPECT_FALSE(model.occupied(2)) << "Delete hits the slot the user chose";

    // So does a refused drop.
    drop(*data, 2);
    clickSlot(2);
    fs::resize_file(dir / "a.SYX", 10);
    drop(*data, 30);
    EXPECT_EQ(bankList()->currentRow(), 2);
    EXPECT_EQ(line(30), "031");
}

TEST_F(BankWindow, ASlotDraggedOntoAnotherMovesThereAndSwapsWithWhatItHeld)
{
    ASSERT_TRUE(load(bankFile("b.PFB", {kwtest::makeRecord(3, 1, "  Grand "), kwtest::makeRecord(9, 22, "Pan Seq ")})));
    open();
    // What a drag of a slot carries, as the list makes it.
    const auto slotDrag = [&](int slot) {
        return std::unique_ptr<QMimeData>(bankList()->model()->mimeData({bankList()->model()->index(slot, 0)}));
    };
    EXPECT_EQ(slotDrag(4), nullptr) << "an empty slot has nothing to drag";

    // Onto an empty slot, through the list's own drag events: a move.
    auto data = slotDrag(3);
    ASSERT_NE(data, nullptr);
    const QPointF where(at(50));
    QDragEnterEvent enter(where.toPoint(), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bankList()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent ev(where, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bankList()->viewport(), &ev);
    EXPECT_EQ(line(50), "051  PF Grand");
    EXPECT_EQ(line(3), "004");
    EXPECT_EQ(model.slot(50).numberInRange(), 50);
    EXPECT_EQ(bankList()->currentRow(), 50) << "the moved performance stays chosen";

    // Onto an occupied slot: the two swap.
    drop(*slotDrag(9), 50);
    EXPECT_EQ(line(50), "051  SQ Pan Seq");
    EXPECT_EQ(line(9), "010  PF Grand");
    EXPECT_EQ(action("BankUndo")->text(), "Undo Move");
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(line(50), "051  PF Grand");
    EXPECT_EQ(line(9), "010  SQ Pan Seq");

    // A slot of another running editor is no slot of this bank.
    QMimeData stranger;
    stranger.setData(QString::fromLatin1(kBankSlotMimeType), QByteArray::number(QCoreApplication::applicationPid() + 1) + " 9");
    EXPECT_FALSE(window->BankListBoxDragOver(&stranger, at(20)));
}

TEST_F(BankWindow, SendToCS1xAuditionsAndClosingGivesBackTheEdit)
{
    file("SQ_Pan Seq.SYX", kwtest::randomRecords({0}, 6)[0]);
    const Bytes before = editData(img.edit);
    open();
    clickSlot(1);
    EXPECT_FALSE(action("BankPopSendPerf")->isEnabled());
    window->BankPopSendPerfClick();
    runAll();
    EXPECT_TRUE(synth.sent.empty()) << "an empty slot sends nothing";

    auto data = dragOf("SQ_Pan Seq.SYX");
    drop(*data, 1);
    clickSlot(1);
    ASSERT_TRUE(action("BankPopSendPerf")->isEnabled());
    action("BankPopSendPerf")->trigger();
    EXPECT_TRUE(ui.outLamp);
    runAll();
    EXPECT_FALSE(ui.outLamp);
    EXPECT_EQ(addresses().size(), 7u);

    // A double click on a slot auditions it too.
    synth.sent.clear();
    QTest::mouseDClick(bankList()->viewport(), Qt::LeftButton, {}, at(1));
    runAll();
    EXPECT_EQ(addresses().size(), 7u);

    synth.sent.clear();
    close();
    runAll();
    EXPECT_EQ(addresses(), (Strings{"60 00 00", "60 00 30", "60 00 50", "60 01 00", "60 02 00", "60 03 00",
                                    "60 04 00"}));
    EXPECT_EQ(editData(img.edit), before);

    // Without an audition, closing sends nothing.
    synth.sent.clear();
    open();
    close();
    runAll();
    EXPECT_TRUE(synth.sent.empty());
}

TEST_F(BankWindow, TheMenuRunsTheWindowModallyAndRestoresAfterIt)
{
    const PerformanceRecord r = kwtest::randomRecords({0}, 7)[0];
    model.put(0, r, "001  x");
    std::string caption;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<TBankEditWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        caption = w->windowTitle().toStdString();
        auto* list = w->findChild<QListWidget*>("BankListBox");
        list->setCurrentRow(0);
        w->BankPopSendPerfClick();
        w->close();
    });
    MenuBulkBankEditClick(manager, nullptr);
    EXPECT_EQ(caption, " Knobwright - Performance-bank manager");
    runAll();
    EXPECT_EQ(addresses().size(), 14u) << "the audition, then the edit given back";
}

TEST_F(BankWindow, TheFolderAndTheLinesOutliveTheWindow)
{
    fs::create_directories(dir / "banks");
    settings.perfBankDir = (dir / "banks").string();
    open();
    EXPECT_EQ(window->browser()->folder().toStdString(), (dir / "banks").string());
    window->browser()->setFolder(QString::fromStdString(dir.path().string()));
    model.put(3, kwtest::makeRecord(3, 22, "PanSeqXY"), "004  SQ PanSeqXY");
    close();
    EXPECT_EQ(settings.perfBankDir, dir.path().string());

    open();
    EXPECT_EQ(line(3), "004  SQ PanSeqX") << "a line longer than 15 comes back cut";
    close();

    settings.perfBankDir = (dir / "gone").string();
    open();
    EXPECT_EQ(window->browser()->folder(), QDir::toNativeSeparators(QDir::homePath()));
    EXPECT_EQ(find<QLabel>("PathLabel")->toolTip(), QDir::toNativeSeparators(QDir::homePath()));
}

TEST_F(BankWindow, Picture)
{
    // KW_SHOT_DIR=folder writes what the window looks like with a few slots
    // filled, one of them changed since the last save.
    const char* shots = std::getenv("KW_SHOT_DIR");
    if (!shots)
        GTEST_SKIP() << "KW_SHOT_DIR not set";
    for (const char* name : {"SQ_Pan Seq.SYX", "PF_Grand.SYX", "BA_Deep.syx"})
        file(name, kwtest::randomRecords({0}, 8)[0]);
    ASSERT_FALSE(writeBankFile(dir / "live set.PFB", kwtest::randomRecords({0, 1, 2, 5}, 9)));
    open();
    ASSERT_TRUE(load((dir / "live set.PFB").string()));
    auto data = dragOf("SQ_Pan Seq.SYX");
    drop(*data, 3);
    clickSlot(1);
    files()->setCurrentRow(1);
    QApplication::processEvents();
    EXPECT_TRUE(window->grab().save(QString::fromUtf8(shots) + "/bank-manager.png"));
}
