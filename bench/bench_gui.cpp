// The main window's costs, measured offscreen on the real window:
//   edit to port      a bar moved until its message(s) reached the port (one layer, all four)
//   edit + repaint    the same edit until the window has repainted what it changed
//   refresh + repaint the full refresh of every control, then its repaint
//   layer switch      a click on another edit layer, then its repaint
//   page switch       a click on another page, then its repaint
//   fetch stall       the longest the event loop stood still during a whole
//                     performance fetch from the in-process virtual CS1x
//   start-up          (each in a fresh process) start to first frame, the longest
//                     stall after it while the synth is greeted, private memory
//
//   bench_gui [--edits N] [--fetches N] [--startups N] [--json FILE] [--quiet]
//
// Prints a table and, with --json, appends one JSON object per row to FILE
// (the rows scripts/bench.sh gathers from every benchmark into one table).

#include "BenchKit.h"
#include "editor/LeftPanel.h"
#include "editor/MainWindow.h"
#include "Heartbeat.h"
#include "midi/OutputPort.h"
#include "midi/QtScheduler.h"
#include "midi/Senders.h"
#include "midi/VirtualBackend.h"
#include "midi/VirtualCs1x.h"
#include "model/EffectTables.h"
#include "model/Settings.h"
#include "session/EditSession.h"
#include "shell/Application.h"
#include "shell/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPaintEvent>
#include <QProcess>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kwbench::hasFlag;
using kwbench::intArg;
using kwbench::number;
using kwbench::privateDirtyKb;
using kwbench::stringArg;
using kwbench::Row;
using kwbench::Stats;
using kwbench::stats;

using kwbench::Clock;
using kwbench::Heartbeat;
using kwbench::msSince;

// The port the edits reach: keeps only the time of the last message.
class TimingPort : public kw::OutputPort {
public:
    Clock::time_point last;
    size_t count = 0;
    bool isOpen() const override { return true; }
    int send(kw::ByteView) override
    {
        last = Clock::now();
        ++count;
        return 0;
    }
};

// Repaints whatever the last change asked for: the posted update requests
// of the window run now, as the event loop would run them next.
void repaint()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QCoreApplication::processEvents();
}


// Runs the event loop until `done` says so (or `limitMs` passes).
void runUntil(const std::function<bool()>& done, int limitMs)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start();
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// The box up, modal or not (the "CS1x responding..." greeting is not).
QWidget* shownBox()
{
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QMessageBox") && w->isVisible())
            return w;
    return nullptr;
}

// Closes the boxes a run puts up (the "CS1x responding..." greeting), a
// moment after they show, as a user would.
class BoxCloser {
public:
    explicit BoxCloser(int afterMs = 60)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, afterMs] {
            QWidget* w = shownBox();
            if (!w) {
                seen_ = nullptr;
                return;
            }
            if (w != seen_) {
                seen_ = w;
                since_.start();
            } else if (since_.elapsed() >= afterMs) {
                w->close();
                ++closed;
            }
        });
        timer_.start(5);
    }
    int closed = 0;

private:
    QTimer timer_;
    QWidget* seen_ = nullptr;
    QElapsedTimer since_;
};

// ---------------------------------------------------------------------------
// Performances that differ from each other in nearly every field, so a
// refresh, a layer switch or a fetch really changes what the window shows.

enum class Part { Common00, Common30, Common50, Layer };

void vary(uint8_t* data, size_t n, Part part, int seed)
{
    for (size_t i = 0; i < n; ++i) {
        if (part == Part::Common00 && i < 8)
            continue;  // the name
        if (part == Part::Layer && i < 2)
            continue;  // the bank: one the voice list knows
        data[i] = uint8_t((data[i] + 11 * seed + 5 * int(i)) & 0x7F);
    }
    if (part == Part::Common30) {
        // Effect types the lists know, so the variation page is rebuilt.
        const auto rev = kw::fx::reverbTypes()[size_t(seed) % kw::fx::reverbTypes().size()];
        const auto cho = kw::fx::chorusTypes()[size_t(seed) % kw::fx::chorusTypes().size()];
        const auto var = kw::fx::variationTypes()[size_t(seed) % kw::fx::variationTypes().size()];
        const uint8_t pairs[6] = {rev.msb, rev.lsb, cho.msb, cho.lsb, var.msb, var.lsb};
        std::copy(std::begin(pairs), std::end(pairs), data);
    }
}

