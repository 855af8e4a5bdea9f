// The MIDI input path as the program runs it (driver bytes -> assembler ->
// queue -> dispatcher -> receiver -> chains) fed with a script drawn from
// the input: raw byte packets, replies of the virtual CS1x delivered, damaged
// or lost, clicks in the performance list, program changes, requests, other
// chains, failing ports, the input port reopened and the clock moving on.
// Every timer runs.
//
// After every message: no byte of the image changes outside the block the
// message addressed (a knob's field, the block a reply is for, the seven
// blocks of a fetch that completed with replies really received). After every step:
// the window is enabled whenever no chain runs, and nothing changed the image
// outside message handling. At the end, with the synth silent and the clock
// run out, no chain is left running and every SysEx the editor sent was 7-bit.

#include "FuzzSupport.h"

#include "midi/HexText.h"
#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/VirtualCs1x.h"
#include "model/Settings.h"
#include "model/UserPerfList.h"
#include "session/EditSession.h"
#include "session/Links.h"
#include "support/FakeBackend.h"
#include "support/RecordingUi.h"
#include "support/ScriptedDialogs.h"
#include "support/VirtualScheduler.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <deque>
#include <set>

using namespace kw;

namespace {

// The editor's output: every message is checked, and the virtual CS1x
// answers requests into a line of replies the script delivers or not.
class SynthPort : public OutputPort {
public:
    explicit SynthPort(VirtualCs1x& s) : synth(s) {}
    VirtualCs1x& synth;
    bool open = true;
    int result = MidiResult::Ok;
    std::deque<Bytes> replies;

    bool isOpen() const override { return open; }
    int send(ByteView m) override
    {
        FUZZ_CHECK(!m.empty(), "an empty message was sent");
        if (m[0] == 0xF0) {
            FUZZ_CHECK(m.back() == 0xF7, "a SysEx sent without its end");
            for (size_t i = 1; i + 1 < m.size(); ++i)
                FUZZ_CHECK(m[i] < 0x80, "a SysEx sent with a byte of 0x80 or more inside");
        }
        if (result == MidiResult::Ok)
            for (Bytes& r : synth.handle(m))
                replies.push_back(std::move(r));
        return result;
    }
};

// A chain of another kind than the fetch (as the names request is): user
// common 00 blocks one after the other into the transfer image.
class UserBlocks : public Chain {
public:
    UserBlocks(int first, int count, bool busy) : pp_(first), left_(count), busy_(busy) {}
    void begin(Receiver& rx) override { rx.request(Request::of(BlockKind::UserCommon00), pp_); }
    bool replyArrived(Receiver& rx, ByteView reply) override
    {
        rx.storeInImage(Request::of(BlockKind::UserCommon00), reply);
        if (--left_ <= 0)
            return false;
        pp_ = (pp_ + 1) % kUserPerformances;
        rx.afterPause([this, &rx] { rx.request(Request::of(BlockKind::UserCommon00), pp_); });
        return true;
    }
    bool keepsWindowBusy() const override { return busy_; }

private:
    int pp_;
    int left_;
    bool busy_;
};

using Snapshot = std::array<Bytes, 14>;

Snapshot snapshot(const PerformanceImage& img)
{
    Snapshot s;
    for (int i = 0; i < 7; ++i) {
        const ByteView e = img.edit.at(i).view();
        const ByteView t = img.transfer.at(i).view();
        s[size_t(i)].assign(e.begin(), e.end());
        s[size_t(7 + i)].assign(t.begin(), t.end());
    }
    return s;
}

// The layer field a knob controller writes, as a byte position in its block.
int knobPosition(uint8_t controller)
{
    switch (controller) {
    case 71: return 9 + 0x12;
    case 72: return 9 + 0x15;
    case 73: return 9 + 0x13;
    case 74: return 9 + 0x11;
    default: return -1;
    }
}

struct Rig {
    Settings settings;
    PerformanceImage img;
    EditorState st;
    kwtest::VirtualScheduler clock;
    VirtualCs1x synth;
    SynthPort port{synth};
    kwtest::RecordingUi ui;
    Senders senders{img, st, port};
    MidiCore core{senders, ui, clock, settings};
    kwtest::ScriptedDialogs dialogs;
    EditSession session{img, st, senders};
    kwtest::FakeBackend::Log log;
    std::deque<std::function<void()>> posted;
    std::unique_ptr<MidiPorts> ports;
    // Every well-formed reply delivered, per block kind: what a fetch may put
    // into the image.
    std::array<std::set<Bytes>, 14> delivered;
    Snapshot expected;

