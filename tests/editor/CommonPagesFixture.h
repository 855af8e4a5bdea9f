#pragma once
// One editor context on a recording port, and QTest helpers for the
// common pages' bars, lists and boxes.

#include "editor/EditorContext.h"
#include "midi/Senders.h"
#include "model/PerformanceImage.h"
#include "session/EditSession.h"
#include "support/RecordingPort.h"
#include "support/ScriptedDialogs.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kwtest {

struct PageContext {
    kw::PerformanceImage image;
    kw::EditorState state;
    RecordingPort port;
    kw::Senders senders{image, state, port};
    ScriptedDialogs dialogs;
    kw::EditSession session{image, state, senders};
    kw::EditorContext ctx{session, dialogs};

    PageContext()
    {
        kw::setDefaults(image, state);
        for (int i = 0; i < kw::kBlocksPerPerformance; ++i)
            image.edit.at(i).stampHeader();
    }
    kw::BulkBlock& c00() { return image.edit[kw::BlockKind::Common00]; }
    kw::BulkBlock& c30() { return image.edit[kw::BlockKind::Common30]; }
    kw::BulkBlock& c50() { return image.edit[kw::BlockKind::Common50]; }
    kw::Bytes all() const { return image.edit.concatenated(); }
    std::string last() const { return port.sent.empty() ? std::string() : hex(port.sent.back()); }
};

template <typename T>
T* find(QWidget* root, const char* name)
{
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

inline QString labelOf(QWidget* root, const char* control)
{
    QLabel* l = root->findChild<QLabel*>(QStringLiteral("Label_") + QString::fromLatin1(control));
    EXPECT_NE(l, nullptr) << control;
    return l ? l->text() : QString();
}

// The user drags with the keyboard: Home is the top (the minimum), each
// Down one step lower.
inline void moveBar(QSlider* bar, int position)
{
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Home);
    for (int p = bar->minimum(); p < position; ++p)
        QTest::keyClick(bar, Qt::Key_Down);
    ASSERT_EQ(bar->value(), position);
}

// The selected entry's text, "" when there is none.
inline QString currentText(QListWidget* list)
{
    return list && list->currentItem() && list->currentItem()->isSelected() ? list->currentItem()->text() : QString();
}

inline void clickItem(QListWidget* list, int row)
{
    QListWidgetItem* item = list->item(row);
    ASSERT_NE(item, nullptr);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

inline void clickButton(QAbstractButton* b)
{
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
}

} // namespace kwtest