void vary(kw::BlockSet& set, int seed)
{
    const Part parts[7] = {Part::Common00, Part::Common30, Part::Common50, Part::Layer,
                           Part::Layer,    Part::Layer,    Part::Layer};
    for (int i = 0; i < 7; ++i) {
        kw::BulkBlock& b = set.at(i);
        vary(&b.data(0), b.dataLength(), parts[i], seed + (i >= 3 ? i : 0));
    }
}

// The virtual synth's 128 user performances, each one different.
void varyUserMemory(kw::VirtualCs1x& synth)
{
    kw::Bytes image;
    for (kw::Bytes m : kw::splitSysEx(synth.memoryImage())) {
        const uint8_t ah = m[6], pp = m[7], al = m[8];
        if (ah >= 0x70 && m.size() > 11) {
            const Part part = ah > 0x70 ? Part::Layer : al == 0x00 ? Part::Common00 : al == 0x30 ? Part::Common30
                                                                                      : Part::Common50;
            vary(m.data() + 9, m.size() - 11, part, pp + (ah & 0x0F));
            m[m.size() - 2] = kw::bulkChecksum(m);
        }
        image.insert(image.end(), m.begin(), m.end());
    }
    synth.loadMemoryImage(image);
}

// ---------------------------------------------------------------------------
// The window on a timing port

struct WindowBench {
    kw::PerformanceImage image;
    kw::EditorState state;
    TimingPort port;
    kw::Senders senders{image, state, port};
    kw::EditSession session{image, state, senders};
    kw::QtDialogs dialogs;
    kw::EditorContext ctx{session, dialogs};
    TMainWindow window{ctx};
    QTabWidget* pages = nullptr;

    WindowBench()
    {
        // Four layers that differ, shown.
        vary(image.edit, 1);
        window.RefreshAll();
        window.show();
        pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        repaint();
    }
    // A page shown lays itself out and paints before the next measurement.
    void showPage(int i)
    {
        pages->setCurrentIndex(i);
        runUntil([] { return false; }, 20);
        repaint();
    }
    QSlider* bar(const char* name) { return window.findChild<QSlider*>(QString::fromLatin1(name)); }
    QAbstractButton* button(const char* name) { return window.findChild<QAbstractButton*>(QString::fromLatin1(name)); }
    // The enabled vertical bars of page `i`.
    std::vector<QSlider*> bars(int i)
    {
        std::vector<QSlider*> out;
        for (QSlider* s : pages->widget(i)->findChildren<QSlider*>())
            if (s->isEnabled() && s->orientation() == Qt::Vertical && s->maximum() > s->minimum())
                out.push_back(s);
        return out;
    }
    // Moves a bar one step, back and forth around where it stands.
    static void nudge(QSlider* s, int i)
    {
        const int base = std::clamp(s->value(), s->minimum(), s->maximum() - 1);
        s->setValue(i % 2 ? base + 1 : base);
        if (s->value() == base && i % 2 == 0)
            s->setValue(base + 1);
    }
};

