// The editor's port layer against knobwright-sim over a real JACK server.
// run_e2e.sh starts the server and the simulator and tells us where they are.

#include "E2eSupport.h"
#include "midi/HexText.h"
#include "midi/MidiPorts.h"
#include "midi/RtMidiBackend.h"
#include "midi/Senders.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kw;
using kwtest::env;
using kwtest::runUntil;

namespace {


struct Transport : ::testing::Test {
    Settings settings;
    PerformanceImage img;
    EditorState st;
    std::unique_ptr<MidiPorts> ports;
    std::unique_ptr<Senders> senders;
    std::vector<Bytes> got;
    std::vector<std::string> boxes;

    void SetUp() override
    {
        settings.midiIn = settings.midiOut = env("KW_SIM_PORT");
        ASSERT_FALSE(settings.midiIn.empty()) << "run through run_e2e.sh";
        std::vector<std::unique_ptr<MidiBackend>> list;
        auto jack = backendByName("jack");
        ASSERT_NE(jack, nullptr);
        list.push_back(std::move(jack));
        ports = std::make_unique<MidiPorts>(settings, std::move(list),
                                            PortHooks{[this](const std::string& t) { boxes.push_back(t); }, {}});
        ports->setInputSink([this](const Bytes& m) { got.push_back(m); });
        senders = std::make_unique<Senders>(img, st, ports->output());
    }
    void TearDown() override
    {
        if (ports) {
            ports->closeInput();
            ports->closeOutput();
        }
    }
};

} // namespace

TEST_F(Transport, StartUpGreetsTheSimulatorAndItsIdentityComesBack)
{
    ASSERT_TRUE(ports->deviceCheck(*senders));
    ASSERT_TRUE(ports->inputOpen()) << "inputs: " << ports->inputNames().size();
    ASSERT_TRUE(ports->outputOpen());
    EXPECT_TRUE(boxes.empty());
    ASSERT_TRUE(runUntil([&] { return !got.empty(); }));
    EXPECT_EQ(hexText(got[0]), "F0 7E 00 06 02 43 00 41 0F 05 00 00 00 01 F7");

    // The simulator saw the start-up message and then the identity request.
    QFile trace(QString::fromStdString(env("KW_SIM_TRACE")));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(trace.readAll());
    const auto startup = text.indexOf("<- F0 43 10 4B 50 00 06 03 F7");
    const auto identity = text.indexOf("<- F0 7E 00 06 01 F7");
    EXPECT_GE(startup, 0);
    EXPECT_GT(identity, startup);
}

TEST_F(Transport, AUserPerformanceSentInComesBackByteIdentical)
{
    ASSERT_TRUE(ports->deviceCheck(*senders));
    ASSERT_TRUE(runUntil([&] { return !got.empty(); }));   // identity reply
    got.clear();
    constexpr int kSlot = 117;

    // A performance unlike the defaults, sent block by block with the
    // short transfer pause between blocks.
    for (int i = 0; i < kBlocksPerPerformance; ++i) {
        BulkBlock& b = img.transfer.at(i);
        for (size_t k = 0; k < b.dataLength(); ++k)
            b.data(k) = uint8_t((i * 31 + k * 7 + 3) & 0x7F);
    }
    std::vector<Bytes> expected;
    for (int i = 0; i < kBlocksPerPerformance; ++i) {
        const BlockKind kind = BlockKind(int(BlockKind::UserCommon00) + i);
        senders->bulk(kind, kSlot);
        expected.push_back(img.transfer.at(i).outgoing(kSlot));
        QEventLoop pause;
        QTimer::singleShot(10, &pause, &QEventLoop::quit);
        pause.exec();
    }

    // Fetch it back one request at a time, the way the editor does.
    for (int i = 0; i < kBlocksPerPerformance; ++i) {
        const BlockKind kind = BlockKind(int(BlockKind::UserCommon00) + i);
        const size_t before = got.size();
        senders->request(Request::of(kind), kSlot);
        ASSERT_TRUE(runUntil([&] { return got.size() > before; })) << "block " << i;
        EXPECT_EQ(hexText(got.back()), hexText(expected[size_t(i)])) << "block " << i;
    }
    EXPECT_EQ(got.size(), size_t(kBlocksPerPerformance));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
