// The editor as main() runs it, with a change to the virtual CS1x's memory
// that only the shutdown can save (its own save waits for a quiet second).
// Prints "ready" once the event loop is about to run. Used by test_signals.

#include "midi/Messages.h"
#include "midi/MidiSession.h"
#include "midi/VirtualBackend.h"
#include "shell/Application.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    kw::Application knobwright({});
    if (!knobwright.start())
        return 3;
    if (kw::VirtualBackend* v = knobwright.midi().virtualSynth())
        v->synth().handle(kw::msg::parameterChange(0x70, 5, 0x00, 'S'));
    std::puts("ready");
    std::fflush(stdout);
    QApplication::exec();
    knobwright.finish();
    return 0;
}