std::vector<Row> windowRows(int edits)
{
    std::vector<Row> rows;
    WindowBench b;

    // Edit to port: the bar's handler up to the last message handed over.
    for (bool all : {false, true}) {
        b.state.affectAll = all;
        b.showPage(4);
        QSlider* s = b.bar("AEGAtkTime");
        std::vector<double> t;
        for (int i = 0; i < edits; ++i) {
            const size_t before = b.port.count;
            const auto t0 = Clock::now();
            s->setValue(s->value() == 60 ? 61 : 60);
            if (b.port.count == before)
                continue;
            t.push_back(msSince(t0, b.port.last) * 1000.0);
            if (i % 64 == 0)
                repaint();
        }
        repaint();
        rows.push_back({all ? "edit to port, all layers" : "edit to port, one layer", "us", stats(t),
                        all ? 232.0 : 58.0, false, "2% of the messages' wire time"});
    }
    b.state.affectAll = false;

    // Edit plus repaint, over the bars of every page in turn.
    {
        std::vector<double> t;
        for (int page = 0; page < 5; ++page) {
            b.showPage(page);
            const std::vector<QSlider*> bars = b.bars(page);
            for (int i = 0; i < edits / 5; ++i) {
                QSlider* s = bars[size_t(i) % bars.size()];
                const auto t0 = Clock::now();
                WindowBench::nudge(s, i / int(bars.size()));
                repaint();
                t.push_back(msSince(t0, Clock::now()));
            }
        }
        rows.push_back({"edit + repaint", "ms", stats(t), 1.0, false, "every page's bars"});
    }

    // How many widgets one edit repaints (counted apart: the counting costs).
    {
        struct Paints : QObject {
            int n = 0;
            bool show = qEnvironmentVariableIsSet("KW_BENCH_DEBUG");
            bool eventFilter(QObject* o, QEvent* e) override
            {
                if (e->type() == QEvent::Paint) {
                    ++n;
                    if (show)
                        std::fprintf(stderr, "  paint %s %s %s\n", o->metaObject()->className(),
                                     qPrintable(o->objectName()),
                                     qPrintable(QString("%1x%2").arg(static_cast<QPaintEvent*>(e)->rect().width()).arg(static_cast<QPaintEvent*>(e)->rect().height())));
                }
                return false;
            }
        } paints;
        std::vector<double> counts;
        qApp->installEventFilter(&paints);
        for (int page = 0; page < 5; ++page) {
            b.showPage(page);
            const std::vector<QSlider*> bars = b.bars(page);
            for (int i = 0; i < 200; ++i) {
                paints.n = 0;
                paints.show = qEnvironmentVariableIsSet("KW_BENCH_DEBUG") && (i == 3 || i == 4);
                if (paints.show)
                    std::fprintf(stderr, "page %d, %s\n", page, qPrintable(bars[size_t(i) % bars.size()]->objectName()));
                WindowBench::nudge(bars[size_t(i) % bars.size()], i / int(bars.size()));
                repaint();
                counts.push_back(paints.n);
            }
        }
        qApp->removeEventFilter(&paints);
        rows.push_back({"widgets painted per edit", "paints", stats(counts), std::nullopt, false, ""});
    }

    // Full refresh plus repaint, on every page, of two performances in turn.
    {
        std::vector<double> t;
        const int n = std::max(50, edits / 20);
        kw::BlockSet one = b.image.edit, other = one;
        vary(other, 40);
        for (int page = 0; page < 5; ++page) {
            b.showPage(page);
            for (int i = 0; i < n / 5; ++i) {
                for (int k = 0; k < 7; ++k)
                    b.image.edit.at(k) = (i % 2 ? one : other).at(k);
                const auto t0 = Clock::now();
                b.window.RefreshAll();
                repaint();
                t.push_back(msSince(t0, Clock::now()));
            }
        }
        rows.push_back({"full refresh + repaint", "ms", stats(t), 15.0, false, ""});
    }

    // Layer switch plus repaint, on the two layer pages.
    {
        std::vector<double> t;
        const int n = std::max(100, edits / 10);
        for (int page : {3, 4}) {
            b.showPage(page);
            for (int i = 0; i < n / 2; ++i) {
                QAbstractButton* layer = b.button(("EditLayer" + std::to_string(1 + i % 4)).c_str());
                const auto t0 = Clock::now();
                layer->click();
                repaint();
                t.push_back(msSince(t0, Clock::now()));
            }
        }
        rows.push_back({"layer switch + repaint", "ms", stats(t), 5.0, false, "layer pages"});
    }

    // Page switch plus repaint.
    {
        std::vector<double> t;
        const int n = std::max(100, edits / 10);
        for (int i = 0; i < n; ++i) {
            const auto t0 = Clock::now();
            b.pages->setCurrentIndex(i % 5);
            repaint();
            t.push_back(msSince(t0, Clock::now()));
        }
        rows.push_back({"page switch + repaint", "ms", stats(t), 16.0, false, ""});
    }

    // What recording an undo step adds to an edit: the same edits (two bars
    // in turn, so each is a step of its own) with the history recording and
    // without, in alternating rounds, on a history already full (each new
    // step drops the oldest).
    {
        b.showPage(4);
        QSlider* pair[2] = {b.bar("AEGAtkTime"), b.bar("AEGRelTime")};
        // Every call an edit: the bar goes to 60, or to 61 when it stands there.
        auto edit = [](QSlider* s) { s->setValue(s->value() == 60 ? 61 : 60); };
        for (size_t i = 0; i < kw::EditSession::kHistorySteps + 10; ++i)
            edit(pair[i % 2]);
        repaint();
        const int rounds = std::max(20, edits / 100), perRound = 200;
        // Each round compares the median edit of each kind: a preemption on
        // a busy machine lands in a few edits and moves no median.
        std::vector<double> share, plain;
        for (int r = 0; r < rounds; ++r) {
            std::vector<double> t[2];
            for (int pass = 0; pass < 2; ++pass) {
                const bool recording = (pass + r) % 2 == 0;
                b.session.recordHistory(recording);
                for (int i = 0; i < perRound; ++i) {
                    QSlider* s = pair[i % 2];
                    const auto t0 = Clock::now();
                    edit(s);
                    t[recording].push_back(msSince(t0, Clock::now()));
                }
                repaint();
            }
            const double with = stats(t[1]).median, without = stats(t[0]).median;
            share.push_back((with - without) / without * 100.0);
            plain.push_back(without * 1000.0);
        }
        b.session.recordHistory(true);
        rows.push_back({"undo step, share of the edit", "%", stats(share), 10.0, false,
                        "the edit alone " + number(stats(plain).median) + " us"});
    }

    // What 10,000 steps of history hold: steps of every kind, heap in use
    // before and after.
    {
        b.window.RefreshAll();  // a new history
        kw::EditSession& s = b.session;
        const std::vector<const kw::FieldRow*> fields = {
            kw::findField("FilterCutoff"), kw::findField("AEGAtkTime"), kw::findField("CommonVolume"),
            kw::findField("PatchVoiceNumber"), kw::findField("NoteDetune"), kw::findField("Scene1Knob2")};
        s.copyLayer();
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        for (int i = 0; s.historySize() < kw::EditSession::kHistorySteps && i < 100000; ++i) {
            s.setAffectAll(i % 3 == 0);
            s.setEditLayer(1 + i % 4);
            switch (i % 10) {
            case 0: s.pasteLayer(); break;
            case 1: s.setName("Step " + std::to_string(i % 1000)); break;
            case 2: s.mute(1 + i % 4, (i / 10) % 2 == 0); break;
            default: {
                const kw::FieldRow& f = *fields[size_t(i) % fields.size()];
                s.apply(f, f.min + i % (f.max - f.min + 1));
            }
            }
            s.endGesture();
        }
        const double mb = double(mallinfo2().uordblks - before) / (1024.0 * 1024.0);
        rows.push_back({"undo history, 10,000 steps", "MB", stats({mb}), 5.0, false,
                        "heap in use; every kind of step"});
    }
    return rows;
}

