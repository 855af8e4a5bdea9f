// The editor as main() runs it, with a change to the virtual CS1x's memory
// that only the shutdown can save (its own save waits for a quiet second).
// Prints "ready" once the event loop is about to run. Used by test_signals.
//
// With "--send-bank FILE" it also sends that bank to the virtual CS1x from
// the Bulk-Dump menu, the dialogs answered by a script, and prints each
// text of the progress window on a line of its own as it changes.

#include "editor/MainWindow.h"
#include "midi/Messages.h"
#include "midi/MidiSession.h"
#include "midi/VirtualBackend.h"
#include "shell/Application.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

class PrintedProgress : public kwtest::ScriptedDialogs {
public:
    std::unique_ptr<kw::Progress> progress(const std::string&, const std::string&, int) override
    {
        return std::make_unique<Printed>();
    }

private:
    struct Printed : kw::Progress {
        void setValue(int) override {}
        void setText(const std::string& text) override
        {
            std::printf("%s\n", text.substr(0, text.find('\n')).c_str());
            std::fflush(stdout);
        }
        bool cancelled() const override { return false; }
        void close() override {}
    };
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool sendBank = argc == 3 && std::strcmp(argv[1], "--send-bank") == 0;
    PrintedProgress dialogs;
    kw::Application::Options options;
    if (sendBank) {
        dialogs.files = {argv[2]};
        options.dialogs = &dialogs;
    }
    kw::Application knobwright(std::move(options));
    if (!knobwright.start())
        return 3;
    if (kw::VirtualBackend* v = knobwright.midi().virtualSynth())
        v->synth().handle(kw::msg::parameterChange(0x70, 5, 0x00, 'S'));
    if (sendBank)
        knobwright.window().action("MenuBulkPerfBankSynth")->trigger();
    std::puts("ready");
    std::fflush(stdout);
    QApplication::exec();
    knobwright.finish();
    return 0;
}
