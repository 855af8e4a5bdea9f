#pragma once
// MIDI devices with cables between them: a backend whose ports can be open
// many at once (a search opens them all), where a message out of a port
// reaches whatever is cabled to it and the answers come back on the input
// the cable leads to, through the virtual clock. Devices can be unplugged
// and plugged back in, as a USB cable is pulled.

#include "midi/MidiBackend.h"
#include "midi/OutputPort.h"
#include "midi/VirtualCs1x.h"
#include "VirtualScheduler.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kwtest {

class PatchBay : public kw::MidiBackend {
public:
    using Responder = std::function<std::vector<kw::Bytes>(kw::ByteView)>;

    PatchBay(VirtualScheduler& clock, std::vector<std::string> ins, std::vector<std::string> outs)
        : clock_(clock), ins_(std::move(ins)), outs_(std::move(outs))
    {
    }

    // What goes out of `output` is answered by `respond`, `delayMs` later,
    // on `input`.
    void cable(const std::string& output, const std::string& input, Responder respond, int delayMs = 3)
    {
        cables_.push_back({output, input, std::move(respond), delayMs});
    }
    // A CS1x (the editor's own emulation) cabled to `output` and `input`.
    kw::VirtualCs1x& cableSynth(const std::string& output, const std::string& input, int delayMs = 3)
    {
        synths_.push_back(std::make_unique<kw::VirtualCs1x>());
        kw::VirtualCs1x* synth = synths_.back().get();
        cable(output, input, [synth](kw::ByteView m) { return synth->handle(m); }, delayMs);
        return *synth;
    }
    // The ports called `name` leave the lists; those open stop working and
    // carry nothing any more. plug() brings them back (not the old openings).
    void unplug(const std::string& name) { gone_.insert(name); ++epoch_[name]; }
    void plug(const std::string& name) { gone_.erase(name); }

    std::string apiName() const override { return "PatchBay"; }
    bool searchable() const override { return searchable_; }
    bool searchable_ = true;
    std::vector<std::string> inputNames() override { return present(ins_); }
    std::vector<std::string> outputNames() override { return present(outs_); }

    kw::Opened<kw::BackendInput> openInput(const std::string& name, int occ, kw::RawInput sink) override
    {
        if (!listed(ins_, name, occ))
            return {nullptr, kw::MidiResult::BadDeviceId};
        const int id = ++next_;
        inputs_[id] = {name, epoch_[name], std::move(sink)};
        ++opens_;
        mostInputs_ = std::max(mostInputs_, int(inputs_.size()));
        return {std::make_unique<In>(*this, id), kw::MidiResult::Ok};
    }
    kw::Opened<kw::BackendOutput> openOutput(const std::string& name, int occ) override
    {
        if (!listed(outs_, name, occ))
            return {nullptr, kw::MidiResult::BadDeviceId};
        ++openOuts_;
        ++opens_;
        mostOutputs_ = std::max(mostOutputs_, openOuts_);
        return {std::make_unique<Out>(*this, name, epoch_[name]), kw::MidiResult::Ok};
    }

    // Open now, in each direction.
    int openInputs() const { return int(inputs_.size()); }
    int openOutputs() const { return openOuts_; }
    int opens() const { return opens_; }
    // The most open at once, in each direction.
    int mostInputs() const { return mostInputs_; }
    int mostOutputs() const { return mostOutputs_; }
    // Every message that went out, with the port it went out of.
    std::vector<std::pair<std::string, kw::Bytes>> sent;
    size_t sentTo(const std::string& name) const
    {
        return size_t(std::count_if(sent.begin(), sent.end(), [&](const auto& s) { return s.first == name; }));
    }

private:
    struct Cable {
        std::string output, input;
        Responder respond;
        int delayMs;
    };
    struct OpenIn {
        std::string name;
        int epoch;
        kw::RawInput sink;
    };
    std::vector<std::string> present(const std::vector<std::string>& all) const
    {
        std::vector<std::string> out;
        for (const auto& n : all)
            if (!gone_.count(n))
                out.push_back(n);
        return out;
    }
    bool listed(const std::vector<std::string>& all, const std::string& name, int occ) const
    {
        const auto list = present(all);
        return occ >= 0 && std::count(list.begin(), list.end(), name) > occ;
    }
    bool alive(const std::string& name, int epoch) { return !gone_.count(name) && epoch_[name] == epoch; }
    void deliver(const std::string& input, const kw::Bytes& m)
    {
        for (auto& [id, in] : inputs_)
            if (in.name == input && alive(in.name, in.epoch) && in.sink)
                in.sink(m);
    }
    void received(const std::string& output, kw::ByteView m)
    {
        sent.emplace_back(output, kw::Bytes(m.begin(), m.end()));
        for (const Cable& c : cables_) {
            if (c.output != output)
                continue;
            for (kw::Bytes& reply : c.respond(m))
                // A device unplugged sends nothing more, as a real one: a
                // reply still on its way dies with the bay.
                clock_.after(c.delayMs, [this, life = std::weak_ptr<int>(life_), input = c.input,
                                         reply = std::move(reply)] {
                    if (life.lock())
                        deliver(input, reply);
                });
        }
    }

    struct In : kw::BackendInput {
        In(PatchBay& b, int id) : b(b), id(id) {}
        ~In() override { b.inputs_.erase(id); }
        int close() override
        {
            b.inputs_.erase(id);
            return kw::MidiResult::Ok;
        }
        bool working() override
        {
            auto it = b.inputs_.find(id);
            return it != b.inputs_.end() && b.alive(it->second.name, it->second.epoch);
        }
        PatchBay& b;
        int id;
    };
    struct Out : kw::BackendOutput {
        Out(PatchBay& b, std::string name, int epoch) : b(b), name(std::move(name)), epoch(epoch) {}
        ~Out() override { close(); }
        int send(kw::ByteView m) override
        {
            if (!b.alive(name, epoch))
                return kw::MidiResult::BadDeviceId;
            b.received(name, m);
            return kw::MidiResult::Ok;
        }
        int close() override
        {
            if (open) {
                open = false;
                --b.openOuts_;
            }
            return kw::MidiResult::Ok;
        }
        bool working() override { return b.alive(name, epoch); }
        PatchBay& b;
        std::string name;
        int epoch;
        bool open = true;
    };

    VirtualScheduler& clock_;
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
    std::vector<std::string> ins_, outs_;
    std::vector<Cable> cables_;
    std::vector<std::unique_ptr<kw::VirtualCs1x>> synths_;
    std::set<std::string> gone_;
    std::map<std::string, int> epoch_;
    std::map<int, OpenIn> inputs_;
    int next_ = 0;
    int openOuts_ = 0;
    int opens_ = 0;
    int mostInputs_ = 0;
    int mostOutputs_ = 0;
};

} // namespace kwtest
