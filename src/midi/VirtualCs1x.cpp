#include "midi/VirtualCs1x.h"

#include "midi/Messages.h"
#include "midi/XgMessages.h"
#include "model/UserPerfList.h"

#include <algorithm>

namespace kw {

namespace {
constexpr uint8_t kYamaha = 0x43;
constexpr uint8_t kModel = 0x4B;
constexpr uint8_t kSelectMsb = 63;
constexpr uint8_t kSelectLsb = 65;

// Offset of the first data byte of each common block in its address space.
constexpr uint8_t kCommonBase[3] = {0x00, 0x30, 0x50};
} // namespace

VirtualCs1x::VirtualCs1x()
{
    user_.reserve(kUserPerformances);
    for (int pp = 0; pp < kUserPerformances; ++pp)
        user_.emplace_back(true);
    resetMemory();
}

void VirtualCs1x::resetMemory()
{
    PerformanceImage img;
    img.setDefaults();
    for (int i = 0; i < 7; ++i)
        img.edit.at(i).stampAll();
    edit_ = img.edit;
    const auto& names = builtInUserPerfs();
    for (int pp = 0; pp < kUserPerformances; ++pp) {
        BlockSet& u = user_[size_t(pp)];
        PerformanceImage::editToUser(img.edit, u, pp);
        BulkBlock& c = u[BlockKind::UserCommon00];
        std::copy(names[size_t(pp)].name.begin(), names[size_t(pp)].name.end(), &c.data(0));
        c.data(8) = names[size_t(pp)].category;
        for (int i = 0; i < 7; ++i)
            u.at(i).stampAll(pp);
    }
    bankMsb_ = bankLsb_ = 0;
}

void VirtualCs1x::changed()
{
    if (onChange_)
        onChange_();
}

VirtualCs1x::Place VirtualCs1x::locate(uint8_t ah, uint8_t am, uint8_t al)
{
    auto common = [&](BlockSet& set, int perf) -> Place {
        for (int i = 2; i >= 0; --i) {
            if (al < kCommonBase[i])
                continue;
            BulkBlock& b = set.at(i);
            const size_t off = size_t(al - kCommonBase[i]);
            if (off < b.dataLength())
                return {&b, off, perf, i};
            return {};
        }
        return {};
    };
    if (ah == 0x60) {
        if (am == 0)
            return common(edit_, 0);
        if (am >= 1 && am <= 4 && al < edit_.layer(am).dataLength())
            return {&edit_.layer(am), al, 0, 2 + am};
        return {};
    }
    if (am >= kUserPerformances)
        return {};
    BlockSet& u = user_[am];
    if (ah == 0x70)
        return common(u, 1 + am);
    if (ah >= 0x71 && ah <= 0x74 && al < u.layer(ah - 0x70).dataLength())
        return {&u.layer(ah - 0x70), al, 1 + am, 2 + ah - 0x70};
    return {};
}

Bytes VirtualCs1x::dump(BlockKind k, int pp)
{
    BlockSet& set = blockInfo(k).userForm ? user_[size_t(pp)] : edit_;
    return set[k].outgoing(pp);
}

VirtualCs1x::Place VirtualCs1x::placeOf(ByteView m)
{
    // F0 43 0n 4B bh bl ah am al data.. cs F7
    if (m.size() < 12)
        return {};
    const size_t n = size_t(m[4]) << 7 | m[5];
    if (m.size() != n + 11 || bulkChecksum(m) != m[m.size() - 2])
        return {};  // the instrument ignores a damaged dump
    Place p = locate(m[6], m[7], m[8]);
    if (!p.block || p.offset + n > p.block->dataLength())
        return {};
    return p;
}

VirtualCs1x::Place VirtualCs1x::takeBulk(ByteView m)
{
    const Place p = placeOf(m);
    if (p.block)
        std::copy(m.begin() + 9, m.end() - 2, &p.block->data(p.offset));
    return p;
}

std::vector<Bytes> VirtualCs1x::selectOnPanel(int pp)
{
    if (pp < 0 || pp >= kUserPerformances)
        return {};
    PerformanceImage::userToEdit(user_[size_t(pp)], edit_);
    changed();
    return {Bytes{0xC0, uint8_t(pp)}};
}

std::vector<Bytes> VirtualCs1x::handle(ByteView m)
{
    if (m.empty())
        return {};
    const uint8_t status = m[0];
    if (status == 0xB0 && m.size() >= 3) {
        if (m[1] == 0x00)
            bankMsb_ = m[2];
        else if (m[1] == 0x20)
            bankLsb_ = m[2];
        return {};
    }
    if (status == 0xC0 && m.size() >= 2) {
        if (bankMsb_ == kSelectMsb && bankLsb_ == kSelectLsb && m[1] < kUserPerformances) {
            PerformanceImage::userToEdit(user_[m[1]], edit_);
            for (int i = 0; i < 7; ++i)
                edit_.at(i).stampAll();
            changed();
        }
        return {};
    }
    if (status != 0xF0 || m.back() != 0xF7)
        return {};

    // Universal identity request, to our device number or to all.
    if (m.size() == 6 && m[1] == 0x7E && (m[2] == 0x00 || m[2] == 0x7F) && m[3] == 0x06 && m[4] == 0x01)
        return {Bytes(std::begin(msg::kIdentityReply), std::end(msg::kIdentityReply))};

    if (m.size() >= 8 && m[1] == kYamaha && m[3] == xg::kModel && (m[2] & 0x0F) == 0)
        return handleXg(m);
    if (m.size() < 8 || m[1] != kYamaha || m[3] != kModel || (m[2] & 0x0F) != 0)
        return {};
    switch (m[2] & 0xF0) {
    case 0x20: {  // dump request
        if (m.size() != 8)
            return {};
        const uint8_t ah = m[4], am = m[5], al = m[6];
        for (int k = 0; k < kBlockKinds; ++k) {
            const BlockKind kind = BlockKind(k);
            const BlockInfo info = blockInfo(kind);
            if (info.addrHigh != ah || info.addrLow != al)
                continue;
            if (!info.userForm && info.addrMid == am)
                return {dump(kind, 0)};
            if (info.userForm && am < kUserPerformances)
                return {dump(kind, am)};
        }
        return {};
    }
    case 0x10: {  // parameter change, one or two data bytes
        if (m.size() != 9 && m.size() != 10)
            return {};
        const Place p = locate(m[4], m[5], m[6]);
        const size_t count = m.size() - 8;
        if (!p.block || p.offset + count > p.block->dataLength())
            return {};
        for (size_t i = 0; i < count; ++i)
            p.block->data(p.offset + i) = m[7 + i] & 0x7F;
        changed();
        return {};
    }
    case 0x00:
        if (takeBulk(m).block)
            changed();
        return {};
    default:
        return {};
    }
}

bool VirtualCs1x::ignoredInMode(xg::Table table, int part) const
{
    return mode_ == ToneMode::Performance && (table == xg::Table::Effect || (table == xg::Table::Part && part < 4));
}

std::vector<Bytes> VirtualCs1x::handleXg(ByteView m)
{
    const xg::Address a{m[4], m[5], m[6]};
    switch (m[2] & 0xF0) {
    case 0x10: {  // parameter change
        if (const xg::Row* cmd = xg::commandAt(a)) {
            if (m.size() != 9 || !cmd->takes(m[7]))
                return {};
            if (cmd->low == 0x7D)
                xg_.resetDrumSetup(m[7]);
            else
                xg_.reset();
            return {};
        }
        // One that does not fit its row is ignored whole: nothing out of
        // range is ever held, nor a value made of the wrong number of bytes.
        const xg::Change c = xg::readChange(m);
        if (c.ok() && !ignoredInMode(c.param->row->table, c.param->part))
            xg_.set(*c.param, c.value);
        return {};
    }
    case 0x30: {  // parameter request: the answer is a parameter change
        const auto p = xg::paramAt(a);
        if (m.size() != 8 || !p)
            return {};
        auto reply = xg::parameterChange(*p, xg_.value(*p));
        return reply ? std::vector<Bytes>{std::move(*reply)} : std::vector<Bytes>{};
    }
    case 0x20: {  // dump request
        const auto b = xg::blockAt(a);
        if (m.size() != 8 || !b)
            return {};
        auto dump = xg::bulkDump(a, xg_.block(*b));
        return dump ? std::vector<Bytes>{std::move(*dump)} : std::vector<Bytes>{};
    }
    case 0x00: {  // bulk dump
        const xg::Dump d = xg::readDump(m);
        if (d.why.empty() && !ignoredInMode(d.block->block->table, d.block->part))
            xg_.takeBlock(*d.block, d.data);
        return {};
    }
    default: return {};
    }
}

Bytes VirtualCs1x::memoryImage() const
{
    Bytes out;
    auto add = [&](const BlockSet& set, int pp) {
        for (int i = 0; i < 7; ++i) {
            BulkBlock b = set.at(i);
            const Bytes m = b.outgoing(pp);
            out.insert(out.end(), m.begin(), m.end());
        }
    };
    add(edit_, 0);
    for (int pp = 0; pp < kUserPerformances; ++pp)
        add(user_[size_t(pp)], pp);
    return out;
}

MemoryLoad VirtualCs1x::loadMemoryImage(ByteView image)
{
    MemoryLoad load;
    // Each block of each performance, whole, once; a performance is taken
    // only when all seven of its blocks are there, so none is ever half old
    // and half new.
    std::array<Bytes, MemoryLoad::kPerformances * kBlocksPerPerformance> found;
    bool duplicate = false;
    size_t messageBytes = 0;
    for (Bytes& m : splitSysEx(image)) {
        messageBytes += m.size();
        // A file written under another device number (by a synth set to it,
        // say) is the user's memory all the same.
        const bool ours = m.size() >= 4 && m[1] == kYamaha && (m[2] & 0xF0) == 0x00 && m[3] == kModel;
        const Place p = ours ? placeOf(m) : Place{};
        if (!p.block || p.offset != 0 || m.size() != p.block->size()) {
            ++load.rejected;
            continue;
        }
        Bytes& slot = found[size_t(p.performance) * kBlocksPerPerformance + size_t(p.index)];
        if (!slot.empty())
            duplicate = true;
        slot = std::move(m);
    }
    for (size_t perf = 0; perf < MemoryLoad::kPerformances; ++perf) {
        const auto first = found.begin() + long(perf * kBlocksPerPerformance);
        load.blocks[perf] = uint8_t(std::count_if(first, first + kBlocksPerPerformance, [](const Bytes& b) { return !b.empty(); }));
        if (load.blocks[perf] != kBlocksPerPerformance)
            continue;
        for (auto it = first; it != first + kBlocksPerPerformance; ++it)
            takeBulk(*it);
        load.taken += kBlocksPerPerformance;
    }
    load.whole = !duplicate && load.rejected == 0 && messageBytes == image.size()
                 && load.taken == MemoryLoad::kPerformances * kBlocksPerPerformance;
    return load;
}

std::vector<Bytes> splitSysEx(ByteView stream)
{
    std::vector<Bytes> out;
    Bytes cur;
    bool in = false;
    for (const uint8_t b : stream) {
        if (b == 0xF0) {
            cur.assign(1, b);
            in = true;
        } else if (in) {
            if (b >= 0x80 && b != 0xF7) {
                in = false;  // cut short
                continue;
            }
            cur.push_back(b);
            if (b == 0xF7) {
                out.push_back(std::move(cur));
                cur.clear();
                in = false;
            }
        }
    }
    return out;
}

} // namespace kw
