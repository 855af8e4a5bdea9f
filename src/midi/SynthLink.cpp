#include "midi/SynthLink.h"

#include "midi/MidiCore.h"
#include "midi/MidiPorts.h"
#include "midi/Senders.h"
#include "midi/Ui.h"
#include "model/Settings.h"

namespace kw {

SynthLink::SynthLink(MidiPorts& ports, MidiCore& core, Senders& senders, Ui& ui, Settings& settings,
                     Scheduler& sched, Hooks hooks)
    : ports_(ports), core_(core), senders_(senders), ui_(ui), settings_(settings), sched_(sched),
      hooks_(std::move(hooks)), search_(ports, sched), watch_(sched, [this] { watch(); }),
      fetch_(sched, [this] { fetchWhatTheSynthHolds(); })
{
    // Not from inside the receiver: the fetch starts once the reply that
    // greeted the synth is dealt with.
    core_.receiver.setGreetedHandler([this] {
        if (hooks_.greeted)
            hooks_.greeted();
        if (settings_.fetchWhenFound && !stopped_)
            fetch_.start(0);
    });
}

SynthLink::~SynthLink()
{
    core_.receiver.setGreetedHandler({});
    stop();
}

std::string SynthLink::question(const SynthSearch::Found& f)
{
    return "A CS1x answers on " + SynthSearch::portText(f) + ". Use it?";
}

bool SynthLink::chosen() const { return !settings_.midiIn.empty() && !settings_.midiOut.empty(); }

void SynthLink::start()
{
    stopped_ = false;
    if (!chosen()) {
        show(State::Searching);
        search_.start({{}, [this](const std::optional<SynthSearch::Found>& f) { searchDone(f); }});
    }
    watch();
}

void SynthLink::stop()
{
    stopped_ = true;
    search_.stop();
    watch_.stop();
    fetch_.stop();
}

void SynthLink::check()
{
    if (stopped_)
        return;
    // Ports the user chose win over what a search at start may still offer.
    if (chosen())
        search_.stop();
    tried_ = false;
    watch();
}

void SynthLink::searchDone(const std::optional<SynthSearch::Found>& found)
{
    if (stopped_)
        return;
    if (found && !chosen() && hooks_.ask && hooks_.ask(question(*found)) && !stopped_ && !chosen()) {
        settings_.midiIn = found->input;
        settings_.midiOut = found->output;
        ports_.rescan();
        tried_ = true;
        if (ports_.configuredInput() >= 0)
            ports_.openInput(ports_.configuredInput());
        if (ports_.configuredOutput() >= 0)
            ports_.openOutput(ports_.configuredOutput());
        if (ports_.inputWorking() && ports_.outputWorking())
            greet();
    }
    if (!stopped_)
        watch();
}

void SynthLink::watch()
{
    if (stopped_)
        return;
    watch_.start(kWatchMs);
    // A box a port raises as it opens runs an event loop of its own, in
    // which the next look may come: that one waits for the next turn.
    if (watching_)
        return;
    watching_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{watching_};
    if (!chosen()) {
        showLamps(false, false);
        show(search_.running() ? State::Searching : State::NoneChosen);
        return;
    }
    bool inOk = ports_.inputWorking();
    bool outOk = ports_.outputWorking();
    // A port whose device went away is closed at once: every command then
    // finds it closed, and nothing is sent into a connection that leads
    // nowhere.
    if (!inOk && ports_.inputOpen())
        ports_.closeInput();
    if (!outOk && ports_.outputOpen())
        ports_.closeOutput();
    if (!(inOk && outOk)) {
        if (state_ != State::Lost) {
            show(State::Lost);
            core_.receiver.connectionLost(kDisconnectedText);
        }
        const bool there = (inOk || ports_.lists(Direction::In, settings_.midiIn))
                           && (outOk || ports_.lists(Direction::Out, settings_.midiOut));
        if (!there)
            tried_ = false;
        // A device that has just appeared is opened at the next look, once
        // its driver has come up whole: a JACK client of ours that comes
        // while the device's own clients still start may stall the server.
        const bool settled = there && there_;
        there_ = there;
        // Not under a dialog: Preferences shows the device lists, which a
        // reopening reads anew.
        if (settled && !tried_ && !ui_.dialogOpen()) {
            tried_ = true;
            reopen();
            inOk = ports_.inputWorking();
            outOk = ports_.outputWorking();
        }
    }
    if (inOk && outOk) {
        there_ = false;  // the next loss starts looking afresh
        show(State::Connected);
    } else {
        show(State::Lost);
    }
    showLamps(inOk, outOk);
}

void SynthLink::reopen()
{
    ports_.rescan();
    if (!ports_.inputWorking() && ports_.configuredInput() >= 0)
        ports_.openInput(ports_.configuredInput());
    if (!ports_.outputWorking() && ports_.configuredOutput() >= 0)
        ports_.openOutput(ports_.configuredOutput());
    if (ports_.inputWorking() && ports_.outputWorking())
        greet();
}

void SynthLink::greet()
{
    // As at start: the start-up message, then the identity request, which
    // the receiver asks once more by itself when the first goes unanswered.
    senders_.startupMessage();
    senders_.request(Request::identity());
}

void SynthLink::fetchWhatTheSynthHolds()
{
    if (stopped_ || !settings_.fetchWhenFound || !ports_.inputWorking() || !ports_.outputWorking())
        return;
    Receiver& rx = core_.receiver;
    // A transfer the user started has the synth now.
    if (rx.chainRunning() || rx.chainQueued())
        return;
    if (hooks_.userWork && hooks_.userWork()) {
        core_.timers.status(kEditKeptText, MidiTimers::kReportMs);
        return;
    }
    // The edit buffer may hold any performance: no line of the list is
    // known to be it. Nothing is sent that changes the synth: no program
    // change, only the requests.
    senders_.state().selectedUserPerf = -1;
    ui_.selectUserPerf(-1);
    rx.startPerformanceFetch();
}

void SynthLink::show(State s)
{
    if (s == state_)
        return;
    state_ = s;
    switch (s) {
    case State::Searching: core_.timers.setPortText(kLookingText); break;
    case State::NoneChosen: core_.timers.setPortText(kNoDeviceChosenText); break;
    case State::Lost: core_.timers.setPortText(kDisconnectedText); break;
    default: core_.timers.setPortText({}); break;
    }
}

void SynthLink::showLamps(bool inOk, bool outOk)
{
    const bool any = chosen();
    const LampState in = !any ? LampState::Off : inOk ? LampState::Ready : LampState::Lost;
    const LampState out = !any ? LampState::Off : outOk ? LampState::Ready : LampState::Lost;
    const int code = int(in) * 3 + int(out);
    const std::string names = settings_.midiIn + '\n' + settings_.midiOut;
    if (code == lamps_ && names == lampPorts_)
        return;
    lamps_ = code;
    lampPorts_ = names;
    ui_.setLampState(Lamp::In, in, settings_.midiIn);
    ui_.setLampState(Lamp::Out, out, settings_.midiOut);
}

} // namespace kw
