#pragma once
// A main window on a recording port, shown offscreen, ready for a test.

#include "editor/MainWindow.h"
#include "midi/Senders.h"
#include "RecordingPort.h"
#include "ScriptedDialogs.h"
#include "session/EditSession.h"
#include "VirtualScheduler.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kwtest {

class MainWindowFixture : public ::testing::Test {
protected:
    kw::PerformanceImage image;
    kw::EditorState state;
    RecordingPort port;
    kw::Senders senders{image, state, port};
    VirtualScheduler scheduler;
    ScriptedDialogs dialogs;
    kw::EditSession session{image, state, senders};
    std::vector<std::string> statuses;
    bool inputOpen = true;
    // What the receiving core does when a performance is chosen; nothing by default.
    std::function<void()> startFetch;
    kw::EditorContext ctx{session, dialogs};
    std::unique_ptr<TMainWindow> window;

    void SetUp() override
    {
        window = std::make_unique<TMainWindow>(ctx);
        session.link({[this] {
                          if (startFetch)
                              startFetch();
                      },
                      [this] { return inputOpen; },
                      [this](const std::string& s) {
                          statuses.push_back(s);
                          window->showStatus(s);
                      },
                      {},
                      {}});
        window->show();
        // Shortcuts only reach the active window.
        QApplication::setActiveWindow(window.get());
        port.clear();
    }

    template <class T = QWidget>
    T* find(const char* name)
    {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QSlider* slider(const char* name) { return find<QSlider>(name); }
    std::string label(const char* control)
    {
        return find<QLabel>(("Label_" + std::string(control)).c_str())->text().toStdString();
    }
    // What a drag of the bar does: one position change.
    void move(const char* name, int position) { slider(name)->setValue(position); }
    // Check boxes and radio buttons take clicks on their indicator and text only.
    void click(const char* name)
    {
        QAbstractButton* b = find<QAbstractButton>(name);
        const bool boxed = b->inherits("QCheckBox") || b->inherits("QRadioButton");
        QTest::mouseClick(b, Qt::LeftButton, {}, boxed ? QPoint(6, b->height() / 2) : b->rect().center());
    }
    void showPage(const char* tabName)
    {
        auto* tabs = find<QTabWidget>("PageControl1");
        tabs->setCurrentWidget(find(tabName));
    }
    // The user opens a drop-down list, moves to entry `index` and takes it.
    void pick(const char* comboName, int index)
    {
        auto* combo = find<QComboBox>(comboName);
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        view->setCurrentIndex(view->model()->index(index, 0));
        QTest::keyClick(view, Qt::Key_Return);
    }
    void clickListRow(const char* listName, int row)
    {
        auto* list = find<QListWidget>(listName);
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }

    std::vector<std::string> sentHex() const
    {
        std::vector<std::string> out;
        for (const kw::Bytes& m : port.sent)
            out.push_back(hex(m));
        return out;
    }
    kw::BulkBlock& layerBlock(int l) { return image.edit.layer(l); }
};

} // namespace kwtest