// ---------------------------------------------------------------------------
// The whole program against the virtual CS1x

// The virtual CS1x's timers, held back until `open()`: at start-up the synth
// answers once the window's first frame is up, so what its answer costs (the
// greeting box) shows as a stall of its own and not inside the first frame.
class GateScheduler : public kw::Scheduler {
public:
    explicit GateScheduler(kw::Scheduler& inner) : inner_(inner) {}
    TimerId afterMicros(Micros delay, std::function<void()> fn) override
    {
        const TimerId id = ++next_;
        if (open_)
            running_[id] = inner_.afterMicros(delay, std::move(fn));
        else
            held_.push_back({id, delay, std::move(fn)});
        return id;
    }
    void cancel(TimerId id) override
    {
        if (const auto it = running_.find(id); it != running_.end())
            inner_.cancel(it->second);
        std::erase_if(held_, [id](const Held& h) { return h.id == id; });
    }
    void open()
    {
        open_ = true;
        for (Held& h : held_)
            running_[h.id] = inner_.afterMicros(h.delay, std::move(h.fn));
        held_.clear();
    }

private:
    struct Held {
        TimerId id;
        Micros delay;
        std::function<void()> fn;
    };
    kw::Scheduler& inner_;
    bool open_ = false;
    TimerId next_ = 0;
    std::vector<Held> held_;
    std::map<TimerId, TimerId> running_;
};

