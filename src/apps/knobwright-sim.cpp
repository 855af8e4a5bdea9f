// knobwright-sim: the virtual CS1x on real MIDI ports, for playing the
// instrument's part against the editor (or any other program) without one.

#include "midi/DriverLog.h"
#include "midi/HexText.h"
#include "midi/InputAssembler.h"
#include "midi/InputQueue.h"
#include "midi/QtScheduler.h"
#include "midi/RtMidiBackend.h"
#include "midi/VirtualBackend.h"
#include "midi/VirtualCs1x.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <rtmidi/RtMidi.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <limits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#ifndef KW_VERSION
#define KW_VERSION "unknown"
#endif

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

void usage(FILE* to)
{
    std::fprintf(to,
                 "Usage: knobwright-sim [--api jack|alsa] [--client NAME] [--name NAME] [--memory FILE | --volatile]\n"
                 "                      [--trace] [--multi]\n"
                 "                      [--drop P] [--late MS] [--wrong-length P] [--bad-checksum P]\n"
                 "                      [--unsolicited P] [--vanish-after N] [--seed S]\n"
                 "Runs the virtual CS1x on one virtual MIDI input and one output port, both called\n"
                 "NAME (default \"Virtual CS1x\"), until interrupted.\n"
                 "  --api      RtMidi API to use (default: jack)\n"
                 "  --client   the MIDI client the ports belong to (default \"knobwright-sim\")\n"
                 "  --memory   file holding the synth's memory between runs\n"
                 "             (default: the editor's own virtual CS1x memory)\n"
                 "  --volatile keep the memory for this run only\n"
                 "  --trace    print every message received (<-) and sent (->) in hex\n"
                 "  --multi    start in Multi mode (sixteen XG parts with their own effects)\n"
                 "             rather than Performance mode\n"
                 "  --version  show the version\n"
                 "A synth that misbehaves on purpose (P is a chance per message, 0 to 1):\n"
                 "  --drop P          a reply is lost\n"
                 "  --late MS         everything it sends comes up to MS ms later (in order still)\n"
                 "  --wrong-length P  a reply comes one to three bytes short or long\n"
                 "  --bad-checksum P  a bulk dump's checksum does not fit its data\n"
                 "  --unsolicited P   after a message, something nobody asked for follows (notes,\n"
                 "                    controllers, SysEx, now and then a performance picked on the panel)\n"
                 "  --vanish-after N  after N messages the synth hears and says nothing any more\n"
                 "  --seed S          the dice of the faults: the same seed and the same messages give\n"
                 "                    the same faults (default: new each run, printed at start)\n"
                 "Lines on standard input play the instrument's panel:\n"
                 "  program N  select user performance N (0-127) and send its program change\n"
                 "  mode multi|performance  switch the tone generator's mode\n"
                 "  send HEX.. send any message, e.g. \"send B0 4A 40\" for the cutoff knob\n");
}

[[noreturn]] void badValue(const std::string& option, const std::string& value)
{
    std::fprintf(stderr, "knobwright-sim: %s does not take '%s'\n", option.c_str(), value.c_str());
    std::exit(2);
}

double chanceValue(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(v >= 0 && v <= 1))
        badValue(option, text);
    return v;
}

long long wholeValue(const std::string& option, const std::string& text, long long max)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < 0 || v > max)
        badValue(option, text);
    return v;
}

