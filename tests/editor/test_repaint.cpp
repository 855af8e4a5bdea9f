// An edit repaints what it changed and nothing behind it; the lamps repaint
// only when they change.
#include "support/MainWindowFixture.h"

#include <QFrame>
#include <QPaintEvent>
#include <QTabWidget>

#include <set>

using kwtest::MainWindowFixture;

namespace {

// The names of the widgets painted while it watches.
class PaintWatch : public QObject {
public:
    PaintWatch() { qApp->installEventFilter(this); }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    std::multiset<std::string> painted;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted.insert(o->objectName().isEmpty() ? o->metaObject()->className() : o->objectName().toStdString());
        return false;
    }
};

class Repaint : public MainWindowFixture {
protected:
    // Whatever is waiting to be painted (a page just shown lays itself out
    // first), painted now.
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QTest::qWait(10);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        }
    }
    std::multiset<std::string> paintsOf(const std::function<void()>& change)
    {
        settle();
        PaintWatch watch;
        change();
        settle();
        return watch.painted;
    }
};

using Names = std::multiset<std::string>;

} // namespace

TEST_F(Repaint, AnEditRepaintsItsBarAndLabelAndNothingBehindThem)
{
    for (const char* page : {"TabSheet5", "TabSheet1", "TabSheet2", "TabSheet3"}) {
        showPage(page);
        for (QSlider* bar : find(page)->findChildren<QSlider*>()) {
            if (!bar->isEnabled())
                continue;
            const std::string name = bar->objectName().toStdString();
            const int to = bar->value() == bar->maximum() ? bar->value() - 1 : bar->value() + 1;
            EXPECT_EQ(paintsOf([&] { bar->setValue(to); }), (Names{name, "Label_" + name})) << page;
        }
    }
    // The envelope picture drawn from the bar is part of what changed.
    showPage("TabSheet4");
    EXPECT_EQ(paintsOf([&] { move("AEGDcyTime", 20); }), (Names{"AEGDcyTime", "Label_AEGDcyTime", "PaintAEG"}));
}

TEST_F(Repaint, LampsRepaintOnlyWhenTheyChange)
{
    auto* lamp = find<QFrame>("MidiOutLED");
    auto colour = [&] { return lamp->grab().toImage().pixelColor(lamp->width() / 2, lamp->height() / 2); };
    EXPECT_EQ(colour(), QColor(0, 128, 0));
    EXPECT_EQ(paintsOf([&] { window->setLamp(kw::Lamp::Out, true); }), Names{"MidiOutLED"});
    EXPECT_EQ(colour(), QColor(0, 255, 0));
    // A hundred more messages while it is lit change nothing on the screen.
    EXPECT_TRUE(paintsOf([&] {
                    for (int i = 0; i < 100; ++i)
                        window->setLamp(kw::Lamp::Out, true);
                }).empty());
    window->setLamp(kw::Lamp::Out, false);
    EXPECT_EQ(colour(), QColor(0, 128, 0));
}

TEST_F(Repaint, ValueLabelsAreLimeOnBlackInADarkFrame)
{
    QLabel* label = find<QLabel>("Label_CommonVolume");
    const QImage img = label->grab().toImage();
    EXPECT_EQ(img.pixelColor(0, 0), QColor(0x40, 0x40, 0x40));
    EXPECT_EQ(img.pixelColor(1, img.height() / 2), QColor(Qt::black));
    bool lime = false;
    for (int x = 0; x < img.width(); ++x)
        lime |= img.pixelColor(x, img.height() / 2) == QColor(0, 255, 0);
    EXPECT_TRUE(lime) << "the value is drawn";
}
