#pragma once
// A MIDI backend with whatever device lists a test needs; records every
// open, close and message, and can be told to fail.

#include "midi/MidiBackend.h"
#include "midi/OutputPort.h"

#include <string>
#include <vector>

namespace kwtest {

class FakeBackend : public kw::MidiBackend {
public:
    struct Log {
        std::vector<std::string> events;      // "open in NAME#n", "close out NAME#n", ...
        std::vector<kw::Bytes> sent;          // through any output
        std::vector<std::string> sentVia;     // "NAME#n" of the output each went through
        kw::RawInput input;                   // the sink of the open input
    };

    FakeBackend(std::vector<std::string> ins, std::vector<std::string> outs, Log& log)
        : ins_(std::move(ins)), outs_(std::move(outs)), log_(log) {}

    int openInResult = kw::MidiResult::Ok;
    int openOutResult = kw::MidiResult::Ok;
    int closeInResult = kw::MidiResult::Ok;
    int closeOutResult = kw::MidiResult::Ok;
    // What the open ports say when asked whether they still work.
    bool inWorking = true;
    bool outWorking = true;

    std::string apiName() const override { return "Fake"; }
    std::vector<std::string> inputNames() override { return ins_; }
    std::vector<std::string> outputNames() override { return outs_; }

    kw::Opened<kw::BackendInput> openInput(const std::string& name, int occ, kw::RawInput sink) override
    {
        log_.events.push_back("open in " + name + "#" + std::to_string(occ));
        if (openInResult != kw::MidiResult::Ok)
            return {nullptr, openInResult};
        log_.input = std::move(sink);
        return {std::make_unique<In>(*this, name + "#" + std::to_string(occ)), kw::MidiResult::Ok};
    }
    kw::Opened<kw::BackendOutput> openOutput(const std::string& name, int occ) override
    {
        log_.events.push_back("open out " + name + "#" + std::to_string(occ));
        if (openOutResult != kw::MidiResult::Ok)
            return {nullptr, openOutResult};
        return {std::make_unique<Out>(*this, name + "#" + std::to_string(occ)), kw::MidiResult::Ok};
    }

private:
    struct In : kw::BackendInput {
        In(FakeBackend& b, std::string id) : b(b), id(std::move(id)) {}
        int close() override
        {
            b.log_.events.push_back("close in " + id);
            if (b.closeInResult == kw::MidiResult::Ok)
                b.log_.input = {};
            return b.closeInResult;
        }
        bool working() override { return b.inWorking; }
        FakeBackend& b;
        std::string id;
    };
    struct Out : kw::BackendOutput {
        Out(FakeBackend& b, std::string id) : b(b), id(std::move(id)) {}
        int send(kw::ByteView m) override
        {
            b.log_.sent.emplace_back(m.begin(), m.end());
            b.log_.sentVia.push_back(id);
            return kw::MidiResult::Ok;
        }
        int close() override
        {
            b.log_.events.push_back("close out " + id);
            return b.closeOutResult;
        }
        bool working() override { return b.outWorking; }
        FakeBackend& b;
        std::string id;
    };

    std::vector<std::string> ins_, outs_;
    Log& log_;
};

} // namespace kwtest
