// A program change chosen on the synth's panel makes the editor fetch that
// performance, over a real JACK server, with the real timers and pauses.

#include "midi/RtMidiBackend.h"
#include "support/EditorRig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "E2eSupport.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace kw;
using kwtest::env;
using kwtest::runUntil;

namespace {

void panel(const std::string& command)
{
    std::ofstream f(env("KW_SIM_PANEL"));
    f << command << '\n';
}

} // namespace

TEST(EndToEnd, ProgramChangeOnTheSynthFetchesThatPerformance)
{
    ASSERT_FALSE(env("KW_SIM_PANEL").empty()) << "run through run_e2e.sh";
    kwtest::EditorRig rig;
    rig.settings.midiIn = rig.settings.midiOut = env("KW_SIM_PORT");
    rig.settings.longDelay = false;
    ASSERT_TRUE(rig.start(backendByName("jack")));
    kwtest::RecordingUi& ui = rig.ui;
    EditorState& st = rig.st;
    PerformanceImage& img = rig.img;
    Senders& senders = *rig.senders;
    ASSERT_TRUE(runUntil([&] { return !ui.boxes.empty(); }, 5000)) << "no identity reply";
    EXPECT_EQ(ui.boxes[0], "CS1x responding... Device-Code: 0F 05 - TG-Level: 01");

    // Store a performance of our own into user slot 42, block by block with
    // the transfer pause between blocks, as the editor's bulk commands do.
    PerformanceImage mine;
    mine.setDefaults();
    const char name[] = "E2E Pad ";
    for (int i = 0; i < 8; ++i)
        mine.edit[BlockKind::Common00].data(size_t(i)) = uint8_t(name[i]);
    mine.edit[BlockKind::Common00].data(8) = 12;
    for (int l = 1; l <= 4; ++l) {
        mine.edit.layer(l).data(0x11) = uint8_t(10 * l);
        mine.edit.layer(l).data(0x02) = uint8_t(80 + l);
    }
    mine.edit[BlockKind::Common50].data(3) = 0x4C;
    PerformanceImage::editToUser(mine.edit, img.transfer, 42);
    for (int i = 0; i < 7; ++i) {
        senders.bulk(BlockKind(i + 7), 42);
        runUntil([] { return false; }, 20);
    }

    // The player picks it on the synth; the editor follows.
    panel("program 42");
    ASSERT_TRUE(runUntil([&] { return ui.refreshAllCount == 1; }, 10000)) << "fetch did not finish";
    EXPECT_EQ(ui.selectedLine, 42);
    EXPECT_EQ(st.selectedUserPerf, 42);
    EXPECT_FALSE(ui.busy);
    ASSERT_EQ(ui.boxes.size(), 1u) << ui.boxes.back();
    for (int i = 0; i < 7; ++i) {
        const BulkBlock& got = img.edit.at(i);
        const BulkBlock& want = mine.edit.at(i);
        // The user form lacks the last two fields of common 30; they arrive as 0.
        const size_t n = got.kind() == BlockKind::Common30 ? 21 : got.dataLength();
        for (size_t k = 0; k < n; ++k)
            ASSERT_EQ(got.data(k), want.data(k)) << "block " << i << " offset " << k;
        EXPECT_EQ(got[got.size() - 1], 0xF7);
        EXPECT_EQ(bulkChecksum(got.view()), got[got.size() - 2]);
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
