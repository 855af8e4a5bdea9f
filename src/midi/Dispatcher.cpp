#include "midi/Dispatcher.h"

#include "midi/HexText.h"
#include "midi/MidiTimers.h"
#include "midi/Receiver.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/FieldTable.h"
#include "model/NameTables.h"
#include "model/PerformanceImage.h"
#include "model/Settings.h"

#include <utility>

namespace kw {

namespace {

constexpr uint8_t kActiveSensing = 0xFE;
constexpr size_t kPieceMax = 10;

std::string piece(std::string s)
{
    if (s.size() > kPieceMax)
        s.resize(kPieceMax);
    return s;
}

struct ControllerText {
    uint8_t controller;
    const char* event;
    bool centred;  // shown as value - 64
};
constexpr ControllerText kControllerTexts[] = {
    {1, "M-Wheel", false},   {17, "Assign 1", true}, {18, "Assign 2", true}, {71, "Resonance", true},
    {72, "Release", true},   {73, "Attack", true},   {74, "Cutoff", true},
};

// The synth's four front-panel knobs and the layer controls they move; the
// controls' field rows hold where the value goes and how it reads.
struct KnobRule {
    uint8_t controller;
    const char* control;
};
constexpr KnobRule kKnobs[] = {
    {71, "FilterResonance"},
    {72, "AEGRelTime"},
    {73, "AEGAtkTime"},
    {74, "FilterCutoff"},
};

} // namespace

Dispatcher::Dispatcher(Receiver& rx, MidiTimers& timers, Senders& senders, Ui& ui, const Settings& settings,
                       Scheduler& sched)
    : rx_(rx), timers_(timers), senders_(senders), ui_(ui), settings_(settings),
      dialogWatch_(sched, [this] { programChangeAfterDialog(); })
{
}

std::string Dispatcher::statusText(uint8_t status, uint8_t d1, uint8_t d2)
{
    const std::string channel = piece("<" + std::to_string((status & 0x0F) + 1) + "> ");
    std::string event, note, suffix;
    switch (status >> 4) {
    case 0x9:
        note = noteName(d1);
        if (d2 > 0) {
            event = "Note-ON  [";
            suffix = "]  Vel " + std::to_string(d2);
        } else {
            event = "Note-OFF [";
            suffix = "]";
        }
        break;
    case 0xB:
        for (const ControllerText& c : kControllerTexts)
            if (c.controller == d1) {
                event = c.event;
                suffix = " " + std::to_string(c.centred ? int(d2) - 64 : int(d2));
            }
        break;
    case 0xC: return {};
    case 0xE:
        event = "Pitch-Bend";
        suffix = " " + std::to_string(int(d1) + 128 * int(d2) - 8192);
        break;
    default: return channel + hexByte(status) + " " + hexByte(d1) + " " + hexByte(d2);
    }
    return channel + piece(event) + piece(note) + piece(suffix);
}

void Dispatcher::handle(const Bytes& message)
{
    if (message.empty() || message[0] == kActiveSensing)
        return;
    timers_.inputActivity();

    if (message[0] == 0xF0) {
        // Only the reply to what was asked for is taken; anything else is
        // unsolicited, also while a request waits for its reply.
        if (!rx_.receive(message))
            timers_.status("Received Bullshit...");
        return;
    }

    // A short message shorter than three bytes reads as if padded with zeros;
    // data bytes never carry the top bit.
    const uint8_t status = message[0];
    const uint8_t d1 = message.size() > 1 ? message[1] & 0x7F : 0;
    const uint8_t d2 = message.size() > 2 ? message[2] & 0x7F : 0;

    if ((status >> 4) == 0xC) {
        programChange(d1);
        return;
    }
    timers_.status(statusText(status, d1, d2));
    if ((status >> 4) == 0xB)
        followKnob(d1, d2);
}

void Dispatcher::followKnob(uint8_t controller, uint8_t value)
{
    if (!settings_.synthKnobs)
        return;
    for (const KnobRule& k : kKnobs) {
        if (k.controller != controller)
            continue;
        const FieldRow* row = findField(k.control);
        if (!row)
            return;
        const int position = row->positionFromStored(value);
        // The synth already has the value: write the image, move the control,
        // and send nothing back.
        writeLayerField(senders_.image(), senders_.state(), row->offset, row->storedFromPosition(position));
        ui_.followKnob(k.control, position);
        return;
    }
}

void Dispatcher::programChange(uint8_t program)
{
    if (!settings_.programChanges || !senders_.portOpen() || !inputOpen_())
        return;
    if (ui_.dialogOpen()) {
        heldProgram_ = program;
        dialogWatch_.start(kDialogWatchMs);
        return;
    }
    heldProgram_.reset();
    dialogWatch_.stop();
    if (programChange_)
        programChange_(program);
}

void Dispatcher::programChangeAfterDialog()
{
    if (!heldProgram_)
        return;
    if (ui_.dialogOpen()) {
        dialogWatch_.start(kDialogWatchMs);
        return;
    }
    // Asked afresh: the dialog may have been Preferences, which can turn
    // "ProgramChanges" off or close a port.
    programChange(*std::exchange(heldProgram_, std::nullopt));
}

} // namespace kw