struct ProgramRun {
    QTemporaryDir dir;
    kw::QtScheduler synthTimers;
    GateScheduler gate{synthTimers};
    std::unique_ptr<kw::Application> app;

    explicit ProgramRun(bool longDelay)
    {
        QSettings s(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        s.beginGroup(QStringLiteral("CS1x"));
        s.setValue(QStringLiteral("Midi-IN"), QString::fromLatin1(kw::kVirtualDeviceName));
        s.setValue(QStringLiteral("Midi-OUT"), QString::fromLatin1(kw::kVirtualDeviceName));
        s.setValue(QStringLiteral("LongDelay"), longDelay ? "1" : "0");
        s.sync();
        kw::Application::Options o;
        o.settingsFile = dir.filePath(QStringLiteral("settings.ini"));
        auto synth = std::make_unique<kw::VirtualBackend>(gate, QString());
        varyUserMemory(synth->synth());
        std::vector<std::unique_ptr<kw::MidiBackend>> backends;
        backends.push_back(std::move(synth));
        o.backends = std::move(backends);
        app = std::make_unique<kw::Application>(std::move(o));
    }
    ~ProgramRun()
    {
        if (app)
            app->finish();
    }
};

Row fetchRow(int fetches)
{
    BoxCloser closer;
    ProgramRun run(false);
    run.gate.open();
    run.app->start();
    run.app->window().show();
    runUntil([] { return false; }, 400);  // greeted, the box shown and closed
    auto* left = run.app->window().findChild<kw::LeftPanel*>();
    std::vector<double> worst;
    Heartbeat beat;
    for (int i = 0; i < fetches; ++i) {
        run.app->state().modified = false;  // no "Caution" question
        bool started = false;
        beat.reset();
        // The click runs inside the event loop, as the user's would.
        QTimer::singleShot(0, [&] {
            left->UserPerfClick(i % 128);
            started = true;
        });
        // Busy until the full refresh: the wait cursor tells.
        runUntil([&] { return started && !QApplication::overrideCursor(); }, 5000);
        // The end: the full refresh ran; its repaint follows in the loop.
        runUntil([] { return false; }, 30);
        worst.push_back(beat.worst());
    }
    const Stats s = stats(worst);
    const auto over = size_t(std::count_if(worst.begin(), worst.end(), [](double v) { return v > 16.0; }));
    return {"worst stall during a fetch", "ms", s, 16.0, true,
            std::to_string(over) + " of " + std::to_string(worst.size()) + " over 16 ms"};
}

// --- start-up, one per process -------------------------------------------

// Prints "first_frame_ms stall_ms private_kb". The first frame is counted
// from `launched`, the parent's clock reading just before it started us.
int startupChild(Clock::time_point launched)
{
    BoxCloser closer;
    ProgramRun run(false);
    run.app->start();
    QWidget& w = run.app->window();
    // When the first paint and the first box come, seen from the event loop.
    struct Watch : QObject {
        std::optional<Clock::time_point> painted, boxShown;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && !painted)
                painted = Clock::now();
            if (e->type() == QEvent::Show && !boxShown && o->inherits("QMessageBox"))
                boxShown = Clock::now();
            return false;
        }
    } watch;
    qApp->installEventFilter(&watch);
    w.show();
    // From here the event loop runs, as after QApplication::exec().
    Heartbeat beat;
    // The frame is done when the event loop turns after the first paint.
    std::optional<Clock::time_point> frameDone;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (watch.painted && !frameDone) {
            frameDone = Clock::now();
            run.gate.open();  // the synth answers now
        }
    });
    probe.start(0);
    runUntil([&] { return frameDone && closer.closed > 0; }, 3000);
    probe.stop();
    runUntil([] { return false; }, 100);
    qApp->removeEventFilter(&watch);
    // The first frame has its own row: until it is up nothing shows that
    // could freeze. From then on every stall counts, the greeting box's too.
    const double stall = frameDone ? beat.worstSince(*frameDone) : -1;
    if (qEnvironmentVariableIsSet("KW_BENCH_DEBUG"))
        std::fprintf(stderr, "first frame done at %.1f ms, box shown at %.1f ms in a gap of %.1f ms\n",
                     frameDone ? msSince(launched, *frameDone) : -1.0,
                     watch.boxShown ? msSince(launched, *watch.boxShown) : -1.0,
                     watch.boxShown ? beat.gapHolding(*watch.boxShown) : -1.0);
    if (qEnvironmentVariableIsSet("KW_BENCH_DEBUG"))
        for (const auto& [a, b] : beat.gaps)
            std::fprintf(stderr, "  gap %.1f..%.1f\n", msSince(launched, a), msSince(launched, b));
    if (qEnvironmentVariableIsSet("KW_BENCH_DEBUG") && watch.painted)
        std::fprintf(stderr, "  first paint at %.1f\n", msSince(launched, *watch.painted));
    std::printf("%.3f %.3f %ld\n", frameDone ? msSince(launched, *frameDone) : -1.0, stall, privateDirtyKb());
    return 0;
}