// One line of panel input -> the messages the instrument sends for it.
std::vector<kw::Bytes> panelCommand(kw::VirtualCs1x& synth, const std::string& line)
{
    std::istringstream in(line);
    std::string word;
    if (!(in >> word))
        return {};
    if (word == "mode") {
        std::string mode;
        in >> mode;
        if (mode == "multi" || mode == "performance") {
            synth.setToneMode(mode == "multi" ? kw::ToneMode::Multi : kw::ToneMode::Performance);
            return {};
        }
    } else if (word == "program") {
        int pp = -1;
        if (in >> pp && pp >= 0 && pp <= 127)
            return synth.selectOnPanel(pp);
    } else if (word == "send") {
        kw::Bytes m;
        unsigned v;
        while (in >> std::hex >> v && v <= 0xFF)
            m.push_back(uint8_t(v));
        if (!m.empty() && in.eof())
            return {m};
    }
    std::fprintf(stderr, "knobwright-sim: cannot do '%s'\n", line.c_str());
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    std::string api = "jack";
    std::string name = kw::kVirtualDeviceName;
    std::string client = "knobwright-sim";
    QString memory;
    bool defaultMemory = true;
    bool trace = false;
    bool multi = false;
    kw::SynthFaults faults;
    bool seeded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage(stderr);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--api")
            api = value();
        else if (a == "--name")
            name = value();
        else if (a == "--client")
            client = value();
        else if (a == "--memory") {
            memory = QString::fromStdString(value());
            defaultMemory = false;
        } else if (a == "--volatile") {
            memory.clear();
            defaultMemory = false;
        } else if (a == "--trace")
            trace = true;
        else if (a == "--multi")
            multi = true;
        else if (a == "--drop")
            faults.drop = chanceValue(a, value());
        else if (a == "--late")
            faults.lateMs = int(wholeValue(a, value(), 600000));
        else if (a == "--wrong-length")
            faults.wrongLength = chanceValue(a, value());
        else if (a == "--bad-checksum")
            faults.badChecksum = chanceValue(a, value());
        else if (a == "--unsolicited")
            faults.unsolicited = chanceValue(a, value());
        else if (a == "--vanish-after")
            faults.vanishAfter = long(wholeValue(a, value(), std::numeric_limits<long>::max()));
        else if (a == "--seed") {
            const std::string text = value();
            char* end = nullptr;
            errno = 0;
            faults.seed = std::strtoull(text.c_str(), &end, 10);
            if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0)
                badValue(a, text);
            seeded = true;
        }
        else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("knobwright-sim %s\n", KW_VERSION);
            return 0;
        } else {
            usage(stderr);
            return 2;
        }
    }

    QCoreApplication app(argc, argv);
    if (defaultMemory)
        memory = kw::defaultVirtualMemoryPath();

    const RtMidi::Api rtApi = RtMidi::getCompiledApiByName(api);
    if (rtApi == RtMidi::UNSPECIFIED) {
        std::fprintf(stderr, "knobwright-sim: unknown MIDI API '%s'\n", api.c_str());
        return 2;
    }

    kw::QtScheduler sched;
    kw::VirtualCs1x synth;
    if (multi)
        synth.setToneMode(kw::ToneMode::Multi);
    kw::VirtualMemoryFile memoryFile(synth, sched, memory);
    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
    // libjack's and ALSA's own chatter goes to the log; RtMidi's words on
    // an API that does not start still come, and ours below.
    kw::routeDriverMessages();
    try {
        in = std::make_unique<RtMidiIn>(rtApi, client);
        out = std::make_unique<RtMidiOut>(rtApi, client);
    } catch (const RtMidiError& e) {
        std::fprintf(stderr, "knobwright-sim: %s\n", e.what());
        return 1;
    }

    auto sendOut = [&](const kw::Bytes& m) {
        if (trace) {
            std::printf("-> %s\n", kw::hexText(m).c_str());
            std::fflush(stdout);
        }
        out->sendMessage(m.data(), m.size());
    };
    // Everything the synth says goes down one cable, in order, with the
    // faults it was asked for.
    if (!seeded)
        faults.seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    kw::SynthCable cable(synth, sched, sendOut);
    cable.setFaults(faults);

    // Replies are sent from the event loop, never from inside the driver's
    // callback, and one message at a time in the order requests came in.
    kw::UiHop hop;
    kw::InputQueue queue(hop.poster(), [&](kw::InputItem& item) {
        if (item.bytes.empty()) {
            std::fprintf(stderr, "knobwright-sim: %s\n", kw::kSysExTooLongText);
            return;
        }
        if (trace) {
            std::printf("<- %s\n", kw::hexText(item.bytes).c_str());
            std::fflush(stdout);
        }
        cable.received(item.bytes);
    });
    kw::InputAssembler assembler({[&](kw::Bytes m) { queue.push({0, std::move(m)}); },
                                  [&] { queue.push({0, {}}); }});

    try {
        in->ignoreTypes(false, true, true);
        in->setCallback(
            [](double, std::vector<unsigned char>* m, void* self) {
                if (m && !m->empty())
                    static_cast<kw::InputAssembler*>(self)->feed(kw::ByteView(m->data(), m->size()));
            },
            &assembler);
        in->openVirtualPort(name);
        out->openVirtualPort(name);
    } catch (const RtMidiError& e) {
        std::fprintf(stderr, "knobwright-sim: %s\n", e.what());
        return 1;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("knobwright-sim: socketpair");
        return 1;
    }
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        char c;
        [[maybe_unused]] const auto n = ::read(signalPipe[0], &c, 1);
        app.quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    // The panel: one command a line on standard input (a pipe, a FIFO or a
    // terminal); end of input just stops listening.
    std::string pending;
    QSocketNotifier panel(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&panel, &QSocketNotifier::activated, &app, [&] {
        char buf[512];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            panel.setEnabled(false);
            return;
        }
        pending.append(buf, size_t(n));
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            cable.sendOwn(panelCommand(synth, line));
        }
    });

    std::printf("knobwright-sim: \"%s\" ready on %s%s%s\n", name.c_str(), RtMidi::getApiName(rtApi).c_str(),
                memory.isEmpty() ? "" : ", memory in ", memory.toLocal8Bit().constData());
    if (faults.any())
        std::printf("knobwright-sim: misbehaving on purpose; --seed %llu replays it\n",
                    static_cast<unsigned long long>(faults.seed));
    std::fflush(stdout);
    app.exec();
    if (faults.any())
        std::fprintf(stderr, "knobwright-sim: faults (--seed %llu): %s\n", static_cast<unsigned long long>(faults.seed),
                     cable.counts().text().c_str());

    // The memory first: closing ports of a JACK server that went away may
    // not come back.
    memoryFile.save();
    in->cancelCallback();
    in->closePort();
    out->closePort();
    return 0;
}
