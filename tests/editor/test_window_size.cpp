// The window keeps its size whatever it shows, every value fits its label,
// and bars that belong together line up.
#include "model/EffectTables.h"
#include "support/MainWindowFixture.h"

#include <QRadioButton>
#include <QTabWidget>

using kwtest::MainWindowFixture;

namespace {

class WindowSize : public MainWindowFixture {
protected:
    QSize settled()
    {
        QCoreApplication::processEvents();
        return window->size();
    }
    // The text as drawn, inside the label's frame.
    static bool fits(const QLabel* label)
    {
        return label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
    }
    // Every position of a bar, each value checked against its label.
    void walk(QSlider* bar, const char* what)
    {
        const auto* label = window->findChild<QLabel*>("Label_" + bar->objectName());
        ASSERT_NE(label, nullptr) << bar->objectName().toStdString();
        for (int p = bar->minimum(); p <= bar->maximum(); ++p) {
            bar->setValue(p);
            ASSERT_TRUE(fits(label)) << what << " " << bar->objectName().toStdString() << " at " << p << ": "
                                     << label->text().toStdString() << " in " << label->width();
        }
        port.clear();
    }
    int topOf(const char* bar) { return slider(bar)->mapTo(window.get(), QPoint(0, 0)).y(); }
};

} // namespace

TEST_F(WindowSize, EveryVariationTypeAndValueKeepsTheWindowAndFitsTheLabels)
{
    showPage("TabSheet2");
    const QSize size = settled();
    const int types = int(kw::fx::variationTypes().size());
    for (int type = 0; type < types; ++type) {
        clickListRow("VariType", type);
        ASSERT_EQ(settled(), size) << "type " << type;
        for (int p : {1, 2, 3, 4, 5, 10}) {
            QSlider* bar = slider(("VPara" + std::to_string(p)).c_str());
            if (bar->isEnabled())
                walk(bar, kw::fx::variationTypes()[size_t(type)].name);
            ASSERT_TRUE(fits(find<QLabel>(("Label_VPara" + std::to_string(p)).c_str())));
        }
        ASSERT_EQ(settled(), size) << "type " << type;
    }
}

TEST_F(WindowSize, EveryOtherBarFitsItsLabelOverItsWholeRange)
{
    const QSize size = settled();
    for (const char* page : {"TabSheet5", "TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4"}) {
        showPage(page);
        for (QSlider* bar : find(page)->findChildren<QSlider*>())
            if (!bar->objectName().startsWith("VPara"))
                walk(bar, page);
        EXPECT_EQ(settled(), size) << page;
    }
}

TEST_F(WindowSize, BarsThatBelongTogetherStartAndEndLevel)
{
    showPage("TabSheet1");
    settled();
    for (const char* scene : {"Scene1", "Scene2"})
        for (int k = 2; k <= 6; ++k) {
            const std::string first = std::string(scene) + "Knob1", other = std::string(scene) + "Knob" + std::to_string(k);
            EXPECT_EQ(topOf(first.c_str()), topOf(other.c_str())) << other;
            EXPECT_EQ(slider(first.c_str())->height(), slider(other.c_str())->height()) << other;
        }
    showPage("TabSheet5");
    settled();
    for (const char* bar : {"MWLFOFMod", "MWFilterCtl", "FCLFOFMod", "FCFilterCtl", "FCVariCtl"}) {
        EXPECT_EQ(topOf("MWLFOPMod"), topOf(bar)) << bar;
        EXPECT_EQ(slider("MWLFOPMod")->height(), slider(bar)->height()) << bar;
    }
}

TEST_F(WindowSize, EachWaveformButtonStandsBesideItsPicture)
{
    showPage("TabSheet4");
    settled();
    const char* const buttons[] = {"LFOWaveSaw", "LFOWaveTriangle", "LFOWaveSH"};
    const char* const pictures[] = {"ImageSawtooth", "ImageTriangle", "Image1"};
    for (int i = 0; i < 3; ++i) {
        // The button as drawn: its indicator, whatever room the layout gives it.
        QWidget* button = find(buttons[i]);
        const QRect b(button->mapTo(window.get(), QPoint(0, 0)), QSize(button->sizeHint().width(), button->height()));
        const QRect p(find(pictures[i])->mapTo(window.get(), QPoint(0, 0)), find(pictures[i])->size());
        EXPECT_LE(p.left() - b.right(), 12) << buttons[i];
        EXPECT_GE(p.left(), b.right()) << buttons[i];
        EXPECT_LE(std::abs(p.center().y() - b.center().y()), 2) << buttons[i];
    }
}

TEST_F(WindowSize, ALongStatusTextIsCutWithTheWholeTextAsItsTip)
{
    const QSize size = settled();
    const std::string text = "Perf. #071 not saved: MIDI-Data receive-timeout! 70 of 128 performances saved in "
                             "/home/someone/a folder with a long name/and another one/backup of the studio synth.PFB";
    window->showStatus(text);
    EXPECT_EQ(settled(), size) << "the window never changes size";
    auto* line = find<QLabel>("StatusLabel");
    EXPECT_TRUE(line->text().endsWith(QChar(0x2026))) << line->text().toStdString();
    EXPECT_TRUE(fits(line));
    EXPECT_EQ(line->toolTip().toStdString(), text);
    window->showStatus("OK");
    EXPECT_EQ(line->text(), "OK");
    EXPECT_TRUE(line->toolTip().isEmpty());
}
