// Tools › Mutate and View › Explore in the running program against the
// virtual CS1x: Ctrl+M on a fetched performance sends only what changed and
// one Ctrl+Z gives the synth its edit buffer back byte for byte; the locks,
// the morph slider and the candidates through the window's controls.
#include "editor/ExploreWindow.h"
#include "editor/MainWindow.h"
#include "midi/MidiPorts.h"
#include "midi/MidiSession.h"
#include "midi/VirtualBackend.h"
#include "session/EditSession.h"
#include "session/Explorer.h"
#include "shell/Application.h"
#include "files/PerformanceRecord.h"
#include "support/QtApp.h"
#include "support/RandomSounds.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace kw;

namespace {

Bytes dataOf(const BlockSet& set)
{
    Bytes out;
    for (int i = 0; i < kBlocksPerPerformance; ++i)
        for (size_t k = 0; k < set.at(i).dataLength(); ++k)
            out.push_back(set.at(i).data(k));
    return out;
}

struct ExploreWindowTest : ::testing::Test {
    QTemporaryDir dir;
    kwtest::ScriptedDialogs dialogs;
    std::unique_ptr<Application> app;
    std::vector<Bytes> out;
    int tap = 0;

    void SetUp() override
    {
        kwtest::qtApp();
        {
            QSettings s(dir.filePath("settings.ini"), QSettings::IniFormat);
            s.beginGroup("CS1x");
            s.setValue("Midi-IN", "Virtual CS1x");
            s.setValue("Midi-OUT", "Virtual CS1x");
            s.setValue("LongDelay", "0");
        }
        Application::Options o;
        o.settingsFile = dir.filePath("settings.ini");
        o.volatileSynth = true;
        o.dialogs = &dialogs;
        app = std::make_unique<Application>(std::move(o));
        ASSERT_TRUE(app->start());
        // A performance of the synth's own, fetched.
        std::mt19937 rng(35);
        const PerformanceImage sound = kwtest::randomSound(rng);
        const PerformanceRecord record = PerformanceRecord::fromEdit(sound.edit, 3);
        for (int i = 0; i < kBlocksPerPerformance; ++i)
            synth().handle(record.message(i));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app->window().isBusy(); }, 20000));
        app->session().chooseUserPerf(3);
        ASSERT_TRUE(QTest::qWaitFor([&] { return synthData() == dataOf(app->image().edit); }, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app->window().isBusy(); }, 20000));
        tap = app->midi().ports().addTap([this](Direction d, ByteView m) {
            if (d == Direction::Out)
                out.emplace_back(m.begin(), m.end());
        });
    }
    void TearDown() override
    {
        if (!app)
            return;
        app->midi().ports().removeTap(tap);
        app->finish();
    }
    VirtualCs1x& synth() { return app->midi().virtualSynth()->synth(); }
    Bytes synthData() { return dataOf(synth().editBuffer()); }
    bool synthFollows()
    {
        return QTest::qWaitFor([&] { return synthData() == dataOf(app->image().edit); }, 10000);
    }
    ExploreWindow* openWindow()
    {
        app->window().action("MenuViewExplore")->trigger();
        return app->exploreWindow();
    }
    template <class T>
    T* find(const QString& name)
    {
        T* w = app->exploreWindow()->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
};

} // namespace

