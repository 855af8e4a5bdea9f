// The XG input path: a reply read against the parameter asked for, a
// parameter change or a bulk dump read against the tables, and the virtual
// CS1x taking whatever comes, in both modes.
//
// A reply changes the asked parameter alone, and only with a value its row
// takes; anything else changes nothing. A parameter change read as sound is
// built again byte for byte. A dump is taken whole or not at all. The
// virtual CS1x answers only with 7-bit SysEx, and everything it holds is a
// value its row takes.

#include "FuzzSupport.h"

#include "midi/MidiMeaning.h"
#include "midi/VirtualCs1x.h"
#include "midi/XgMessages.h"
#include "model/XgMemory.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace kw;

namespace {

void checkSent(const std::vector<Bytes>& replies)
{
    for (const Bytes& m : replies) {
        FUZZ_CHECK(m.size() >= 2 && m.front() == 0xF0 && m.back() == 0xF7, "a reply that is no whole SysEx");
        for (size_t i = 1; i + 1 < m.size(); ++i)
            FUZZ_CHECK(m[i] < 0x80, "a reply with a byte of 0x80 or more inside");
    }
}

// Most inputs should reach the tables: an XG header more often than chance.
Bytes message(FuzzedDataProvider& in)
{
    Bytes m;
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {  // anything
        const auto raw = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 40));
        return Bytes(raw.begin(), raw.end());
    }
    case 1: m = {0xF0, 0x43, 0x10, 0x4C}; break;  // a change
    case 2: m = {0xF0, 0x43, 0x30, 0x4C}; break;  // a request
    default: m = {0xF0, 0x43, 0x00, 0x4C}; break; // a dump (the count follows in the body)
    }
    const auto body = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 24));
    m.insert(m.end(), body.begin(), body.end());
    if (in.ConsumeBool() && m.size() > 10) {
        m.push_back(0);
        m.push_back(0xF7);
        m[m.size() - 2] = bulkChecksum(m);  // a dump whose checksum fits
    } else {
        m.push_back(0xF7);
    }
    return m;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<xg::Param> params = xg::allParams();
    FuzzedDataProvider in(data, size);
    // Made once (its user memory is costly to build); XG System On puts its
    // XG side back to the start for every input.
    static VirtualCs1x synth;
    synth.handle(xg::systemOn());
    synth.setToneMode(in.ConsumeBool() ? ToneMode::Multi : ToneMode::Performance);
    xg::Memory memory;
    while (in.remaining_bytes() > 0) {
        const xg::Param& asked = params[in.ConsumeIntegralInRange<size_t>(0, params.size() - 1)];
        const Bytes m = message(in);
        (void)messageMeaning(m);

        // The reply to `asked`.
        const xg::Memory before = memory;
        const xg::ReplyCheck r = xg::takeReply(memory, asked, m);
        if (r.match == xg::ReplyCheck::Match::Reply) {
            FUZZ_CHECK(asked.row->takes(r.value), "a reply taken with a value its row refuses");
            FUZZ_CHECK(memory.value(asked) == r.value, "a reply taken is not what the memory holds");
            xg::Memory back = memory;
            back.set(asked, before.value(asked));
            FUZZ_CHECK(back == before, "a reply changed more than the asked parameter");
        } else {
            FUZZ_CHECK(memory == before, "a message that is no reply changed the memory");
            FUZZ_CHECK(r.match == xg::ReplyCheck::Match::Other || !r.why.empty(), "a wrong reply not named");
        }

        // A change read as sound is what the table builds.
        const xg::Change c = xg::readChange(m);
        if (c.ok()) {
            const auto again = xg::parameterChange(*c.param, c.value);
            FUZZ_CHECK(again.has_value(), "a change read as sound cannot be built");
            Bytes same = m;
            same[2] = 0x10;
            FUZZ_CHECK(*again == same, "a change read as sound builds other bytes");
        }

        // A dump: whole or nothing.
        const xg::Dump d = xg::readDump(m);
        if (d.why.empty()) {
            xg::Memory dumped = memory;
            const std::string why = dumped.takeBlock(*d.block, d.data);
            if (!why.empty())
                FUZZ_CHECK(dumped == memory, "a dump refused changed the memory");
        }

        checkSent(synth.handle(m));
    }
    for (const xg::Param& p : params)
        FUZZ_CHECK(p.row->takes(synth.xg().value(p)), "the virtual CS1x holds a value its row refuses");
    return 0;
}
