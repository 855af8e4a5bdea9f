#include "midi/MidiSession.h"

#include "midi/RtMidiBackend.h"
#include "midi/VirtualBackend.h"

namespace kw {

MidiSession::MidiSession(Settings& settings, Scheduler& sched, PortHooks hooks, const QString& virtualMemory)
{
    auto backends = systemBackends();
    auto v = std::make_unique<VirtualBackend>(sched, virtualMemory, hooks.messageBox);
    virtual_ = v.get();
    backends.push_back(std::move(v));
    ports_ = std::make_unique<MidiPorts>(settings, std::move(backends), std::move(hooks));
}

MidiSession::MidiSession(Settings& settings, Scheduler& sched, PortHooks hooks)
    : MidiSession(settings, sched, std::move(hooks), defaultVirtualMemoryPath())
{
}

MidiSession::MidiSession(Settings& settings, std::vector<std::unique_ptr<MidiBackend>> backends, PortHooks hooks,
                         UiPost post)
    : ports_(std::make_unique<MidiPorts>(settings, std::move(backends), std::move(hooks), std::move(post)))
{
}

bool MidiSession::saveVirtualMemory() { return !virtual_ || virtual_->saveMemory(); }

void MidiSession::closePorts()
{
    ports_->closeInput();
    ports_->closeOutput();
}

} // namespace kw