TEST_F(ExploreWindowTest, CtrlMSendsOnlyWhatChangedAndOneCtrlZRestoresTheSynth)
{
    QAction* mutate = app->window().action("MenuToolsMutate");
    ASSERT_NE(mutate, nullptr);
    EXPECT_EQ(mutate->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    const BlockSet before = app->image().edit;
    const Bytes synthBefore = synthData();
    mutate->trigger();
    ASSERT_NE(dataOf(app->image().edit), dataOf(before));
    ASSERT_TRUE(synthFollows());
    ASSERT_FALSE(out.empty());
    size_t params = 0;
    for (const Bytes& m : out) {
        if (m.size() > 10)
            continue;  // a block: a bank, a detune or a variation type changed
        ++params;
        const int mid = m[5], low = m[6];
        const int block = mid > 0 ? 2 + mid : low >= 0x50 ? 2 : low >= 0x30 ? 1 : 0;
        const int offset = mid > 0 ? low : low - (block == 2 ? 0x50 : block == 1 ? 0x30 : 0);
        bool differs = false;
        for (size_t k = 0; k + 8 < m.size(); ++k)
            differs |= before.at(block).data(size_t(offset) + k) != app->image().edit.at(block).data(size_t(offset) + k);
        EXPECT_TRUE(differs) << "sent without a change";
    }
    EXPECT_GT(params, 5u);
    EXPECT_LT(out.size(), 120u) << "only the parameters that changed, not the whole performance";

    app->window().action("MenuEditUndo")->trigger();
    EXPECT_EQ(dataOf(app->image().edit), dataOf(before));
    ASSERT_TRUE(synthFollows());
    EXPECT_EQ(synthData(), synthBefore);
}

TEST_F(ExploreWindowTest, TheWindowsLocksSliderAndCandidates)
{
    ExploreWindow* w = openWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->objectName(), "ExploreWindow");
    for (const char* lock : {"Common", "Effects", "Arpeggiator", "Layer1", "Layer2", "Layer3", "Layer4"})
        find<QCheckBox>(QStringLiteral("ExploreLock_") + QString::fromLatin1(lock));
    EXPECT_EQ(find<QSpinBox>("ExploreStrength")->value(), 20);

    // Layer 2 locked: a mutation leaves it byte for byte.
    find<QCheckBox>("ExploreLock_Layer2")->setChecked(true);
    find<QSpinBox>("ExploreStrength")->setValue(60);
    const BulkBlock layer2 = app->image().edit.layer(2);
    QTest::mouseClick(find<QPushButton>("ExploreMutate"), Qt::LeftButton);
    EXPECT_TRUE(std::equal(layer2.view().begin(), layer2.view().end(), app->image().edit.layer(2).view().begin()));
    EXPECT_EQ(app->session().undoText(), "Mutate");
    find<QCheckBox>("ExploreLock_Layer2")->setChecked(false);

    // B read from the synth's user memory 004, the one stored at set-up.
    dialogs.userPerfs = {3};
    QTest::mouseClick(find<QPushButton>("ExplorePartnerUser"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return find<QLabel>("ExplorePartner")->text().contains("004"); }, 20000));
    EXPECT_TRUE(find<QSlider>("ExploreMorph")->isEnabled());

    // The slider to B's end: one step, B's cutoff in layer 1.
    std::mt19937 rng(9);
    const PerformanceImage b = kwtest::randomSound(rng);
    w->setPartner({"B", b});
    const size_t steps = app->session().historySize();
    QSlider* morph = find<QSlider>("ExploreMorph");
    morph->setValue(100);
    EXPECT_EQ(findParameter("layer1.cutoff")->value(app->image()), findParameter("layer1.cutoff")->value(b));
    EXPECT_EQ(app->session().historySize(), steps + 1);
    ASSERT_TRUE(synthFollows());

    // Candidates: heard on a click, one step when kept.
    const Bytes beforeBreed = dataOf(app->image().edit);
    w->addParents({{"one", kwtest::randomSound(rng)}, {"two", kwtest::randomSound(rng)}});
    QTest::mouseClick(find<QPushButton>("ExploreBreed"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("ExploreCandidate3"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("ExploreCandidate8"), Qt::LeftButton);
    EXPECT_EQ(dataOf(app->image().edit), dataOf(app->explorer().candidates()[7].edit));
    QTest::mouseClick(find<QPushButton>("ExploreKeep"), Qt::LeftButton);
    EXPECT_EQ(app->session().historySize(), steps + 2);
    ASSERT_TRUE(synthFollows());
    app->window().action("MenuEditUndo")->trigger();
    EXPECT_EQ(dataOf(app->image().edit), beforeBreed);

    // A candidate only heard goes when the window closes.
    find<QCheckBox>("ExploreTick1")->setChecked(true);
    find<QCheckBox>("ExploreTick2")->setChecked(true);
    QTest::mouseClick(find<QPushButton>("ExploreAgain"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("ExploreCandidate1"), Qt::LeftButton);
    EXPECT_NE(dataOf(app->image().edit), beforeBreed);
    w->close();
    EXPECT_EQ(dataOf(app->image().edit), beforeBreed);
    ASSERT_TRUE(synthFollows());
}
