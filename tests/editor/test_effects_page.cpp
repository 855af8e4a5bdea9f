#include "CommonPagesFixture.h"
#include "editor/EffectsPage.h"

#include <QLabel>
#include <QLocale>

using namespace kwtest;

namespace {

const char* const kBars[6] = {"VPara1", "VPara2", "VPara3", "VPara4", "VPara5", "VPara10"};

struct EffectsPageTest : ::testing::Test {
    PageContext pc;
    kw::EffectsPage page{pc.ctx};

    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        page.resize(480, 380);
        page.show();
        page.refreshFromImage();
        pc.port.clear();
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    QListWidget* list(const char* n) { return find<QListWidget>(&page, n); }
    QSlider* bar(int s) { return find<QSlider>(&page, kBars[s]); }
    QString name(int s) { return find<QLabel>(&page, (std::string("Text_") + kBars[s]).c_str())->text(); }
    QString value(int s) { return labelOf(&page, kBars[s]); }
    void chooseVariation(const char* entry)
    {
        const auto items = list("VariType")->findItems(QString::fromLatin1(entry), Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << entry;
        clickItem(list("VariType"), list("VariType")->row(items.front()));
    }
    // Every bar's range is one the toolkit accepts and holds its position.
    void expectSaneRanges(const char* when)
    {
        for (int s = 0; s < 6; ++s) {
            EXPECT_LE(bar(s)->minimum(), bar(s)->maximum()) << when << " " << kBars[s];
            EXPECT_GE(bar(s)->value(), bar(s)->minimum()) << when << " " << kBars[s];
            EXPECT_LE(bar(s)->value(), bar(s)->maximum()) << when << " " << kBars[s];
        }
    }
};

} // namespace

TEST_F(EffectsPageTest, StartUpImage)
{
    EXPECT_EQ(currentText(list("ReverbType")), "Hall 1");
    EXPECT_EQ(currentText(list("ChorusType")), "Chorus 1");
    EXPECT_EQ(currentText(list("VariType")), "Delay L-C-R");
    // All six pairs are 00 00: the bars rest at the end of their smallest
    // value while the labels tell the stored zeros.
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(bar(s)->value(), 7150);
        EXPECT_EQ(value(s), "0ms");
    }
    EXPECT_EQ(value(4), "-64");
    EXPECT_EQ(value(5), "D64 > W");
    EXPECT_EQ(bar(5)->value(), 127);
    EXPECT_EQ(name(0), "LEFT CHAN DELAY");
    EXPECT_EQ(name(5), "DRY WET");
    EXPECT_EQ(labelOf(&page, "ChorusToReverb"), "0");
    EXPECT_EQ(labelOf(&page, "VariOnRev"), "40");
    EXPECT_EQ(labelOf(&page, "VariOnCho"), "0");
    EXPECT_TRUE(pc.port.sent.empty());
}

TEST_F(EffectsPageTest, ReverbAndChorusTypesAsPairs)
{
    clickItem(list("ChorusType"), 10);
    EXPECT_EQ(list("ChorusType")->item(10)->text(), "Flanger 2");
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 32 43 01 F7");
    clickItem(list("ReverbType"), 11);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 30 13 00 F7");
    EXPECT_EQ(pc.c30().data(0), 0x13);

    moveBar(find<QSlider>(&page, "VariOnRev"), 0);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 45 7F F7");
    EXPECT_EQ(labelOf(&page, "VariOnRev"), "127");
}

