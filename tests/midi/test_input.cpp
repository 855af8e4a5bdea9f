// Reassembly of driver packets and the hop to the UI thread.

#include "midi/InputAssembler.h"
#include "midi/InputQueue.h"
#include "support/RecordingPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <thread>

using namespace kw;
using kwtest::hex;

namespace {
struct Collect {
    std::vector<std::string> out;
    int overflows = 0;
    InputAssembler a{{[this](Bytes m) { out.push_back(hex(m)); }, [this] { ++overflows; }}};
    void feed(const std::string& h) { a.feed(kwtest::bytes(h)); }
};
} // namespace

TEST(InputAssembler, ShortMessagesRunningStatusAndRealTime)
{
    Collect c;
    c.feed("90 3C 64 3E 00");           // running status
    c.feed("B0 4A");                    // a message split between packets
    c.feed("7F C0 05 06");              // program change twice (running status)
    c.feed("FE F8 FA");                 // sensing dropped, clock and start kept
    c.feed("41 42");                    // running status outlives real-time bytes
    c.feed("F6 12");                    // tune request stands alone and ends running status
    EXPECT_EQ(c.out, (std::vector<std::string>{"90 3C 64", "90 3E 00", "B0 4A 7F", "C0 05", "C0 06", "F8", "FA",
                                               "C0 41", "C0 42", "F6"}));
}

TEST(InputAssembler, SysExAcrossPacketsWithRealTimeInsideAndCutShort)
{
    Collect c;
    c.feed("F0 43 00");
    c.feed("F8 4B");                    // clock in the middle goes out at once
    c.feed("FE 01 F7 B0 07");           // sensing in the middle is dropped
    c.feed("64");
    EXPECT_EQ(c.out, (std::vector<std::string>{"F8", "F0 43 00 4B 01 F7", "B0 07 64"}));

    c.out.clear();
    c.feed("F0 43 10 90 3C 40");        // a status byte before F7 loses the SysEx
    c.feed("F7");                       // and a lone end byte is nothing
    EXPECT_EQ(c.out, (std::vector<std::string>{"90 3C 40"}));
    EXPECT_FALSE(c.a.inSysEx());
}

TEST(InputAssembler, SysExLimitIsTheInputBuffer)
{
    Collect c;
    Bytes exact(kInputBufferSize, 0x01);
    exact.front() = 0xF0;
    exact.back() = 0xF7;
    c.a.feed(exact);
    ASSERT_EQ(c.out.size(), 1u);
    EXPECT_EQ(c.overflows, 0);

    // One byte more, fed in small packets: dropped once, the rest swallowed
    // until its end, and what follows is intact.
    c.out.clear();
    Bytes over(kInputBufferSize + 1, 0x02);
    over.front() = 0xF0;
    over.back() = 0xF7;
    for (size_t i = 0; i < over.size(); i += 100)
        c.a.feed(ByteView(over).subspan(i, std::min<size_t>(100, over.size() - i)));
    c.feed("F0 7E 00 06 02 F7");
    EXPECT_EQ(c.overflows, 1);
    EXPECT_EQ(c.out, (std::vector<std::string>{"F0 7E 00 06 02 F7"}));
}

TEST(InputQueue, DriverThreadToEventLoopKeepsEveryMessageInOrder)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    UiHop hop;
    std::vector<int> got;
    bool wrongThread = false;
    const auto ui = std::this_thread::get_id();
    InputQueue q(hop.poster(), [&](InputItem& it) {
        wrongThread |= std::this_thread::get_id() != ui;
        got.push_back(it.bytes[1] | it.bytes[2] << 7);
    });
    constexpr int kCount = 20000;
    std::thread driver([&] {
        for (int i = 0; i < kCount; ++i)
            q.push({1, Bytes{0xB0, uint8_t(i & 0x7F), uint8_t(i >> 7 & 0x7F)}});
    });
    QElapsedTimer t;
    t.start();
    while (int(got.size()) < kCount && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    driver.join();
    QCoreApplication::processEvents();
    ASSERT_EQ(int(got.size()), kCount);
    EXPECT_FALSE(wrongThread);
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(got[size_t(i)], i & 0x3FFF) << "at " << i;
}

TEST(InputQueue, AQueueDestroyedWithAWakeUnderwayIsNotTouched)
{
    std::vector<std::function<void()>> posted;
    int delivered = 0;
    {
        InputQueue q([&](std::function<void()> fn) { posted.push_back(std::move(fn)); },
                     [&](InputItem&) { ++delivered; });
        q.push({0, Bytes{0x90, 1, 2}});
    }
    ASSERT_EQ(posted.size(), 1u);
    posted[0]();
    EXPECT_EQ(delivered, 0);
}

TEST(InputQueue, ABacklogIsHandedOverInSlicesSoTheEventLoopGetsItsTurn)
{
    std::vector<std::function<void()>> posted;
    std::vector<int> got;
    std::function<void()> nested;
    InputQueue q([&](std::function<void()> fn) { posted.push_back(std::move(fn)); },
                 [&](InputItem& it) {
                     got.push_back(it.bytes[1]);
                     if (nested)
                         nested();  // a handler running an event loop of its own
                 },
                 std::chrono::microseconds(0));
    for (uint8_t i = 0; i < 5; ++i)
        q.push({0, Bytes{0x90, i, 1}});
    ASSERT_EQ(posted.size(), 1u) << "one wake for a burst";
    posted[0]();
    EXPECT_EQ(got, (std::vector<int>{0})) << "one slice, then the event loop's turn";
    ASSERT_EQ(posted.size(), 2u);

    // A drain found by a nested event loop leaves the one under way alone.
    nested = [&] {
        nested = nullptr;
        posted[1]();
    };
    posted[1]();
    EXPECT_EQ(got, (std::vector<int>{0, 1})) << "nothing handed over inside the handler";
    for (size_t i = 2; i < posted.size(); ++i)
        posted[i]();
    EXPECT_EQ(got, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(q.size(), 0u);

    // Once empty, the next message wakes it again.
    const size_t before = posted.size();
    q.push({0, Bytes{0x90, 9, 1}});
    EXPECT_EQ(posted.size(), before + 1);
}