    Rig()
    {
        setDefaults(img, st);
        settings.midiIn = settings.midiOut = "Fuzz";
        std::vector<std::unique_ptr<MidiBackend>> backends;
        backends.push_back(std::make_unique<kwtest::FakeBackend>(std::vector<std::string>{"Fuzz"},
                                                                 std::vector<std::string>{"Fuzz"}, log));
        ports = std::make_unique<MidiPorts>(settings, std::move(backends), PortHooks{},
                                            [this](std::function<void()> fn) { posted.push_back(std::move(fn)); });
        session.attach(ui, dialogs);
        linkToCore(session, core, [this] { return ports->inputOpen(); });
        ports->setInputSink([this](const Bytes& m) { handle(m); });
        ports->deviceCheck(senders);
        expected = snapshot(img);
    }

    void handle(const Bytes& m)
    {
        const Snapshot before = snapshot(img);
        FUZZ_CHECK(before == expected, "the image changed outside the handling of a message");
        for (int k = 0; k < kBlockKinds; ++k)
            if (checkReply(Request::of(BlockKind(k)), m.size() > 7 ? m[7] : 0, m).match == ReplyCheck::Match::Reply)
                delivered[size_t(k)].insert(m);
        const int refreshes = ui.refreshAllCount;
        core.dispatcher.handle(m);
        const Snapshot after = snapshot(img);
        const bool fetched = ui.refreshAllCount != refreshes;
        const bool knob = m.size() == 3 && (m[0] & 0xF0) == 0xB0 && knobPosition(m[1]) >= 0 && settings.synthKnobs;
        for (size_t b = 0; b < after.size(); ++b) {
            if (after[b] == before[b])
                continue;
            if (b < 7 && fetched) {
                FUZZ_CHECK(delivered[b].count(after[b]) == 1, "a fetch put a block into the image that never came");
                continue;
            }
            if (b >= 3 && b < 7 && knob) {
                for (size_t i = 0; i < after[b].size(); ++i)
                    if (after[b][i] != before[b][i])
                        FUZZ_CHECK(int(i) == knobPosition(m[1]), "a knob changed a byte outside its field");
                continue;
            }
            if (after[b] == m) {
                // The reply to a request of its own, stored whole where it belongs.
                FUZZ_CHECK(delivered[b].count(m) == 1, "a block took a message that is no reply for it");
                continue;
            }
            const std::string what = "message " + hexText(m) + " changed block " + std::to_string(b)
                                     + " it did not address";
            FUZZ_CHECK(false, what.c_str());
        }
        expected = after;
    }

