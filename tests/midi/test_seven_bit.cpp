// Nothing of 0x80 or more ever goes out inside a SysEx message: the synth
// would take it as the end of the message and the rest as channel messages.
#include "midi/Messages.h"
#include "midi/Senders.h"
#include "support/RecordingPort.h"

#include <gtest/gtest.h>

using namespace kw;

namespace {
struct SevenBitTest : ::testing::Test {
    PerformanceImage img;
    EditorState st;
    kwtest::RecordingPort port;
    int lamps = 0;
    std::vector<std::string> boxes;
    Senders senders{img, st, port};

    void SetUp() override
    {
        setDefaults(img, st);
        senders.setHooks({[this] { ++lamps; }, {}, [this](const std::string& t) { boxes.push_back(t); }});
    }
};
} // namespace

TEST(SevenBit, FindsTheFirstHighByteBetweenStartAndEnd)
{
    const Bytes clean = kwtest::bytes("F0 43 10 4B 60 00 09 7F F7");
    EXPECT_FALSE(msg::firstNon7BitByte(clean));
    const Bytes dirty = kwtest::bytes("F0 43 00 4B 00 2E 60 00 00 43 61 66 E9 80 F7");
    EXPECT_EQ(msg::firstNon7BitByte(dirty), 12u);
    // Short channel messages carry their status byte first and are not SysEx.
    EXPECT_FALSE(msg::firstNon7BitByte(kwtest::bytes("C0 05")));
    const std::string report = msg::non7BitReport(dirty, 12);
    EXPECT_NE(report.find("E9"), std::string::npos);
    EXPECT_NE(report.find("F0 43 00 4B 00 2E 60 00 00"), std::string::npos);
}

TEST_F(SevenBitTest, ABulkBlockWithAHighByteIsHeldBackAndReported)
{
    // "Café" as Windows-1252 in the name.
    Bytes name = kwtest::bytes("43 61 66 E9 20 20 20 20");
    for (size_t i = 0; i < name.size(); ++i)
        img.edit[BlockKind::Common00].data(i) = name[i];
    senders.bulk(BlockKind::Common00);
    EXPECT_TRUE(port.sent.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Internal error", 0), 0u);
    EXPECT_EQ(lamps, 0) << "nothing went out";

    // Fixed, the same block goes out whole.
    img.edit[BlockKind::Common00].data(3) = 0x65;
    senders.bulk(BlockKind::Common00);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(kwtest::hex(ByteView(port.sent[0]).subspan(9, 4)), "43 61 66 65");
}

TEST_F(SevenBitTest, AParameterValueOutOfRangeIsNotSentAsAnotherValue)
{
    // Masked, 0x85 would have gone out as 05: a plainly wrong value.
    senders.parameterChange(0x60, 0x00, 0x09, 0x85);
    senders.parameterChange2(0x60, 0x00, 0x36, 0x01, 0xC0);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(boxes.size(), 2u);
    senders.parameterChange(0x60, 0x00, 0x09, 0x7F);
    EXPECT_EQ(port.sent.size(), 1u);
}
