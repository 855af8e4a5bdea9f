// 10,000 random edits through the real window, the way a user makes them
// (bars dragged, lists and boxes stepped with the keys, buttons clicked, the
// name typed, layers switched, copied and pasted, undone and redone), against
// the in-process virtual CS1x. After every batch the synth's edit buffer
// holds exactly what the editor's image holds: no edit is kept without being
// sent, and none is sent as something else. Now and then the original is
// compared and the edit comes back: the synth follows both ways.

#include "midi/HexText.h"
#include "SynthRig.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <set>
#include <random>

using namespace kw;

namespace {

struct Control {
    QWidget* widget;
    QWidget* page;  // the page of PageControl1 it lies on; null for the frame around the pages
};

std::vector<Control> editableControls(TMainWindow& window, QTabWidget& pages)
{
    std::vector<Control> out;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        // Qt's own parts (a tab bar's scroll buttons, a box's line edit) are no controls of ours.
        const QString n = w->objectName();
        // Compare is tried apart, whole (pressed twice): left pressed it
        // would refuse every edit that follows.
        if (n.isEmpty() || n.startsWith(QLatin1String("qt_")) || n.startsWith(QLatin1String("Scroll"))
            || n == QLatin1String("UserPerf") || n == QLatin1String("CompareButton"))
            continue;
        const bool editable = qobject_cast<QSlider*>(w) || qobject_cast<QComboBox*>(w)
                              || qobject_cast<QAbstractButton*>(w) || qobject_cast<QListWidget*>(w)
                              || qobject_cast<QLineEdit*>(w) || qobject_cast<QTabBar*>(w);
        if (!editable || qobject_cast<QTabBar*>(w) == pages.tabBar())
            continue;
        QWidget* page = nullptr;
        for (int i = 0; i < pages.count(); ++i)
            if (pages.widget(i)->isAncestorOf(w))
                page = pages.widget(i);
        out.push_back({w, page});
    }
    return out;
}

// One edit of `w` as a user makes it; returns what was done, for the report.
std::string edit(QWidget* w, std::mt19937& rnd)
{
    const std::string name = w->objectName().toStdString();
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rnd); };
    if (auto* s = qobject_cast<QSlider*>(w)) {
        const int v = pick(s->minimum(), s->maximum());
        s->setValue(v);  // what dragging the bar there does
        return name + " to " + std::to_string(v);
    }
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        static const Qt::Key keys[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Home, Qt::Key_End, Qt::Key_PageDown,
                                       Qt::Key_PageUp};
        const Qt::Key k = keys[pick(0, 5)];
        c->setFocus();
        QTest::keyClick(c, k);
        return name + " key " + std::to_string(int(k)) + " to entry " + std::to_string(c->currentIndex());
    }
    if (auto* l = qobject_cast<QListWidget*>(w)) {
        if (l->count() == 0)
            return name + " (empty)";
        const int row = pick(0, l->count() - 1);
        l->scrollToItem(l->item(row));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
        if (pick(0, 3) == 0) {
            l->setFocus();
            QTest::keyClick(l, pick(0, 1) ? Qt::Key_Down : Qt::Key_Up);
        }
        return name + " row " + std::to_string(l->currentRow());
    }
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        std::string text;
        for (int n = pick(0, 10); n > 0; --n)
            text += char(pick(0x20, 0x7E));
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, QString::fromLatin1(text.c_str()));
        QTest::keyClick(e, Qt::Key_Return);
        return name + " typed '" + text + "'";
    }
    if (auto* t = qobject_cast<QTabBar*>(w)) {
        t->setCurrentIndex(pick(0, t->count() - 1));
        return name + " tab " + std::to_string(t->currentIndex());
    }
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->click();
        return name + " clicked";
    }
    return name + " (untouched)";
}

std::string firstDifference(const BlockSet& a, const BlockSet& b)
{
    for (int i = 0; i < kBlocksPerPerformance; ++i)
        for (size_t k = 0; k < a.at(i).dataLength(); ++k)
            if (a.at(i).data(k) != b.at(i).data(k))
                return "block " + std::to_string(i) + " offset " + hexByte(uint8_t(k)) + ": editor "
                       + std::to_string(a.at(i).data(k)) + ", synth " + std::to_string(b.at(i).data(k));
    return {};
}

} // namespace