TEST_F(EffectsPageTest, VariationChoiceWritesDefaultsAndSendsTheBlock)
{
    // Edited parameters of the same type are reset by choosing it again.
    pc.c30().data(0x06) = 0x11;  // P1, address 60 00 36
    chooseVariation("Delay L-C-R");
    ASSERT_EQ(pc.port.sent.size(), 1u);
    const kw::Bytes& block = pc.port.sent.front();
    ASSERT_EQ(block.size(), 34u);
    EXPECT_EQ(hex(kw::ByteView(block).subspan(0, 9)), "F0 43 00 4B 00 17 60 00 30");
    EXPECT_EQ(hex(kw::ByteView(block).subspan(9, 18)),
              "01 00 41 00 05 00 1A 05 0D 03 27 08 27 08 00 4A 00 20");
    EXPECT_EQ(block.back(), 0xF7);
    EXPECT_EQ(kw::bulkChecksum(block), block[block.size() - 2]);
    EXPECT_EQ(value(0), "333.3ms");
    EXPECT_EQ(value(1), "166.7ms");
    EXPECT_EQ(value(2), "500ms");
    EXPECT_EQ(value(3), "500ms");
    EXPECT_EQ(value(4), "10");
    EXPECT_EQ(value(5), "D32 > W");
    EXPECT_EQ(bar(0)->value(), 1 + 7150 - 3333);

    // The tenths follow the user's locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    chooseVariation("Delay L-C-R");
    EXPECT_EQ(value(0), "333,3ms");
}

TEST_F(EffectsPageTest, Hall1ShowsItsUnits)
{
    chooseVariation("Hall 1");
    const char* names[6] = {"REVERB TIME", "DIFFUS", "INITIAL DELAY", "HPF CUTOFF", "LPF CUTOFF", "DRY WET"};
    const char* values[6] = {"2,1s", "10", "12,7ms", "90Hz", "5,6kHz", "D24 > W"};
    for (int s = 0; s < 6; ++s) {
        EXPECT_EQ(name(s), names[s]);
        EXPECT_EQ(value(s), QString::fromUtf8(values[s]));
        EXPECT_TRUE(bar(s)->isEnabled());
    }
    EXPECT_EQ(bar(4)->minimum(), 34);
    EXPECT_EQ(bar(4)->maximum(), 60);
    EXPECT_EQ(bar(4)->value(), 34 + 60 - 49);
}

TEST_F(EffectsPageTest, MovingABarSendsItsPair)
{
    chooseVariation("Echo");
    pc.port.clear();
    bar(0)->setFocus();
    QTest::keyClick(bar(0), Qt::Key_Home);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 36 1B 5E F7");
    EXPECT_EQ(pc.c30().data(0x06), 0x1B);
    EXPECT_EQ(pc.c30().data(0x07), 0x5E);
    EXPECT_EQ(value(0), "355ms");

    QTest::keyClick(bar(5), Qt::Key_End);
    EXPECT_EQ(pc.last(), "F0 43 10 4B 60 00 40 00 01 F7");
    EXPECT_EQ(value(5), "D63 > W");

    chooseVariation("3-Band EQ (Mono)");
    moveBar(bar(0), 64);
    EXPECT_EQ(value(0), QString::fromUtf8("±0dB"));
    moveBar(bar(3), 10 + 120 - 25);
    EXPECT_EQ(value(3), "2.5");
    EXPECT_EQ(name(3), "EQ  MID WIDTH");
}

TEST_F(EffectsPageTest, TypeChangesNeverInvertARange)
{
    expectSaneRanges("start");
    // Leave the bars at both ends before each switch.
    for (int key : {Qt::Key_Home, Qt::Key_End}) {
        for (const char* type : {"Delay L-C-R", "Distortion", "Delay L-C-R", "OFF", "3-Band EQ (Mono)", "Echo"}) {
            for (int s = 0; s < 6; ++s)
                if (bar(s)->isEnabled())
                    QTest::keyClick(bar(s), Qt::Key(key));
            pc.port.clear();
            chooseVariation(type);
            expectSaneRanges(type);
            // The page rebuild itself sends nothing but the block.
            ASSERT_EQ(pc.port.sent.size(), 1u) << type;
            EXPECT_EQ(pc.port.sent.front().size(), 34u);
        }
    }
    chooseVariation("Distortion");
    EXPECT_EQ(bar(1)->minimum(), 8);
    EXPECT_EQ(bar(1)->maximum(), 40);
    EXPECT_EQ(bar(2)->minimum(), 52);
    EXPECT_EQ(bar(2)->maximum(), 76);
    EXPECT_EQ(name(1), "EQ  LOW FREQ");
}

