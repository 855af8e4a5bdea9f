#include "session/library/SynthMemory.h"

namespace kw {

SynthMemory::SynthMemory(std::function<std::time_t()> now) : now_(std::move(now))
{
    if (!now_)
        now_ = [] { return std::time(nullptr); };
}

void SynthMemory::saw(int number, const PerformanceData& data, How how)
{
    if (number < 0 || number >= int(memories_.size()))
        return;
    memories_[size_t(number)] = Known{data, how, now_()};
}

void SynthMemory::greeted()
{
    memories_.fill(std::nullopt);
    greetedAt_ = now_();
}

const SynthMemory::Known* SynthMemory::known(int number) const
{
    if (number < 0 || number >= int(memories_.size()) || !memories_[size_t(number)])
        return nullptr;
    return &*memories_[size_t(number)];
}

} // namespace kw