std::vector<Row> startupRows(const char* self, int startups)
{
    std::vector<double> frames, stalls, memory;
    for (int i = 0; i < startups; ++i) {
        QProcess child;
        const auto launched = Clock::now().time_since_epoch();
        child.start(QString::fromLocal8Bit(self),
                    {QStringLiteral("--startup-child"),
                     QString::number(std::chrono::duration_cast<std::chrono::nanoseconds>(launched).count())});
        if (!child.waitForFinished(20000))
            continue;
        double f = 0, s = 0;
        long kb = 0;
        if (std::sscanf(child.readAllStandardOutput().constData(), "%lf %lf %ld", &f, &s, &kb) == 3) {
            frames.push_back(f);
            stalls.push_back(s);
            memory.push_back(double(kb) / 1024.0);
        }
    }
    const auto over = size_t(std::count_if(stalls.begin(), stalls.end(), [](double v) { return v > 16.0; }));
    return {
        {"start to first frame", "ms", stats(frames), std::nullopt, false, "process start, virtual CS1x configured"},
        {"worst stall at start-up", "ms", stats(stalls), 16.0, true,
         std::to_string(over) + " of " + std::to_string(stalls.size()) + " over 16 ms"},
        {"private memory", "MB", stats(memory), std::nullopt, false, "Private_Dirty after start-up"},
    };
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", KW_OFFSCREEN_DESK);  // the whole window on the screen
    if (argc > 2 && std::strcmp(argv[1], "--startup-child") == 0) {
        // steady_clock is the system's monotonic clock, the same in both processes.
        const Clock::time_point launched{std::chrono::nanoseconds(std::atoll(argv[2]))};
        QApplication qt(argc, argv);
        return startupChild(launched);
    }
    QApplication qt(argc, argv);

    const int edits = intArg(argc, argv, "--edits", 5000);
    const int fetches = intArg(argc, argv, "--fetches", 100);
    const int startups = intArg(argc, argv, "--startups", 20);
    std::vector<Row> rows = windowRows(edits);
    if (fetches > 0)
        rows.push_back(fetchRow(fetches));
    if (startups > 0)
        for (Row& r : startupRows(argv[0], startups))
            rows.push_back(std::move(r));

    return kwbench::report(argc, argv, "bench_gui", rows);
}
