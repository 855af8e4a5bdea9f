#pragma once
// The File and Bulk-Dump commands as the program wires them, against the
// virtual CS1x in virtual time, with a private folder for the files.

#include "files/FilesFixture.h"
#include "library/BulkCommands.h"
#include "library/EditSession.h"
#include "library/FileCommands.h"
#include "midi/MidiCore.h"
#include "model/Settings.h"
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
        RecordingUi::messageBox(text);
        dialogs_.inform(text);
    }

private:
    ScriptedDialogs& dialogs_;
};

struct LibraryFixture : ::testing::Test {
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
    kw::LibraryContext lib{session, core.receiver, dialogs, settings, [this] { return inputOpen; }};
    kw::FileCommands file{lib};
    kw::BulkCommands bulk{lib};

    LibraryFixture()
    {
        kw::setDefaults(img, st);
        synth.deliver = [this](const kw::Bytes& m) { core.dispatcher.handle(m); };
        session.attach(ui, dialogs);
        kw::linkToCore(session, core, [this] { return inputOpen; });
        settings.lastDir = settings.perfBankDir = dir.path().string();
    }
    ~LibraryFixture() override { session.detach(); }

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
    bool boxed(const std::string& part) const
    {
        for (const std::string& b : dialogs.boxes)
            if (b.find(part) != std::string::npos)
                return true;
        return false;
    }
};

} // namespace kwtest
