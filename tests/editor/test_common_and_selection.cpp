// Common controls, voice and user-performance selection.
#include "model/NameTables.h"
#include "support/MainWindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>

using kwtest::MainWindowFixture;
using Strings = std::vector<std::string>;

class CommonControls : public MainWindowFixture {};

TEST_F(CommonControls, TypingANameSendsCommonBlockOnEveryCharacter)
{
    auto* name = find<QLineEdit>("PerformanceName");
    name->setFocus();
    name->clear();
    port.clear();
    QTest::keyClicks(name, "Ab");
    ASSERT_EQ(port.sent.size(), 2u);
    for (const kw::Bytes& m : port.sent) {
        EXPECT_EQ(m.size(), 57u);
        EXPECT_EQ(kwtest::hex(kw::ByteView(m).first(9)), "F0 43 00 4B 00 2E 60 00 00");
    }
    EXPECT_EQ(kwtest::hex(kw::ByteView(port.sent[0]).subspan(9, 8)), "41 20 20 20 20 20 20 20");
    EXPECT_EQ(kwtest::hex(kw::ByteView(port.sent[1]).subspan(9, 8)), "41 62 20 20 20 20 20 20");
    // At most eight characters reach the image.
    QTest::keyClicks(name, "cdefghij");
    EXPECT_EQ(name->text(), "Abcdefgh");
    EXPECT_EQ(kwtest::hex(kw::ByteView(image.edit[kw::BlockKind::Common00].bytes() + 9, 8)),
              "41 62 63 64 65 66 67 68");
}

TEST_F(CommonControls, LeavingTheNameBoxSendsItAgain)
{
    auto* name = find<QLineEdit>("PerformanceName");
    name->setFocus();
    QTest::keyClick(name, Qt::Key_End);
    port.clear();
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(kwtest::hex(kw::ByteView(port.sent[0]).subspan(9, 8)), "49 6E 69 74 50 65 72 66");
}

TEST_F(CommonControls, ClosingTheWindowWithTheNameBoxFocusedSendsNothing)
{
    auto* name = find<QLineEdit>("PerformanceName");
    name->setFocus();
    ASSERT_TRUE(name->hasFocus());
    port.clear();
    window.reset();
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(CommonControls, VolumePortamentoBendAndCategory)
{
    EXPECT_EQ(slider("PitchBend")->value(), 62);
    EXPECT_EQ(label("PitchBend"), "2");
    move("PitchBend", 40);
    EXPECT_EQ(label("PitchBend"), "24");
    EXPECT_EQ(sentHex().back(), "F0 43 10 4B 60 00 53 58 F7");
    move("CommonVolume", 0);
    EXPECT_EQ(label("CommonVolume"), "127");
    EXPECT_EQ(sentHex().back(), "F0 43 10 4B 60 00 09 7F F7");
    move("PortaTime", 27);
    EXPECT_EQ(sentHex().back(), "F0 43 10 4B 60 00 58 64 F7");
    click("PortaOn");
    EXPECT_EQ(sentHex().back(), "F0 43 10 4B 60 00 57 01 F7");
    find<QComboBox>("PerformanceType")->setCurrentIndex(22);
    EXPECT_EQ(sentHex().back(), "F0 43 10 4B 60 00 08 16 F7");
    EXPECT_EQ(image.edit[kw::BlockKind::Common00].data(0x08), 22);
}

class VoiceSelection : public MainWindowFixture {};

TEST_F(VoiceSelection, BankUnderAffectAllSendsFourLayerBlocksAndKeepsPrograms)
{
    for (int l = 1; l <= 4; ++l)
        layerBlock(l).data(0x02) = uint8_t(10 * l);
    click("AffectAllLayers");
    showPage("TabSheet3");
    auto* bank = find<QComboBox>("PatchBankNumber");
    const int drums = bank->findText("PRE 12 (Drum Kits)");
    ASSERT_GE(drums, 0);
    auto* voices = find<QListWidget>("PatchVoiceNumber");
    voices->verticalScrollBar()->setValue(20);
    port.clear();
    pick("PatchBankNumber", drums);
    ASSERT_EQ(port.sent.size(), 4u);
    for (int l = 1; l <= 4; ++l) {
        EXPECT_EQ(kwtest::hex(kw::ByteView(port.sent[size_t(l - 1)]).subspan(6, 3)),
                  "60 0" + std::to_string(l) + " 00");
        EXPECT_EQ(layerBlock(l).data(0x00), 63);
        EXPECT_EQ(layerBlock(l).data(0x01), 12);
        EXPECT_EQ(layerBlock(l).data(0x02), 10 * l);
    }
    EXPECT_EQ(voices->verticalScrollBar()->value(), 20);
    EXPECT_EQ(voices->currentRow(), 10);
    EXPECT_EQ(voices->item(0)->text().toStdString(), kw::voiceEntry(drums, 0));
}

TEST_F(VoiceSelection, VoiceClickSendsTheProgramNumber)
{
    showPage("TabSheet3");
    port.clear();
    clickListRow("PatchVoiceNumber", 5);
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 02 05 F7"}));
    EXPECT_EQ(layerBlock(1).data(0x02), 5);
}

TEST_F(VoiceSelection, ClickingTheSelectedVoiceUnderAffectAllSetsEveryLayer)
{
    for (int l = 1; l <= 4; ++l)
        layerBlock(l).data(0x02) = uint8_t(10 * l);
    window->RefreshAll();
    click("AffectAllLayers");
    showPage("TabSheet3");
    auto* voices = find<QListWidget>("PatchVoiceNumber");
    ASSERT_EQ(voices->currentRow(), 10);
    port.clear();
    clickListRow("PatchVoiceNumber", 10);
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 01 02 0A F7", "F0 43 10 4B 60 02 02 0A F7",
                                  "F0 43 10 4B 60 03 02 0A F7", "F0 43 10 4B 60 04 02 0A F7"}));
    for (int l = 1; l <= 4; ++l)
        EXPECT_EQ(layerBlock(l).data(0x02), 10);

    // The arrow keys still audition voice by voice.
    port.clear();
    voices->setFocus();
    QTest::keyClick(voices, Qt::Key_Down);
    ASSERT_EQ(port.sent.size(), 4u);
    EXPECT_EQ(sentHex().front(), "F0 43 10 4B 60 01 02 0B F7");

    // The bank already shown, chosen again, goes to every layer as well.
    layerBlock(3).data(0x00) = 0x3F;
    port.clear();
    pick("PatchBankNumber", find<QComboBox>("PatchBankNumber")->currentIndex());
    ASSERT_EQ(port.sent.size(), 4u);
    EXPECT_EQ(layerBlock(3).data(0x00), layerBlock(1).data(0x00));
}