TEST_F(EffectsPageTest, OffAndThruDisableEveryBar)
{
    for (const char* type : {"OFF", "THRU"}) {
        chooseVariation(type);
        for (int s = 0; s < 6; ++s) {
            EXPECT_FALSE(bar(s)->isEnabled()) << type << s;
            EXPECT_EQ(name(s), "--");
            EXPECT_EQ(value(s), "0");
            EXPECT_EQ(bar(s)->minimum(), 0);
            EXPECT_EQ(bar(s)->maximum(), 1);
        }
    }
    EXPECT_EQ(pc.c30().data(4), 0x40);
    EXPECT_EQ(pc.c30().data(5), 0x00);
    chooseVariation("Tremolo");
    EXPECT_FALSE(bar(5)->isEnabled());
    EXPECT_TRUE(bar(2)->isEnabled());
}

TEST_F(EffectsPageTest, UnknownPairsKeepTheListButTheImageKeepsThePair)
{
    chooseVariation("Echo");
    pc.c30().data(0) = 0x05;  // no reverb has 05 00
    pc.c30().data(4) = 0x7E;  // nor any variation 7E 00
    pc.c30().data(0x06) = 0x7F;  // beyond the bar: shown as a number, bar clamped
    pc.c30().data(0x07) = 0x7F;
    pc.port.clear();
    const kw::Bytes before = pc.all();
    page.refreshFromImage();
    EXPECT_TRUE(pc.port.sent.empty());
    EXPECT_EQ(pc.all(), before);
    EXPECT_EQ(currentText(list("ReverbType")), "Hall 1");
    EXPECT_EQ(currentText(list("VariType")), "Echo");
    EXPECT_EQ(name(0), "LEFT CHAN DELAY");
    EXPECT_EQ(value(0), "1638.3ms");
    EXPECT_EQ(bar(0)->value(), 1);

    // The stray reverb pair travels unchanged with the next block.
    clickItem(list("ChorusType"), 2);
    moveBar(find<QSlider>(&page, "ChorusToReverb"), 27);
    chooseVariation("Flanger 1");
    const kw::Bytes& block = pc.port.sent.back();
    EXPECT_EQ(block[9], 0x05);
    EXPECT_EQ(block[10], 0x00);
    EXPECT_EQ(block[9 + 0x14], 100);

    // A table value out of its table shows the number, never a neighbour's text.
    pc.c30().data(0x10) = 0;
    pc.c30().data(0x11) = 0;
    pc.c30().data(0x0C) = 0x01;  // P4 DELAY OFFSET n = 128
    pc.c30().data(0x0D) = 0x00;
    page.refreshFromImage();
    EXPECT_EQ(value(3), "128");
    EXPECT_EQ(value(5), "D64 > W");
}

TEST(EffectsPageFresh, AnUnknownVariationAtTheFirstRefreshShowsNoPage)
{
    // Nothing was matched before, so there is no entry to keep: every bar is
    // off rather than laid out for a guessed type.
    PageContext pc;
    pc.c30().data(4) = 0x7E;
    pc.c30().data(0x06) = 0x10;
    kw::EffectsPage page{pc.ctx};
    page.refreshFromImage();
    auto* vari = page.findChild<QListWidget*>("VariType");
    EXPECT_EQ(currentText(vari), "");
    EXPECT_EQ(page.shownVariationType(), -1);
    for (const char* b : kBars) {
        EXPECT_FALSE(page.findChild<QSlider*>(b)->isEnabled()) << b;
        EXPECT_EQ(labelOf(&page, b), "0");
    }
    EXPECT_EQ(currentText(page.findChild<QListWidget*>("ReverbType")), "Hall 1");
    EXPECT_TRUE(pc.port.sent.empty());
}
