#include "model/PerformanceImage.h"
#include "support/RecordingPort.h"

#include <gtest/gtest.h>

using namespace kw;
using kwtest::hex;

TEST(BlockGeometry, LengthsAndAddressesOfAllFourteenKinds)
{
    const size_t lengths[] = {57, 34, 20, 52, 52, 52, 52, 57, 32, 20, 52, 52, 52, 52};
    for (int i = 0; i < kBlockKinds; ++i)
        EXPECT_EQ(blockInfo(BlockKind(i)).length(), lengths[i]) << i;
    EXPECT_EQ(blockInfo(BlockKind::UserLayer3).addrHigh, 0x73);
    EXPECT_EQ(toUserKind(BlockKind::Layer2), BlockKind::UserLayer2);
    EXPECT_EQ(toEditKind(BlockKind::UserCommon30), BlockKind::Common30);
    PerformanceImage img;
    EXPECT_EQ(img.transfer.concatenated().size(), kPerformanceRecordSize);
    EXPECT_EQ(kPerformanceRecordSize, 317u);
}

TEST(BulkBlock, DefaultCommon00GoesOutWithChecksum72)
{
    PerformanceImage img;
    img.setDefaults();
    BulkBlock& c00 = img.edit[BlockKind::Common00];
    const Bytes out = c00.outgoing();
    ASSERT_EQ(out.size(), 57u);
    unsigned sum = 0;
    for (size_t i = 4; i <= 54; ++i)
        sum += out[i];
    EXPECT_EQ(sum, 2574u);
    EXPECT_EQ(out[55], 0x72);
    EXPECT_EQ(out[56], 0xF7);
    EXPECT_EQ(hex({out.data(), 9}), "F0 43 00 4B 00 2E 60 00 00");
    // The checksum lives in the outgoing copy only.
    EXPECT_EQ(c00[55], 0x00);
}

TEST(BulkBlock, StampingReplacesWhateverTheSenderPutInTheHeader)
{
    BulkBlock layer(BlockKind::Layer3);
    Bytes received(52, 0x11);
    received[0] = 0xF0;
    received[2] = 0x05;  // device nibble of the synth that sent it
    received[7] = 0x01;  // and another layer's address
    ASSERT_TRUE(layer.assign(received));
    const Bytes out = layer.outgoing();
    EXPECT_EQ(out[2], 0x00);
    EXPECT_EQ(out[7], 0x03);
    EXPECT_EQ(out[51], 0xF7);
    EXPECT_EQ(bulkChecksum(out), out[50]);

    BulkBlock user(BlockKind::UserLayer2);
    const Bytes u = user.outgoing(10);
    EXPECT_EQ(hex({u.data(), 9}), "F0 43 00 4B 00 29 72 0A 00");
    BulkBlock uc30(BlockKind::UserCommon30);
    const Bytes c = uc30.outgoing(127);
    EXPECT_EQ(c.size(), 32u);
    EXPECT_EQ(hex({c.data(), 9}), "F0 43 00 4B 00 15 70 7F 30");
}

TEST(BulkBlock, AssignAcceptsOnlyTheExactLength)
{
    BulkBlock c00(BlockKind::Common00);
    Bytes wrong(52, 0x22), right(57, 0x33);
    EXPECT_FALSE(c00.assign(wrong));
    EXPECT_EQ(c00[10], 0x00);
    EXPECT_TRUE(c00.assign(right));
    EXPECT_EQ(c00[0], 0x33);  // whole message copied, nothing examined
    EXPECT_EQ(c00[56], 0x33);
}

