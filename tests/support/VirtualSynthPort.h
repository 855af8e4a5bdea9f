#pragma once
// The virtual CS1x on the virtual clock, as the editor's output port: every
// message goes into the synth, and its replies come back through `deliver`
// after their time on a MIDI cable. `drop` may lose a reply on its way.

#include "midi/VirtualBackend.h"
#include "midi/VirtualCs1x.h"
#include "support/RandomRecords.h"
#include "support/RecordingPort.h"
#include "support/VirtualScheduler.h"

#include <functional>

namespace kwtest {

// User performance `pp` of `synth` as it would dump it: 317 bytes.
inline kw::Bytes userRecordOf(const kw::VirtualCs1x& synth, int pp)
{
    kw::Bytes out;
    for (int i = 0; i < kw::kBlocksPerPerformance; ++i) {
        kw::BulkBlock b = synth.user(pp).at(i);
        const kw::Bytes m = b.outgoing(pp);
        out.insert(out.end(), m.begin(), m.end());
    }
    return out;
}

class VirtualSynthPort : public RecordingPort {
public:
    kw::VirtualCs1x synth;
    VirtualScheduler& clock;
    std::function<void(const kw::Bytes&)> deliver;
    // True loses the reply to `request` (a cable pulled, a synth too busy).
    std::function<bool(const kw::Bytes& request)> drop;
    // When each message was sent, in virtual microseconds.
    std::vector<long long> sentAt;

    explicit VirtualSynthPort(VirtualScheduler& c) : clock(c) {}

    int send(kw::ByteView m) override
    {
        const int r = RecordingPort::send(m);
        sentAt.push_back(clock.nowMicros());
        if (!open || r != kw::MidiResult::Ok)
            return r;
        const kw::Bytes request(m.begin(), m.end());
        for (kw::Bytes& reply : synth.handle(m)) {
            if (drop && drop(request))
                continue;
            const auto wire = kw::midiWireTime(m.size() + reply.size());
            clock.afterMicros(wire, [this, reply = std::move(reply)] {
                if (deliver)
                    deliver(reply);
            });
        }
        return r;
    }

    // The dump requests sent, as "F0 43 20 4B 70 05 00 F7" texts, with their times.
    std::vector<std::pair<long long, kw::Bytes>> requests() const
    {
        std::vector<std::pair<long long, kw::Bytes>> out;
        for (size_t i = 0; i < sent.size(); ++i)
            if (sent[i].size() == 8 && sent[i][0] == 0xF0 && sent[i][2] == 0x20)
                out.emplace_back(sentAt[i], sent[i]);
        return out;
    }

    // User performance `pp` as the synth would dump it: 317 bytes.
    kw::Bytes userRecord(int pp) const { return userRecordOf(synth, pp); }

    // Stores a performance of its own into every user memory, no two alike.
    void fillMemory(unsigned seed)
    {
        for (const kw::PerformanceRecord& r : randomBank(seed))
            for (int i = 0; i < kw::kBlocksPerPerformance; ++i)
                synth.handle(r.message(i));
    }
};

} // namespace kwtest
