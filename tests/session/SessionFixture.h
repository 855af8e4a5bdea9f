#pragma once
// The File and Bulk-Dump commands as the program wires them, against the
// virtual CS1x in virtual time, with a private folder for the files.

#include "files/FilesFixture.h"
#include "midi/MidiCore.h"
#include "model/Settings.h"
#include "session/BulkCommands.h"
#include "session/EditSession.h"
#include "session/FileCommands.h"
#include "session/Links.h"
#include "support/RecordingUi.h"
#include "support/ScriptedDialogs.h"
#include "support/VirtualSynthPort.h"

#include <gtest/gtest.h>

namespace kwtest {

// The window's part: boxes go through the dialogs, as the window's do.
class WindowUi : public RecordingUi {
public:
    explicit WindowUi(ScriptedDialogs& d) : dialogs_(d) {}
    void messageBox(const std::string& text) override
    {
        log.push_back("box:" + text);
        dialogs_.notify(text);
    }
    void answerBox(const std::string& text, const std::string& topic) override
    {
        log.push_back("answer:" + text);
        dialogs_.answer(text, topic);
    }
    void withdrawBox(const std::string& topic) override { dialogs_.withdraw(topic); }
    bool messageBoxShown() const override { return dialogs_.notifying(); }
    // When set, the full refresh leaves the editor state as the window's does.
    kw::EditSession* session = nullptr;
    void refreshAll() override
    {
        RecordingUi::refreshAll();
        if (session)
            session->resetForRefresh();
    }

private:
    ScriptedDialogs& dialogs_;
};

struct SessionFixture : ::testing::Test {
    TempDir dir;
    VirtualScheduler clock;
    kw::Settings settings;
    kw::PerformanceImage img;
    kw::EditorState st;
    VirtualSynthPort synth{clock};
    ScriptedDialogs dialogs;
    WindowUi ui{dialogs};
    kw::Senders senders{img, st, synth};
    kw::MidiCore core{senders, ui, clock, settings};
    kw::EditSession session{img, st, senders};
    bool inputOpen = true;
    kw::CommandContext ctx{session, core.receiver, dialogs, settings, [this] { return inputOpen; }};
    kw::FileCommands file{ctx};
    kw::BulkCommands bulk{ctx};

    SessionFixture()
    {
        kw::setDefaults(img, st);
        synth.deliver = [this](const kw::Bytes& m) { core.dispatcher.handle(m); };
        session.attach(ui, dialogs);
        kw::linkToCore(session, core, [this] { return inputOpen; });
        settings.lastDir = settings.perfBankDir = dir.path().string();
    }
    ~SessionFixture() override { session.detach(); }

    void runAll() { clock.runAll(); }
    std::string entry(int pp) const { return session.userPerfs().entry(pp); }
    // The records of the first `count` user performances as the synth holds them.
    kw::Bytes synthMemory(int count = kw::kUserPerformances) const
    {
        kw::Bytes all;
        for (int pp = 0; pp < count; ++pp) {
            const kw::Bytes r = synth.userRecord(pp);
            all.insert(all.end(), r.begin(), r.end());
        }
        return all;
    }
    // Name and category of user performance `pp` in the synth.
    void nameOnSynth(int pp, const std::string& name8, int category)
    {
        for (size_t i = 0; i < 8; ++i)
            synth.synth.handle(kw::msg::parameterChange(0x70, uint8_t(pp), uint8_t(i),
                                                        uint8_t(i < name8.size() ? name8[i] : ' ')));
        synth.synth.handle(kw::msg::parameterChange(0x70, uint8_t(pp), 0x08, uint8_t(category)));
    }
    // "70 05 00"-style addresses of the bulk dumps sent, with the time of each (us).
    std::vector<std::pair<long long, std::string>> dumps() const
    {
        std::vector<std::pair<long long, std::string>> out;
        for (size_t i = 0; i < synth.sent.size(); ++i) {
            const kw::Bytes& m = synth.sent[i];
            if (m.size() > 11 && m[0] == 0xF0 && m[2] == 0x00)
                out.emplace_back(synth.sentAt[i], kwtest::hex(m).substr(18, 8));
        }
        return out;
    }
    std::vector<std::string> addresses() const
    {
        std::vector<std::string> out;
        for (const auto& d : dumps())
            out.push_back(d.second);
        return out;
    }
    // Between the bulk dumps sent, in ms.
    std::vector<long long> gaps() const
    {
        std::vector<long long> out;
        const auto d = dumps();
        for (size_t i = 1; i < d.size(); ++i)
            out.push_back((d[i].first - d[i - 1].first) / 1000);
        return out;
    }
    // The data bytes of seven blocks, without headers and checksums.
    static kw::Bytes editData(const kw::BlockSet& blocks)
    {
        kw::Bytes out;
        for (int i = 0; i < kw::kBlocksPerPerformance; ++i)
            for (size_t k = 0; k < blocks.at(i).dataLength(); ++k)
                out.push_back(blocks.at(i).data(k));
        return out;
    }
    bool boxed(const std::string& part) const
    {
        for (const std::string& b : dialogs.boxes)
            if (b.find(part) != std::string::npos)
                return true;
        return false;
    }
};

} // namespace kwtest
