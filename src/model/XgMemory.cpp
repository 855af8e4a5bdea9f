#include "model/XgMemory.h"

namespace kw::xg {

namespace {

void write(uint8_t* bytes, const Row& r, int value) { encodeInto(r, value, bytes); }

int startValue(const Row& r, int part) { return r.defaultFor(part).value_or(r.min); }

} // namespace

uint8_t* Memory::at(Address a)
{
    return const_cast<uint8_t*>(static_cast<const Memory*>(this)->at(a));
}

const uint8_t* Memory::at(Address a) const
{
    if (a.high == kSystemHigh && a.mid == 0 && a.low < system_.size())
        return &system_[a.low];
    if (a.high == kEffectHigh && a.mid == kEffectMid && a.low < effect_.size())
        return &effect_[a.low];
    if (a.high == kPartHigh && a.mid < kParts && a.low < 0x80)
        return &part_[a.mid][a.low];
    if ((a.high == kDrumHigh || a.high == kDrumHigh + 1) && a.mid < 0x80 && a.low < 0x10)
        return &drum_[size_t(a.high - kDrumHigh)][a.mid][a.low];
    return nullptr;
}

void Memory::reset()
{
    // Made once and copied: a reset comes with every XG System On.
    static const Memory defaults = [] {
        Memory m(Fresh{});
        m.build();
        return m;
    }();
    *this = defaults;
}

void Memory::build()
{
    system_.fill(0);
    effect_.fill(0);
    for (auto& p : part_)
        p.fill(0);
    for (const Row& r : rows()) {
        if (r.command)
            continue;
        switch (r.table) {
        case Table::System:
        case Table::Effect: {
            const Param p{&r};
            write(at(p.address()), r, startValue(r, 0));
            break;
        }
        case Table::Part:
            for (int part = 0; part < kParts; ++part) {
                const Param p{&r, part};
                write(at(p.address()), r, startValue(r, part));
            }
            break;
        case Table::Drum: break;
        }
    }
    for (int s = 0; s < kDrumSetups; ++s)
        resetDrumSetup(s);
}

void Memory::resetDrumSetup(int setup)
{
    if (setup < 0 || setup >= kDrumSetups)
        return;
    for (auto& note : drum_[size_t(setup)])
        note.fill(0);
    for (const Row* r : rowsOf(Table::Drum))
        for (int n = kFirstDrumNote; n <= kLastDrumNote; ++n) {
            const Param p{r, 0, setup, n};
            write(at(p.address()), *r, startValue(*r, 0));
        }
}

int Memory::value(const Param& p) const
{
    const uint8_t* b = at(p.address());
    if (!b)
        return -1;
    return decode(*p.row, std::span(b, p.row->size)).value_or(-1);
}

bool Memory::set(const Param& p, int value)
{
    uint8_t* b = at(p.address());
    return b && !p.row->command && encodeInto(*p.row, value, b);
}

std::vector<uint8_t> Memory::block(const BlockAt& at) const
{
    const uint8_t* b = this->at(at.top);
    return b ? std::vector<uint8_t>(b, b + at.block->size) : std::vector<uint8_t>{};
}

std::string Memory::takeBlock(const BlockAt& blockAt, std::span<const uint8_t> data)
{
    if (!blockAt.block)
        return "no XG block starts there";
    if (data.empty() || data.size() > blockAt.block->size)
        return "it holds " + std::to_string(data.size()) + " bytes, the block " + std::to_string(blockAt.block->size);
    // Every parameter that starts inside the data, whole and in range,
    // before a byte is written.
    struct Put {
        Param p;
        int value;
    };
    std::vector<Put> puts;
    for (size_t i = 0; i < data.size(); ++i) {
        const Address a{blockAt.top.high, blockAt.top.mid, uint8_t(blockAt.top.low + i)};
        const auto p = paramAt(a);
        if (!p)
            continue;  // a byte no parameter owns
        if (i + p->row->size > data.size())
            return p->name() + " is cut off";
        const auto v = decode(*p->row, data.subspan(i, p->row->size));
        if (!v || !p->row->takes(*v))
            return p->name() + " out of range";
        puts.push_back({*p, *v});
    }
    for (const Put& put : puts)
        set(put.p, put.value);
    return {};
}

} // namespace kw::xg