    void feed(ByteView bytes)
    {
        if (log.input)
            log.input(bytes);
        run();
    }
    // The event loop: whatever the queue posted.
    void run()
    {
        for (int guard = 0; !posted.empty() && guard < 100000; ++guard) {
            auto fn = std::move(posted.front());
            posted.pop_front();
            fn();
        }
    }
    void checkStep()
    {
        FUZZ_CHECK(snapshot(img) == expected, "the image changed outside the handling of a message");
        if (!core.receiver.chainRunning())
            FUZZ_CHECK(!ui.busy, "the window is disabled while no chain runs");
    }
};

Bytes takeReply(Rig& rig)
{
    Bytes m = std::move(rig.port.replies.front());
    rig.port.replies.pop_front();
    return m;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Rig rig;
    rig.run();
    for (int step = 0; step < 400 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange<int>(0, 14)) {
        case 0: {  // bytes as a driver hands them over
            const Bytes bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(1, 64));
            rig.feed(bytes);
            break;
        }
        case 1:  // the synth's next reply, perhaps in two packets
            if (!rig.port.replies.empty()) {
                const Bytes m = takeReply(rig);
                const size_t cut = in.ConsumeIntegralInRange<size_t>(0, m.size());
                rig.feed(ByteView(m).first(cut));
                rig.feed(ByteView(m).subspan(cut));
            }
            break;
        case 2:  // the next reply damaged on the way
            if (!rig.port.replies.empty()) {
                Bytes m = takeReply(rig);
                const size_t at = in.ConsumeIntegralInRange<size_t>(0, m.size() - 1);
                if (in.ConsumeBool())
                    m[at] = in.ConsumeIntegral<uint8_t>();
                else
                    m.erase(m.begin() + long(at));
                rig.feed(m);
            }
            break;
        case 3:  // the next reply lost
            if (!rig.port.replies.empty())
                rig.port.replies.pop_front();
            break;
        case 4:
            rig.clock.advance(in.ConsumeIntegralInRange<int>(0, 2500));
            rig.run();
            break;
        case 5: {  // a click in the user-performance list
            rig.dialogs.confirms.push_back(in.ConsumeBool());
            const int pp = in.ConsumeIntegralInRange<int>(0, kUserPerformances - 1);
            rig.session.chooseUserPerf(pp);
            break;
        }
        case 6: {  // a performance picked on the synth's panel
            const int pp = in.ConsumeIntegralInRange<int>(0, 127);
            for (const Bytes& m : rig.synth.selectOnPanel(pp))
                rig.feed(m);
            break;
        }
        case 7:
            switch (in.ConsumeIntegralInRange<int>(0, 2)) {
            case 0: rig.settings.synthKnobs = !rig.settings.synthKnobs; break;
            case 1: rig.settings.programChanges = !rig.settings.programChanges; break;
            default: rig.settings.longDelay = !rig.settings.longDelay; break;
            }
            break;
        case 8:  // Preferences confirmed: the synth is greeted again
            rig.senders.request(Request::identity());
            break;
        case 9:  // a block asked for outside any chain
            rig.senders.request(Request::of(BlockKind(in.ConsumeIntegralInRange<int>(0, kBlockKinds - 1))),
                                in.ConsumeIntegralInRange<int>(0, 127));
            break;
        case 10: {  // a well-formed block of any address and content
            BulkBlock b(BlockKind(in.ConsumeIntegralInRange<int>(0, kBlockKinds - 1)));
            for (size_t i = 0; i < b.dataLength(); ++i)
                b.data(i) = in.ConsumeIntegral<uint8_t>() & 0x7F;
            rig.feed(b.outgoing(in.ConsumeIntegralInRange<int>(0, 127)));
            break;
        }
        case 11: {
            const int first = in.ConsumeIntegralInRange<int>(0, 127);
            const int count = in.ConsumeIntegralInRange<int>(1, 4);
            rig.core.receiver.startChain(std::make_unique<UserBlocks>(first, count, in.ConsumeBool()));
            break;
        }
        case 12:  // the output port fails, or works again
            rig.port.result = rig.port.result == MidiResult::Ok ? MidiResult::NotReady : MidiResult::Ok;
            break;
        case 13:
            rig.port.open = !rig.port.open;
            break;
        default:  // Preferences confirmed: the input port opened anew, perhaps in the middle of a message
            rig.ports->openInput(rig.ports->configuredInput());
            break;
        }
        rig.run();
        rig.checkStep();
    }
    // The synth goes silent and the clock runs out: nothing may be left hanging.
    rig.port.replies.clear();
    rig.port.open = true;
    rig.port.result = MidiResult::Ok;
    for (int round = 0; round < 50 && rig.clock.pending() > 0; ++round) {
        rig.clock.runAll(1000);
        rig.run();
    }
    rig.port.replies.clear();
    rig.clock.runAll(100000);
    rig.run();
    FUZZ_CHECK(!rig.core.receiver.chainRunning(), "a chain still runs after every time-out has passed");
    rig.checkStep();
    return 0;
}
