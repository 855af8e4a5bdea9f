#include "CommonPagesFixture.h"
#include "editor/CommonBoxes.h"
#include "editor/KnobsPage.h"

#include <QLabel>
#include <QRadioButton>
#include <QTabBar>

using namespace kwtest;

namespace {

struct KnobsPageTest : ::testing::Test {
    PageContext pc;
    kw::KnobsPage page{pc.ctx};

    void SetUp() override
    {
        page.resize(480, 380);
        page.show();
        page.refreshFromImage();
        pc.port.clear();
    }
    QTabBar* tabs() { return find<QTabBar>(&page, "Assign2Tab"); }
    void clickTab(int t) { QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(t).center()); }
    QRadioButton* layer(int n)
    {
        return find<QRadioButton>(&page, ("Assign2Layer" + std::to_string(n)).c_str());
    }
};

} // namespace

TEST_F(KnobsPageTest, SceneKnobsStoreInvertedAndShowCentred)
{
    for (int s = 1; s <= 2; ++s)
        for (int k = 1; k <= 6; ++k) {
            const std::string name = "Scene" + std::to_string(s) + "Knob" + std::to_string(k);
            EXPECT_EQ(labelOf(&page, name.c_str()), "0") << name;
        }

    auto* knob = find<QSlider>(&page, "Scene1Knob4");
    moveBar(knob, 0);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 0D 7F F7");
    EXPECT_EQ(pc.c00().data(0x0D), 0x7F);
    EXPECT_EQ(labelOf(&page, "Scene1Knob4"), "63");

    QTest::keyClick(knob, Qt::Key_End);
    EXPECT_EQ(pc.c00().data(0x0D), 0x00);
    EXPECT_EQ(labelOf(&page, "Scene1Knob4"), "-64");
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 0D 00 F7");

    // Scene 2 uses its own bytes.
    moveBar(find<QSlider>(&page, "Scene2Knob6"), 10);
    EXPECT_EQ(pc.c00().data(0x15), 117);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 15 75 F7");
}

TEST_F(KnobsPageTest, AssignBankTravelsAsOnePairFromTheSelectedTab)
{
    // Start-up banks: layers 1..4 in order, target "Off", sensitivity 0.
    for (int t = 0; t < 4; ++t) {
        clickTab(t);
        ASSERT_EQ(tabs()->currentIndex(), t);
        EXPECT_TRUE(layer(t + 1)->isChecked()) << t;
        EXPECT_EQ(find<QListWidget>(&page, "Assign2Para")->currentRow(), 0);
        EXPECT_EQ(labelOf(&page, "Assign2Level"), "0");
    }
    EXPECT_TRUE(pc.port.sent.empty()) << "switching tabs sends nothing";
    EXPECT_TRUE(pc.state.sendEnable);

    clickTab(2);
    EXPECT_EQ(tabs()->tabText(2), "Param. 3");
    clickButton(layer(2));
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 20 01 00 F7");
    auto* para = find<QListWidget>(&page, "Assign2Para");
    clickItem(para, 10);
    EXPECT_EQ(currentText(para), "Filter Cutoff Frequency");
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 20 01 0A F7");
    EXPECT_EQ(pc.c00().data(0x20), 1);
    EXPECT_EQ(pc.c00().data(0x21), 10);

    // Picking the entry that is already chosen sends again; so does the keyboard.
    pc.port.clear();
    clickItem(para, 10);
    ASSERT_EQ(pc.port.sent.size(), 1u);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 20 01 0A F7");
    QTest::keyClick(para, Qt::Key_Down);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 20 01 0B F7");
    EXPECT_EQ(pc.port.sent.size(), 2u);

    // The other banks are untouched, and coming back shows bank 3 again.
    clickTab(0);
    EXPECT_TRUE(layer(1)->isChecked());
    EXPECT_EQ(para->currentRow(), 0);
    clickTab(2);
    EXPECT_TRUE(layer(2)->isChecked());
    EXPECT_EQ(para->currentRow(), 11);
    EXPECT_EQ(pc.port.sent.size(), 2u);
}