TEST_F(VoiceSelection, AListTakingTheFocusChoosesNothing)
{
    // A pattern the list does not hold: nothing selected, nothing current.
    image.edit[kw::BlockKind::Common00].data(0x2B) = 99;
    window->RefreshAll();
    auto* arp = find<QListWidget>("ArpeggioType");
    ASSERT_TRUE(arp->selectedItems().isEmpty());
    port.clear();
    arp->setFocus();
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(image.edit[kw::BlockKind::Common00].data(0x2B), 99);
}

class UserPerfSelection : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        startFetch = [this] { senders.request(kw::Request::of(kw::BlockKind::Common00)); };
    }
};

TEST_F(UserPerfSelection, ClickSelectsSwitchesAndStartsTheFetch)
{
    clickListRow("UserPerf", 0);
    EXPECT_EQ(sentHex(), (Strings{"B0 00 3F", "B0 20 41", "C0 00", "F0 43 20 4B 60 00 00 F7"}));
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(state.selectedUserPerf, 0);
    EXPECT_TRUE(window->isBusy());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(statuses.back(), "Patch-Change 001  DR umTrax2");

    // The fetch ends in the full refresh: input taken again, normal cursor, program shown.
    window->RefreshAll();
    EXPECT_FALSE(window->isBusy());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(find<QLabel>("Label_PerfName")->text(), "Program 0, Bank MSB 63, LSB 65");
}

TEST_F(UserPerfSelection, WhileTheFetchRunsTheWindowRefusesEveryInput)
{
    clickListRow("UserPerf", 2);
    ASSERT_TRUE(window->isBusy());
    port.clear();
    click("PortaOn");
    move("FilterCutoff", 0);  // not the user: the bar itself still moves
    port.clear();
    QTest::mouseClick(slider("CommonVolume"), Qt::LeftButton);
    QTest::keyClick(slider("CommonVolume"), Qt::Key_Home);
    clickListRow("UserPerf", 9);
    QTest::keyClick(window.get(), Qt::Key_C, Qt::ControlModifier);  // Copy Layerdata
    EXPECT_TRUE(port.sent.empty());
    EXPECT_FALSE(find<QAbstractButton>("PortaOn")->isChecked());
    EXPECT_EQ(state.selectedUserPerf, 2);
    EXPECT_FALSE(window->action("MenuEditPasteLayer")->isEnabled()) << "nothing was copied";

    window->RefreshAll();
    click("PortaOn");
    EXPECT_EQ(sentHex(), (Strings{"F0 43 10 4B 60 00 57 01 F7"}));
    QTest::keyClick(window.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(window->action("MenuEditPasteLayer")->isEnabled());
}

TEST_F(UserPerfSelection, NoLineSelectedShowsNoProgramAfterALayerSwitch)
{
    // Taking the focus, the list makes its first line current, not selected.
    auto* list = find<QListWidget>("UserPerf");
    list->setFocus();
    EXPECT_EQ(list->currentRow(), 0);
    click("EditLayer2");
    EXPECT_EQ(find<QLabel>("Label_PerfName")->text(), "Program ---, Bank MSB 63, LSB 65");
    clickListRow("UserPerf", 4);
    window->RefreshAll();  // the fetch is over
    click("EditLayer3");
    EXPECT_EQ(find<QLabel>("Label_PerfName")->text(), "Program 4, Bank MSB 63, LSB 65");
}

TEST_F(UserPerfSelection, ArrowsBrowseAndReturnChooses)
{
    auto* list = find<QListWidget>("UserPerf");
    list->setFocus();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(port.sent.empty());
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(sentHex().at(2), "C0 02");
    EXPECT_EQ(state.selectedUserPerf, 2);
    window->RefreshAll();
}

TEST_F(UserPerfSelection, ModifiedPerformanceAsksFirst)
{
    move("FilterCutoff", 3);
    dialogs.confirms = {false, true};
    port.clear();
    clickListRow("UserPerf", 7);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], "Caution: Changes on actual Performance will be lost - continue?");
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(state.selectedUserPerf, -1);
    EXPECT_EQ(find<QListWidget>("UserPerf")->currentRow(), -1);  // the list stays with the synth
    EXPECT_TRUE(find<QListWidget>("UserPerf")->selectedItems().isEmpty());
    EXPECT_FALSE(window->isBusy());

    clickListRow("UserPerf", 7);
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(sentHex().at(2), "C0 07");
    window->RefreshAll();
}

TEST_F(UserPerfSelection, WithoutBothPortsNothingHappens)
{
    inputOpen = false;
    clickListRow("UserPerf", 3);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(state.selectedUserPerf, -1);
    EXPECT_FALSE(window->isBusy());
    inputOpen = true;
    port.open = false;
    clickListRow("UserPerf", 3);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_FALSE(window->isBusy());
}
