#include "midi/XgMessages.h"

#include "model/XgMemory.h"

namespace kw::xg {

namespace {

constexpr uint8_t kYamaha = 0x43;

bool isXg(ByteView m, uint8_t kind)
{
    return m.size() >= 8 && m.front() == 0xF0 && m.back() == 0xF7 && m[1] == kYamaha && (m[2] & 0xF0) == kind
           && m[3] == kModel;
}

std::string range(const Row& r)
{
    std::string s = std::to_string(r.min) + " to " + std::to_string(r.max);
    if (r.extra >= 0)
        s += " or " + std::to_string(r.extra);
    return s;
}

std::string blockName(const BlockAt& at)
{
    switch (at.block->table) {
    case Table::System: return "system";
    case Table::Effect: return at.block->name;
    case Table::Part: return "part " + std::to_string(at.part + 1) + " block " + (at.block->low ? "2" : "1");
    case Table::Drum: return "drum setup " + std::to_string(at.setup + 1) + " note " + std::to_string(at.note);
    }
    return {};
}

} // namespace

Bytes systemOn() { return {0xF0, kYamaha, 0x10, kModel, 0x00, 0x00, 0x7E, 0x00, 0xF7}; }

std::optional<Bytes> parameterChange(const Param& p, int value)
{
    if (!p.row || p.row->command)
        return std::nullopt;
    const auto data = encode(*p.row, value);
    if (!data)
        return std::nullopt;
    const Address a = p.address();
    Bytes m{0xF0, kYamaha, 0x10, kModel, a.high, a.mid, a.low};
    m.insert(m.end(), data->begin(), data->end());
    m.push_back(0xF7);
    return m;
}

std::optional<Bytes> command(const Row& r, int value)
{
    if (!r.command || !r.takes(value))
        return std::nullopt;
    return Bytes{0xF0, kYamaha, 0x10, kModel, kSystemHigh, 0x00, r.low, uint8_t(value), 0xF7};
}

Bytes parameterRequest(const Param& p)
{
    const Address a = p.address();
    return {0xF0, kYamaha, 0x30, kModel, a.high, a.mid, a.low, 0xF7};
}

Bytes dumpRequest(Address top) { return {0xF0, kYamaha, 0x20, kModel, top.high, top.mid, top.low, 0xF7}; }

std::optional<Bytes> bulkDump(Address top, ByteView data)
{
    if (data.size() > 0x3FFF)
        return std::nullopt;
    Bytes m{0xF0, kYamaha, 0x00, kModel, uint8_t(data.size() >> 7), uint8_t(data.size() & 0x7F),
            top.high, top.mid, top.low};
    for (const uint8_t b : data) {
        if (b > 0x7F)
            return std::nullopt;
        m.push_back(b);
    }
    m.push_back(0);
    m.push_back(0xF7);
    m[m.size() - 2] = bulkChecksum(m);
    return m;
}

Change readChange(ByteView m)
{
    Change c;
    if (!isXg(m, 0x10))
        return c;
    c.device = m[2] & 0x0F;
    c.address = {m[4], m[5], m[6]};
    for (size_t i = 4; i + 1 < m.size(); ++i) {
        if (m[i] > 0x7F) {
            c.fault = Change::Fault::OutOfRange;
            c.why = "a byte of 80 or more";
            return c;
        }
    }
    c.param = paramAt(c.address);
    if (!c.param) {
        c.fault = Change::Fault::NoParameter;
        c.why = "no XG parameter at " + addressText(c.address);
        return c;
    }
    const Row& r = *c.param->row;
    const ByteView data = m.subspan(7, m.size() - 8);
    if (data.size() != r.size) {
        c.fault = Change::Fault::WrongSize;
        c.why = "wrong size: " + std::to_string(data.size()) + " data bytes for " + std::to_string(r.size);
        return c;
    }
    const auto v = decode(r, data);
    if (!v || !r.takes(*v)) {
        c.fault = Change::Fault::OutOfRange;
        c.why = "out of range: " + (v ? std::to_string(*v) : std::string("bytes outside the coding")) + " for "
                + range(r);
        return c;
    }
    c.fault = Change::Fault::None;
    c.value = *v;
    return c;
}

ReplyCheck checkReply(const Param& asked, ByteView m)
{
    using Match = ReplyCheck::Match;
    const Change c = readChange(m);
    if (c.fault == Change::Fault::NotXg)
        return {};
    // The instrument sends XG parameter changes only as replies, so one
    // that comes while a request stands is its reply, fitting or not.
    const std::string to = "XG reply to " + asked.name() + ": ";
    if (!(c.address == asked.address())) {
        if (c.param && c.param->row == asked.row && asked.row->table == Table::Part)
            return {Match::Wrong, -1, to + "a reply for part " + std::to_string(c.param->part + 1) + ", not asked"};
        if (c.param && c.param->row == asked.row && asked.row->table == Table::Drum)
            return {Match::Wrong, -1, to + "a reply for " + c.param->name() + ", not asked"};
        return {Match::Wrong, -1, to + "a reply for " + addressText(c.address) + ", not asked"};
    }
    if (!c.ok())
        return {Match::Wrong, -1, to + c.why};
    return {Match::Reply, c.value, {}};
}

ReplyCheck takeReply(Memory& memory, const Param& asked, ByteView m)
{
    ReplyCheck r = checkReply(asked, m);
    if (r.match == ReplyCheck::Match::Reply)
        memory.set(asked, r.value);
    return r;
}

Dump readDump(ByteView m)
{
    Dump d;
    if (!isXg(m, 0x00) || m.size() < 11) {
        d.why = "not an XG bulk dump";
        return d;
    }
    const size_t count = size_t(m[4]) << 7 | m[5];
    if (count + 11 != m.size()) {
        d.why = "wrong length: " + std::to_string(m.size() - 11) + " data bytes, the count says " + std::to_string(count);
        return d;
    }
    for (size_t i = 4; i + 1 < m.size(); ++i)
        if (m[i] > 0x7F) {
            d.why = "a byte of 80 or more";
            return d;
        }
    if (bulkChecksum(m) != m[m.size() - 2]) {
        d.why = "wrong checksum";
        return d;
    }
    const Address top{m[6], m[7], m[8]};
    d.block = blockAt(top);
    if (!d.block) {
        d.why = "no XG block starts at " + addressText(top);
        return d;
    }
    d.data = m.subspan(9, count);
    return d;
}

std::string meaning(ByteView m)
{
    if (m.size() < 8 || m.front() != 0xF0 || m[1] != kYamaha || m[3] != kModel)
        return {};
    const Address a{m[4], m[5], m[6]};
    switch (m[2] & 0xF0) {
    case 0x10: {
        if (m.size() == 9 && a == Address{0, 0, 0x7E})
            return "XG System On";
        if (const Row* cmd = commandAt(a))
            return std::string("XG ") + cmd->name + (m.size() == 9 && cmd->low == 0x7D ? " " + std::to_string(m[7] + 1) : "");
        const Change c = readChange(m);
        if (c.ok())
            return "XG " + c.param->name() + " = " + text(*c.param, c.value);
        if (c.param)
            return "XG " + c.param->name() + ", " + c.why;
        return "XG parameter change " + addressText(a) + ", " + c.why;
    }
    case 0x30: {
        const auto p = paramAt(a);
        return "XG request " + (p ? p->name() : addressText(a));
    }
    case 0x20: {
        const auto b = blockAt(a);
        return "XG dump request " + (b ? blockName(*b) : addressText(a));
    }
    case 0x00: {
        const Dump d = readDump(m);
        if (d.block && d.why.empty())
            return "XG bulk dump " + blockName(*d.block);
        return "XG bulk dump" + (m.size() >= 11 ? " " + addressText({m[6], m[7], m[8]}) : std::string()) + ", " + d.why;
    }
    default: return {};
    }
}

} // namespace kw::xg