TEST(PerformanceImage, DefaultsByteForByte)
{
    PerformanceImage img;
    EditorState st;
    setDefaults(img, st);
    const BulkBlock& c00 = img.edit[BlockKind::Common00];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c00.bytes() + 9), 8), "InitPerf");
    EXPECT_EQ(c00.data(9), 0x64);
    for (int k = 10; k <= 27; ++k)
        EXPECT_EQ(c00.data(k), 0x40) << k;
    EXPECT_EQ(c00.data(42), 0x65);
    EXPECT_EQ(c00.data(43), 0x09);
    EXPECT_EQ(c00.data(44), 0x07);
    const BulkBlock& c30 = img.edit[BlockKind::Common30];
    EXPECT_EQ(c30.data(0), 0x01);
    EXPECT_EQ(c30.data(2), 0x41);
    EXPECT_EQ(c30.data(4), 0x05);
    EXPECT_EQ(c30.data(21), 0x28);
    const BulkBlock& c50 = img.edit[BlockKind::Common50];
    EXPECT_EQ(c50.data(1), 0x0A);
    EXPECT_EQ(c50.data(3), 0x42);
    for (int l = 1; l <= 4; ++l) {
        EXPECT_EQ(img.edit.layer(l).data(0x07), 0x64);
        EXPECT_EQ(img.edit.layer(l).data(0x0C), 0x7F);
        EXPECT_EQ(img.edit.layer(l).data(0x1F), 0x03);
        EXPECT_EQ(img.edit.layer(l).data(0x28), 0x40);
    }
    // Header, checksum and end byte stay zero until first sent or received.
    EXPECT_EQ(c00[0], 0x00);
    EXPECT_EQ(c00[56], 0x00);
    // The clipboard already holds layer 1, but nothing has been copied yet.
    EXPECT_EQ(Bytes(st.layerClipboard.view().begin(), st.layerClipboard.view().end()),
              Bytes(img.edit.layer(1).view().begin(), img.edit.layer(1).view().end()));
    EXPECT_FALSE(st.clipboardFilled);
}

TEST(PerformanceImage, FormConversionKeepsDataAndClearsEditOnlyFields)
{
    PerformanceImage img;
    img.setDefaults();
    BlockSet& user = img.transfer;
    PerformanceImage::editToUser(img.edit, user, 42);
    const BulkBlock& u30 = user[BlockKind::UserCommon30];
    EXPECT_EQ(u30.size(), 32u);
    EXPECT_EQ(u30[7], 42);
    EXPECT_EQ(u30[5], 0x15);
    EXPECT_EQ(u30.data(0), 0x01);
    EXPECT_EQ(u30.data(20), 0x00);
    EXPECT_EQ(bulkChecksum(u30.view()), u30[30]);
    EXPECT_EQ(user.layer(4)[6], 0x74);

    // Back into the edit image: 32 of the 34 bytes come over, the two fields
    // the user form lacks end up 0 instead of checksum and F7.
    BlockSet edit(false);
    edit[BlockKind::Common30].data(21) = 0x55;
    PerformanceImage::userToEdit(user, edit);
    const BulkBlock& e30 = edit[BlockKind::Common30];
    EXPECT_EQ(e30.data(21), 0x00);
    EXPECT_EQ(e30.data(22), 0x00);
    EXPECT_EQ(e30[5], 0x17);
    EXPECT_EQ(e30[33], 0xF7);
    EXPECT_EQ(bulkChecksum(e30.view()), e30[32]);
    EXPECT_EQ(edit.layer(2)[7], 0x02);
    EXPECT_EQ(edit.layer(2)[6], 0x60);
}

TEST(PerformanceImage, LayerFieldWritesFollowAffectAll)
{
    PerformanceImage img;
    EditorState st;
    setDefaults(img, st);
    st.editLayer = 3;
    writeLayerField(img, st, 0x11, 0x7F);
    EXPECT_EQ(img.edit.layer(3).data(0x11), 0x7F);
    EXPECT_EQ(img.edit.layer(1).data(0x11), 0x40);
    st.affectAll = true;
    writeLayerField(img, st, 0x12, 0x01);
    for (int l = 1; l <= 4; ++l)
        EXPECT_EQ(img.edit.layer(l).data(0x12), 0x01);
}