TEST(EditProperty, TenThousandRandomEditsLeaveTheSynthHoldingWhatTheEditorShows)
{
    kwtest::SynthRig rig;
    // Start from what the synth holds, as a user does.
    rig.clickUserPerf(9);
    ASSERT_TRUE(rig.settle());
    ASSERT_EQ(rig.tap->last, kwtest::UiTap::Fetch::Fetched);
    ASSERT_EQ(firstDifference(rig.image.edit, rig.cs1x().editBuffer()), "");

    auto* pages = rig.window->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    ASSERT_NE(pages, nullptr);
    const std::vector<Control> controls = editableControls(*rig.window, *pages);
    ASSERT_GT(controls.size(), 100u);
    QAction* copy = rig.window->action("MenuEditCopyLayer");
    QAction* paste = rig.window->action("MenuEditPasteLayer");
    QAction* undo = rig.window->action("MenuEditUndo");
    QAction* redo = rig.window->action("MenuEditRedo");
    QAction* compare = rig.window->action("Compare");
    ASSERT_TRUE(undo && redo && compare);
    auto differs = [&](const std::string& when) {
        const std::string diff = firstDifference(rig.image.edit, rig.cs1x().editBuffer());
        return diff.empty() ? std::string() : when + ": the synth differs from the editor at " + diff;
    };
    int undos = 0, compares = 0, batches = 0;

    std::mt19937 rnd(14);
    std::deque<std::string> recent;
    std::set<QWidget*> touched;
    const Bytes start = kwtest::dataOf(rig.image.edit);
    constexpr int kEdits = 10000;
    constexpr int kBatch = 20;
    int made = 0;
    while (made < kEdits) {
        // A page at a time, as a user works.
        const Control& first = controls[std::uniform_int_distribution<size_t>(0, controls.size() - 1)(rnd)];
        if (first.page)
            pages->setCurrentWidget(first.page);
        for (int n = 0; n < kBatch && made < kEdits; ++n) {
            std::string what;
            const int roll = std::uniform_int_distribution<int>(0, 99)(rnd);
            if (roll == 0 && copy) {
                copy->trigger();
                what = "copy layer";
            } else if (roll == 1 && paste) {
                paste->trigger();
                what = "paste layer";
            } else if (roll < 6) {
                // Undo more often than redo, so the history is walked back far.
                (roll < 5 ? undo : redo)->trigger();
                what = roll < 5 ? "undo" : "redo";
                ++undos;
            } else {
                std::vector<const Control*> here;
                for (const Control& c : controls)
                    if (c.page == first.page || !c.page)
                        here.push_back(&c);
                QWidget* w = here[std::uniform_int_distribution<size_t>(0, here.size() - 1)(rnd)]->widget;
                if (!w->isEnabled() || !w->isVisibleTo(rig.window.get()))
                    continue;
                what = edit(w, rnd);
                touched.insert(w);
            }
            ++made;
            recent.push_back(what);
            if (recent.size() > 12)
                recent.pop_front();
        }
        rig.sched.advance(200);
        std::string diff = differs("after " + std::to_string(made) + " edits");
        if (diff.empty() && ++batches % 10 == 0) {
            // The original and back: the image sent whole each time.
            const Bytes edited = kwtest::dataOf(rig.image.edit);
            compare->trigger();
            ASSERT_TRUE(rig.settle());
            diff = differs("comparing");
            compare->trigger();
            ASSERT_TRUE(rig.settle());
            if (diff.empty())
                diff = differs("back from comparing");
            EXPECT_EQ(kwtest::dataOf(rig.image.edit), edited);
            ++compares;
        }
        if (!diff.empty()) {
            std::string last;
            for (const std::string& r : recent)
                last += "\n  " + r;
            FAIL() << diff << "; the last edits:" << last;
        }
        ASSERT_TRUE(rig.usable());
    }
    EXPECT_EQ(firstDifference(rig.image.edit, rig.cs1x().editBuffer()), "");
    EXPECT_FALSE(rig.chainRunning());
    // The edits reached far: most controls, and most of the performance.
    const Bytes end = kwtest::dataOf(rig.image.edit);
    size_t changed = 0;
    for (size_t i = 0; i < end.size(); ++i)
        changed += end[i] != start[i];
    std::printf("edit property: %d edits on %zu of %zu controls (%d undos and redos, %d compares), %zu of %zu data "
                "bytes changed\n",
                made, touched.size(), controls.size(), undos, compares, changed, end.size());
    EXPECT_GT(touched.size(), controls.size() * 3 / 4);
    EXPECT_GT(changed, end.size() / 2);
}
