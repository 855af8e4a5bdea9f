// The editor as main() runs it, with a change to the virtual CS1x's memory
// that only the shutdown can save (its own save waits for a quiet second).
// Prints the status line ("status: ...") and then "ready" once the event
// loop is about to run. Used by test_signals.
//
// Options:
//   --scripted          every dialog is answered by a script; each box's
//                       text and each progress text is printed as it comes
//                       ("box: ...", first lines only)
//   --send-bank FILE    sends that bank to the virtual CS1x from the
//                       Bulk-Dump menu (scripted)
//   --backup FILE       backs all 128 user performances up into that bank
//                       (scripted)

#include "editor/MainWindow.h"
#include "midi/Messages.h"
#include "midi/MidiSession.h"
#include "midi/VirtualBackend.h"
#include "shell/Application.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QLabel>

#include <cstdio>
#include <cstring>

namespace {

void print(const std::string& prefix, const std::string& text)
{
    std::printf("%s%s\n", prefix.c_str(), text.substr(0, text.find('\n')).c_str());
    std::fflush(stdout);
}

class PrintedDialogs : public kwtest::ScriptedDialogs {
public:
    using ScriptedDialogs::inform;
    void inform(const std::string& text) override
    {
        ScriptedDialogs::inform(text);
        print("box: ", text);
    }
    void notify(const std::string& text) override
    {
        ScriptedDialogs::notify(text);
        print("box: ", text);
    }
    void answer(const std::string& text, const std::string& topic) override
    {
        ScriptedDialogs::answer(text, topic);
        print("box: ", text);
    }
    std::unique_ptr<kw::Progress> progress(const std::string&, const std::string&, int) override
    {
        return std::make_unique<Printed>();
    }

private:
    struct Printed : kw::Progress {
        void setValue(int) override {}
        void setText(const std::string& text) override { print("", text); }
        bool cancelled() const override { return false; }
        void close() override {}
    };
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    PrintedDialogs dialogs;
    kw::Application::Options options;
    const char* menu = nullptr;
    for (int i = 1; i < argc; ++i) {
        const bool withFile = i + 1 < argc;
        if (std::strcmp(argv[i], "--scripted") == 0) {
            options.dialogs = &dialogs;
        } else if (std::strcmp(argv[i], "--send-bank") == 0 && withFile) {
            options.dialogs = &dialogs;
            dialogs.files = {argv[++i]};
            menu = "MenuBulkPerfBankSynth";
        } else if (std::strcmp(argv[i], "--backup") == 0 && withFile) {
            options.dialogs = &dialogs;
            dialogs.asks = {1};
            dialogs.files = {argv[++i]};
            menu = "MenuBulkAllPerfHD";
        }
    }
    kw::Application knobwright(std::move(options));
    if (!knobwright.start())
        return 3;
    if (kw::VirtualBackend* v = knobwright.midi().virtualSynth())
        v->synth().handle(kw::msg::parameterChange(0x70, 5, 0x00, 'S'));
    if (menu)
        knobwright.window().action(menu)->trigger();
    // The whole text, also when the line shows it cut.
    const auto* line = knobwright.window().findChild<QLabel*>("StatusLabel");
    print("status: ", (line->toolTip().isEmpty() ? line->text() : line->toolTip()).toStdString());
    std::puts("ready");
    std::fflush(stdout);
    QApplication::exec();
    knobwright.finish();
    return 0;
}
