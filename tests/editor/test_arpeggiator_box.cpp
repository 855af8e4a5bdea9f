#include "CommonPagesFixture.h"
#include "editor/CommonBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

using namespace kwtest;

namespace {

struct ArpeggiatorTest : ::testing::Test {
    PageContext pc;
    kw::ArpeggiatorBox box{pc.ctx};

    void SetUp() override
    {
        box.resize(240, 260);
        box.show();
        box.refreshFromImage();
        pc.port.clear();
    }
    QSlider* tempo() { return find<QSlider>(&box, "ArpTempo"); }
    QCheckBox* check(const char* n) { return find<QCheckBox>(&box, n); }
    std::string tempoPair() const
    {
        auto& c = const_cast<PageContext&>(pc).c00();
        return hex(kw::Bytes{c.data(0x29), c.data(0x2A)});
    }
};

} // namespace

TEST_F(ArpeggiatorTest, StartUpImage)
{
    EXPECT_EQ(box.objectName(), "Arpeggiator");
    EXPECT_EQ(box.title(), " Arpeggiator ");
    EXPECT_EQ(currentText(find<QListWidget>(&box, "ArpeggioType")), "UpDown B Oct 1");
    EXPECT_EQ(find<QComboBox>(&box, "ArpeggioSubdiv")->currentText(), "1 / 16");
    EXPECT_EQ(labelOf(&box, "ArpTempo"), "140");
    EXPECT_EQ(tempo()->value(), 140);
    EXPECT_FALSE(check("ArpTempoMidi")->isChecked());
    EXPECT_FALSE(check("ArpModeOn")->isChecked());
    EXPECT_FALSE(check("ArpModeHold")->isChecked());
    EXPECT_TRUE(check("ArpModeSplit")->isChecked());
}

TEST_F(ArpeggiatorTest, TempoPositionsGoOutAsOnePair)
{
    struct Case { int position; const char* pair; const char* bpm; };
    const Case cases[] = {{40, "01 49", "240"}, {114, "00 7F", "166"}, {113, "01 00", "167"}, {240, "00 01", "40"}};
    for (const auto& c : cases) {
        moveBar(tempo(), c.position);
        EXPECT_EQ(tempoPair(), c.pair) << c.position;
        EXPECT_EQ(labelOf(&box, "ArpTempo"), c.bpm);
        EXPECT_EQ(pc.last(), std::string("F0 43 10 4B 60 00 29 ") + c.pair + " F7");
    }
}

TEST_F(ArpeggiatorTest, MidiClockAndBack)
{
    moveBar(tempo(), 113);
    pc.port.clear();
    clickButton(check("ArpTempoMidi"));
    ASSERT_TRUE(check("ArpTempoMidi")->isChecked());
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 29 00 00 F7");
    EXPECT_EQ(tempoPair(), "00 00");
    EXPECT_EQ(tempo()->value(), 113);
    EXPECT_EQ(labelOf(&box, "ArpTempo"), "167");

    clickButton(check("ArpTempoMidi"));
    EXPECT_FALSE(check("ArpTempoMidi")->isChecked());
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 29 01 00 F7");

    // Moving the bar while following MIDI clock takes the tempo back.
    clickButton(check("ArpTempoMidi"));
    QTest::keyClick(tempo(), Qt::Key_Down);
    EXPECT_FALSE(check("ArpTempoMidi")->isChecked());
    EXPECT_EQ(tempoPair(), "00 7F");
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 29 00 7F F7");
}

TEST_F(ArpeggiatorTest, RefreshShowsStoredTempoWithoutSending)
{
    moveBar(tempo(), 60);  // whatever the bar showed before must not be stored
    pc.c00().data(0x29) = 0;
    pc.c00().data(0x2A) = 0;
    pc.port.clear();
    box.refreshFromImage();
    EXPECT_TRUE(check("ArpTempoMidi")->isChecked());
    EXPECT_EQ(labelOf(&box, "ArpTempo"), "140");
    EXPECT_EQ(tempo()->value(), 140);
    EXPECT_EQ(tempoPair(), "00 00");

    pc.c00().data(0x29) = 1;
    pc.c00().data(0x2A) = 0;
    box.refreshFromImage();
    EXPECT_FALSE(check("ArpTempoMidi")->isChecked());
    EXPECT_EQ(labelOf(&box, "ArpTempo"), "167");
    EXPECT_EQ(tempo()->value(), 113);
    EXPECT_EQ(tempoPair(), "01 00");

    pc.c00().data(0x2A) = 0x7F;  // 255: beyond the bar
    box.refreshFromImage();
    EXPECT_EQ(tempo()->value(), 40);
    EXPECT_EQ(labelOf(&box, "ArpTempo"), "294");
    EXPECT_TRUE(pc.port.sent.empty());
}

TEST_F(ArpeggiatorTest, ModeBoxesOnWinsAndSplitIsInverted)
{
    clickButton(check("ArpModeSplit"));
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 2D 04 F7");
    clickButton(check("ArpModeOn"));
    EXPECT_EQ(pc.c00().data(0x2D), 5);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 2D 05 F7");
    clickButton(check("ArpModeSplit"));
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 2D 01 F7");

    // Hold while On: Hold is refused, the unchanged mode goes out once.
    pc.port.clear();
    clickButton(check("ArpModeHold"));
    EXPECT_FALSE(check("ArpModeHold")->isChecked());
    ASSERT_EQ(pc.port.sent.size(), 1u);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 2D 01 F7");

    // On off, then Hold; then On again clears Hold.
    clickButton(check("ArpModeOn"));
    clickButton(check("ArpModeHold"));
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 2D 02 F7");
    clickButton(check("ArpModeOn"));
    EXPECT_FALSE(check("ArpModeHold")->isChecked());
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 2D 01 F7");

    // Unknown high bits are shown as their low three and dropped at the next edit.
    pc.c00().data(0x2D) = 0x7D;
    box.refreshFromImage();
    EXPECT_TRUE(check("ArpModeOn")->isChecked());
    EXPECT_FALSE(check("ArpModeSplit")->isChecked());
    EXPECT_EQ(pc.c00().data(0x2D), 0x7D);
    clickButton(check("ArpModeSplit"));
    EXPECT_EQ(pc.c00().data(0x2D), 1);
}

TEST_F(ArpeggiatorTest, TypeAndSubdivision)
{
    auto* type = find<QListWidget>(&box, "ArpeggioType");
    clickItem(type, 15);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 2B 0F F7");
    EXPECT_EQ(type->item(15)->text(), "Techno-A");

    auto* subdiv = find<QComboBox>(&box, "ArpeggioSubdiv");
    subdiv->setFocus();
    QTest::keyClick(subdiv, Qt::Key_Down);
    EXPECT_EQ(pc.c00().data(0x2C), 8);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 2C 08 F7");

    // Out-of-list bytes show no selection and are kept.
    pc.c00().data(0x2B) = 40;
    pc.c00().data(0x2C) = 12;
    pc.port.clear();
    box.refreshFromImage();
    EXPECT_EQ(type->currentRow(), -1);
    EXPECT_EQ(subdiv->currentIndex(), -1);
    EXPECT_EQ(pc.c00().data(0x2B), 40);
    EXPECT_TRUE(pc.port.sent.empty());
}
