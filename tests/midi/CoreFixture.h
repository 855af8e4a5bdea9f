#pragma once
// The receiving core wired as in the program, talking to a small stand-in
// synth that answers requests through the virtual clock.

#include "midi/MidiCore.h"
#include "model/PerformanceImage.h"
#include "model/Settings.h"
#include "session/EditSession.h"
#include "session/Links.h"
#include "support/RecordingPort.h"
#include "support/RecordingUi.h"
#include "support/ScriptedDialogs.h"
#include "support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace kwtest {

// The block a request asks for, from its address bytes.
inline std::optional<kw::BlockKind> requestedBlock(const kw::Bytes& m)
{
    if (m.size() != 8 || m[0] != 0xF0 || m[1] != 0x43 || (m[2] & 0xF0) != 0x20)
        return std::nullopt;
    using kw::BlockKind;
    const uint8_t ah = m[4], am = m[5], al = m[6];
    if (ah == 0x60 && am == 0)
        return al == 0x00 ? BlockKind::Common00 : al == 0x30 ? BlockKind::Common30 : BlockKind::Common50;
    if (ah == 0x60)
        return kw::layerKind(am);
    if (ah == 0x70)
        return al == 0x00 ? BlockKind::UserCommon00 : al == 0x30 ? BlockKind::UserCommon30 : BlockKind::UserCommon50;
    return kw::userLayerKind(ah - 0x70);
}

// A block the way the synth would send it, with data that tells the blocks
// (and the performances) apart; user blocks are addressed to `number`.
inline kw::Bytes syntheticBlock(kw::BlockKind k, int tag = 0, int number = 0)
{
    kw::BulkBlock b(k);
    for (size_t i = 0; i < b.dataLength(); ++i)
        b.data(i) = uint8_t((int(k) * 9 + int(i) + tag * 31) & 0x7F);
    b.stampAll(number);
    return b.outgoing(number);
}

// Records what is sent and answers identity and dump requests `replyDelay`
// ms later through the dispatcher. `answer` may change or drop (nullopt) a reply.
class FakeSynth : public RecordingPort {
public:
    VirtualScheduler& clock;
    std::function<void(const kw::Bytes&)> deliver;
    int replyDelay = 5;
    int tag = 0;  // which performance the synth currently holds
    std::function<std::optional<kw::Bytes>(kw::BlockKind, kw::Bytes)> answer;
    std::vector<long long> sentAt;
    std::vector<kw::Bytes> replies;  // every reply delivered, in order

    explicit FakeSynth(VirtualScheduler& c) : clock(c) {}

    int send(kw::ByteView m) override
    {
        const int r = RecordingPort::send(m);
        sentAt.push_back(clock.now());
        const kw::Bytes msg(m.begin(), m.end());
        if (msg.size() == 2 && (msg[0] & 0xF0) == 0xC0)
            tag = msg[1];
        std::optional<kw::Bytes> reply;
        if (msg == kw::Bytes(std::begin(kw::msg::kIdentityRequest), std::end(kw::msg::kIdentityRequest)))
            reply = kw::Bytes(std::begin(kw::msg::kIdentityReply), std::end(kw::msg::kIdentityReply));
        else if (const auto k = requestedBlock(msg)) {
            reply = syntheticBlock(*k, tag, msg[5]);
            if (answer)
                reply = answer(*k, *reply);
        }
        if (reply)
            clock.after(replyDelay, [this, rep = *reply] {
                replies.push_back(rep);
                if (deliver)
                    deliver(rep);
            });
        return r;
    }
    // Texts of the requests sent so far, skipping everything else.
    std::vector<std::string> requests() const
    {
        std::vector<std::string> out;
        for (const auto& m : sent)
            if (m.size() == 8 && m[2] == 0x20)
                out.push_back(hex(m));
        return out;
    }
};

struct CoreFixture : ::testing::Test {
    kw::PerformanceImage img;
    kw::EditorState st;
    kw::Settings settings;
    VirtualScheduler clock;
    FakeSynth synth{clock};
    RecordingUi ui;
    kw::Senders senders{img, st, synth};
    kw::MidiCore core{senders, ui, clock, settings};
    kw::MidiTimers& timers = core.timers;
    kw::Receiver& rx = core.receiver;
    kw::Dispatcher& dispatcher = core.dispatcher;
    ScriptedDialogs dialogs;
    kw::EditSession session{img, st, senders};

    CoreFixture()
    {
        kw::setDefaults(img, st);
        synth.deliver = [this](const kw::Bytes& m) { dispatcher.handle(m); };
        // A program change from the synth switches the editor as the program wires it.
        session.attach(ui, dialogs);
        kw::linkToCore(session, core, [] { return true; });
    }
    // What a click in the performance list does before it starts the fetch.
    void clickPerformance(int pp)
    {
        st.selectedUserPerf = pp;
        senders.selectUserPerformance(pp);
        ui.setBusy(true);
        rx.startPerformanceFetch();
    }
    kw::Bytes editBytes(kw::BlockKind k) const
    {
        const auto v = img.edit[k].view();
        return {v.begin(), v.end()};
    }
};

} // namespace kwtest