TEST_F(KnobsPageTest, SensitivityOfTheFourthBank)
{
    clickTab(3);
    moveBar(find<QSlider>(&page, "Assign2Level"), 40);
    EXPECT_EQ(pc.c00().data(0x27), 88);
    EXPECT_EQ(labelOf(&page, "Assign2Level"), "24");
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 27 58 F7");
    for (int t = 0x24; t < 0x27; ++t)
        EXPECT_EQ(pc.c00().data(size_t(t)), 0x40);

    pc.port.clear();
    clickTab(0);
    EXPECT_EQ(labelOf(&page, "Assign2Level"), "0");
    EXPECT_TRUE(pc.port.sent.empty());
}

TEST_F(KnobsPageTest, AssignKnobOneAndRefreshThatNeitherWritesNorSends)
{
    auto* a1 = find<QListWidget>(&page, "Assign1Para");
    clickItem(a1, 3);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 28 03 F7");
    EXPECT_EQ(pc.c00().data(0x28), 3);

    // A received block with odd values: a layer byte outside 0..3 leaves the
    // radio buttons alone, a target beyond the list shows no selection.
    clickTab(1);
    pc.c00().data(0x1E) = 7;
    pc.c00().data(0x1F) = 45;
    pc.c00().data(0x25) = 0x7F;
    pc.c00().data(0x28) = 29;
    pc.c00().data(0x0A) = 0;
    pc.port.clear();
    const kw::Bytes before = pc.all();
    page.refreshFromImage();
    EXPECT_TRUE(pc.port.sent.empty());
    EXPECT_EQ(pc.all(), before);
    EXPECT_TRUE(pc.state.sendEnable);
    EXPECT_EQ(tabs()->currentIndex(), 1) << "the refresh keeps the user's tab";
    EXPECT_TRUE(layer(2)->isChecked());
    EXPECT_EQ(find<QListWidget>(&page, "Assign2Para")->currentRow(), -1);
    EXPECT_EQ(find<QSlider>(&page, "Assign2Level")->value(), 32);  // clamped at the top
    EXPECT_EQ(labelOf(&page, "Assign2Level"), "32");
    EXPECT_EQ(a1->currentRow(), 29);
    EXPECT_EQ(labelOf(&page, "Scene1Knob1"), "-64");
}

namespace {

struct ControllerBoxesTest : ::testing::Test {
    PageContext pc;
    kw::MWheelBox mw{pc.ctx};
    kw::FootControlBox fc{pc.ctx};
    void SetUp() override
    {
        mw.show();
        fc.show();
        mw.refreshFromImage();
        fc.refreshFromImage();
        pc.port.clear();
    }
};

} // namespace

TEST_F(ControllerBoxesTest, StartUpValuesAndEdits)
{
    EXPECT_EQ(mw.objectName(), "MWheel");
    EXPECT_EQ(fc.objectName(), "FootControl");
    EXPECT_EQ(mw.title(), " Mod-Wheel ");
    EXPECT_EQ(fc.title(), " Foot-Controller ");
    EXPECT_EQ(labelOf(&mw, "MWLFOPMod"), "10");
    EXPECT_EQ(labelOf(&mw, "MWLFOFMod"), "0");
    EXPECT_EQ(labelOf(&mw, "MWFilterCtl"), "0");
    EXPECT_EQ(labelOf(&fc, "FCFilterCtl"), "0");
    EXPECT_EQ(labelOf(&fc, "FCVariCtl"), "0");
    EXPECT_EQ(labelOf(&fc, "FCLFOFMod"), "0");
    EXPECT_TRUE(pc.port.sent.empty());

    moveBar(find<QSlider>(&fc, "FCVariCtl"), 0);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 43 7F F7");
    EXPECT_EQ(pc.c30().data(0x13), 0x7F);
    EXPECT_EQ(labelOf(&fc, "FCVariCtl"), "63");

    moveBar(find<QSlider>(&mw, "MWLFOFMod"), 27);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 52 64 F7");
    EXPECT_EQ(labelOf(&mw, "MWLFOFMod"), "100");

    moveBar(find<QSlider>(&fc, "FCFilterCtl"), 127);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 54 00 F7");
    EXPECT_EQ(labelOf(&fc, "FCFilterCtl"), "-64");

    // Without an open port the image is still written.
    pc.port.open = false;
    pc.port.clear();
    moveBar(find<QSlider>(&mw, "MWFilterCtl"), 0);
    EXPECT_EQ(pc.c50().data(0x00), 0x7F);
    EXPECT_TRUE(pc.port.sent.empty());
}
