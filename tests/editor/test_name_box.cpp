// The performance name box: only what the synth can store goes in, and it
// sends only when the user types or leaves it for another control.
#include "support/MainWindowFixture.h"

#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>

#include <random>

using kwtest::MainWindowFixture;

namespace {

class NameBox : public MainWindowFixture {
protected:
    QLineEdit* name = nullptr;

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        name = find<QLineEdit>("PerformanceName");
        name->setFocus();
        ASSERT_TRUE(name->hasFocus());
        port.clear();
    }

    // One key press per character, carrying the character as its text, the
    // way a keyboard layout or an input method delivers it.
    void type(const QString& text)
    {
        for (int i = 0; i < text.size(); ++i) {
            const int n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const QString ch = text.mid(i, n);
            i += n - 1;
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, ch);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, ch);
            QApplication::sendEvent(name, &press);
            QApplication::sendEvent(name, &release);
        }
    }
    std::string nameBytes() const
    {
        return kwtest::hex(kw::ByteView(image.edit[kw::BlockKind::Common00].bytes() + 9, 8));
    }
    // Every byte between F0 and F7 of every message sent is 7-bit.
    void expectSevenBit()
    {
        for (const kw::Bytes& m : port.sent)
            for (size_t i = 1; i + 1 < m.size(); ++i)
                ASSERT_LT(m[i], 0x80) << kwtest::hex(m);
    }
};

} // namespace

TEST_F(NameBox, ACharacterTheSynthCannotStoreIsRefusedWithAWord)
{
    name->clear();
    port.clear();
    type(QString::fromUtf8("Caf\xC3\xA9"));
    EXPECT_EQ(name->text(), "Caf");
    ASSERT_EQ(port.sent.size(), 3u) << "the refused key sends nothing";
    EXPECT_EQ(nameBytes(), "43 61 66 20 20 20 20 20");
    EXPECT_EQ(statuses.back(), "Only ASCII characters fit into a name");
    type("e");
    EXPECT_EQ(nameBytes(), "43 61 66 65 20 20 20 20");
    expectSevenBit();
}

TEST_F(NameBox, APasteKeepsWhatFitsAndDropsTheRest)
{
    name->clear();
    port.clear();
    QApplication::clipboard()->setText(QString::fromUtf8("\xC3\x9C" "ber\xE2\x82\xAC" "Bass"));
    QTest::keySequence(name, QKeySequence::Paste);
    // Cut to the box's eight characters first, as every paste is.
    EXPECT_EQ(name->text(), "berBas");
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(nameBytes(), "62 65 72 42 61 73 20 20");
}

TEST_F(NameBox, AThousandRandomNamesSendNothingAbove7F)
{
    // Plain letters, Latin-1, a few from further away, and the odd control key.
    const QString pool = QString::fromUtf8(
        "abcXYZ019 !~\x7F\t\xC3\xA9\xC3\xBC\xC3\x9F\xC2\xA0\xC2\xB1\xC3\xBF\xE2\x82\xAC\xCE\xA9\xE6\x97\xA5"
        "\xF0\x9F\x8E\xB9");
    const QList<uint> codes = pool.toUcs4();
    std::mt19937 random(11);
    size_t sent = 0;
    for (int n = 0; n < 1000; ++n) {
        name->setFocus();
        name->selectAll();
        QString typed;
        const int length = 1 + int(random() % 12);
        for (int i = 0; i < length; ++i) {
            const char32_t c = char32_t(codes[qsizetype(random() % uint(codes.size()))]);
            typed += QString::fromUcs4(&c, 1);
        }
        type(typed);
        expectSevenBit();
        // The box holds exactly what reached the image.
        const QByteArray shown = name->text().toLatin1().leftJustified(8, ' ');
        EXPECT_EQ(nameBytes(), kwtest::hex(kw::ByteView(reinterpret_cast<const uint8_t*>(shown.data()), 8)))
            << typed.toStdString();
        for (QChar c : name->text())
            ASSERT_TRUE(c.unicode() >= 0x20 && c.unicode() <= 0x7E);
        sent += port.sent.size();
        port.clear();
    }
    EXPECT_GT(sent, 2000u) << "the plain keys typed something";
}

TEST_F(NameBox, LeavingByClickOrTabSendsTheName)
{
    QTest::keyClick(name, Qt::Key_Tab);
    EXPECT_FALSE(name->hasFocus());
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].size(), 57u);

    name->setFocus();
    port.clear();
    click("PortaOn");
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[0].size(), 57u) << "the name first, as the box is left";
    EXPECT_EQ(kwtest::hex(port.sent[1]), "F0 43 10 4B 60 00 57 01 F7");
}

TEST_F(NameBox, SwitchingApplicationsOpeningAMenuOrADisabledWindowSendNothing)
{
    // Another application's window comes to the front, and back again.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_FALSE(name->hasFocus());
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(port.sent.empty());

    name->setFocus();
    auto* menu = window->menuBar()->findChild<QMenu*>("MenuFile");
    ASSERT_NE(menu, nullptr);
    window->menuBar()->setActiveAction(menu->menuAction());
    QTest::keyClick(menu, Qt::Key_Escape);
    QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    EXPECT_TRUE(port.sent.empty());

    // A program change from the synth disables the window during the fetch.
    name->setFocus();
    window->setBusy(true);
    window->RefreshAll();
    EXPECT_FALSE(window->isBusy());
    EXPECT_TRUE(port.sent.empty());
    EXPECT_FALSE(state.modified);
}

TEST_F(NameBox, APageSwitchNeverPutsTheFocusIntoTheBox)
{
    auto* tabs = find<QTabWidget>("PageControl1");
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_TRUE(port.sent.empty()) << "a page switch is not leaving the box";
    slider("Scene1Knob1")->setFocus();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_FALSE(name->hasFocus());
    port.clear();
    click("PortaOn");
    EXPECT_EQ(port.sent.size(), 1u) << "only the box clicked sends";
}
