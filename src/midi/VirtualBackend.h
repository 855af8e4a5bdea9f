#pragma once
// The virtual CS1x as a device in the editor's lists: "Virtual CS1x" for
// input and output. Replies arrive through the scheduler, after the time the
// messages would take on a real MIDI cable, never inside the sender's call.

#include "midi/MidiBackend.h"
#include "midi/Scheduler.h"
#include "midi/VirtualCs1x.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace kw {

// Where the virtual CS1x keeps its memory between runs.
QString defaultVirtualMemoryPath();

// Loads the virtual CS1x's memory from a file and writes it back a moment
// after it changes (and when destroyed), so a burst of edits costs one write.
// Nothing in the file is lost silently: a file that cannot be read whole is
// moved aside (".bad") after the intact parts are taken, and a memory that
// cannot be written is reported.
class VirtualMemoryFile {
public:
    using Report = std::function<void(const std::string&)>;
    // An empty path keeps the memory for this run only. `report` tells the
    // user (a message box); without it, the text goes to standard error.
    VirtualMemoryFile(VirtualCs1x& synth, Scheduler& sched, QString path, int delayMs = 1000, Report report = {});
    ~VirtualMemoryFile();
    VirtualMemoryFile(const VirtualMemoryFile&) = delete;
    VirtualMemoryFile& operator=(const VirtualMemoryFile&) = delete;
    // Writes the memory now; false (after telling the user, once until a
    // write works again) when it cannot.
    bool save();
    bool dirty() const { return dirty_; }
    const QString& path() const { return path_; }

private:
    void load();
    bool write(QString* error);
    void tell(const std::string& text) const;

    VirtualCs1x& synth_;
    QString path_;
    Report report_;
    OneShot timer_;
    bool dirty_ = false;
    // The file holds something we could not read; it is never written over.
    bool keepOff_ = false;
    bool failureTold_ = false;
};

// A MIDI byte on the cable: ten bits at 31,250 baud.
inline constexpr int64_t kMidiByteMicros = 320;
// Time a message of `bytes` bytes takes on a MIDI cable.
Scheduler::Micros midiWireTime(size_t bytes);

// Ways a synth, or the cable from it, lets the editor down: for tests, and
// for trying the editor against a bad connection with knobwright-sim.
// Chances are per message, 0 to 1.
struct SynthFaults {
    double drop = 0;          // a reply is lost
    int lateMs = 0;           // everything the synth sends comes up to this much later (in order still)
    double wrongLength = 0;   // a reply comes one to three bytes short or long
    double badChecksum = 0;   // a bulk dump's checksum does not fit its data (a byte of either changed)
    double unsolicited = 0;   // after a message it handles, the synth also sends something nobody asked for
    long vanishAfter = -1;    // after handling this many messages the synth hears and says nothing (-1: never)
    uint64_t seed = 1;        // the same seed and the same messages give the same faults

    bool any() const
    {
        return drop > 0 || lateMs > 0 || wrongLength > 0 || badChecksum > 0 || unsolicited > 0 || vanishAfter >= 0;
    }
};

// What the faults did so far.
struct FaultCounts {
    long handled = 0;       // messages the synth took in
    long replies = 0;       // replies it gave (before any fault)
    long dropped = 0;
    long late = 0;          // messages held back beyond their wire time
    long wrongLength = 0;
    long badChecksum = 0;
    long unsolicited = 0;   // messages nobody asked for
    long ignored = 0;       // messages that reached a vanished synth

    // "handled 40, replies 30; dropped 3, late 12, ..." for reports.
    std::string text() const;
};

// The synth's end of the cable. What the virtual CS1x sends leaves one
// message after the other, each after its time on the wire, and meets the
// faults it is told to have. Pending messages die with the cable.
class SynthCable {
public:
    using Send = std::function<void(const Bytes&)>;
    SynthCable(VirtualCs1x& synth, Scheduler& sched, Send send);
    SynthCable(const SynthCable&) = delete;
    SynthCable& operator=(const SynthCable&) = delete;

    // Starts the faults' dice (and the vanishing count) afresh.
    void setFaults(const SynthFaults& faults);
    const SynthFaults& faults() const { return faults_; }
    const FaultCounts& counts() const { return counts_; }

    // A complete message from the editor.
    void received(ByteView message);
    // What the synth sends of its own accord (its panel): it can come late,
    // and not at all from a vanished synth, but is never damaged or lost.
    void sendOwn(std::vector<Bytes> messages);
    // Switched off and on again after vanishing; the memory is kept.
    void revive();
    bool vanished() const { return faults_.vanishAfter >= 0 && handledSinceFaults_ >= faults_.vanishAfter; }
    size_t inFlight() const { return line_.size(); }

private:
    struct Outgoing {
        Bytes bytes;
        Scheduler::Micros wire;
    };
    double chance();
    int below(int n);
    void reply(Bytes m, Scheduler::Micros wire);
    void unsolicited();
    void queue(Bytes m, Scheduler::Micros wire);
    void next();

    VirtualCs1x& synth_;
    Send send_;
    SynthFaults faults_;
    FaultCounts counts_;
    uint64_t dice_ = 0;
    long handledSinceFaults_ = 0;
    std::deque<Outgoing> line_;
    OneShot timer_;
};

class VirtualBackend : public MidiBackend {
public:
    VirtualBackend(Scheduler& sched, QString memoryPath, VirtualMemoryFile::Report report = {});
    ~VirtualBackend() override;

    std::string apiName() const override { return "Virtual"; }
    std::vector<std::string> inputNames() override { return {kVirtualDeviceName}; }
    std::vector<std::string> outputNames() override { return {kVirtualDeviceName}; }
    Opened<BackendInput> openInput(const std::string& name, int occurrence, RawInput sink) override;
    Opened<BackendOutput> openOutput(const std::string& name, int occurrence) override;
    bool searchable() const override { return false; }

    VirtualCs1x& synth() { return synth_; }
    // The way to the editor, with the faults it is to have.
    SynthCable& cable() { return cable_; }
    void setFaults(const SynthFaults& faults) { cable_.setFaults(faults); }
    // Writes the memory now if it changed since it was last written.
    bool saveMemory() { return !memory_.dirty() || memory_.save(); }
    // The way from the editor breaks after `messages` more messages (-1:
    // never; now whole again), as a port whose server has gone away does:
    // every send fails, with `reason` as the driver's words.
    void breakOutputAfter(long messages, std::string reason = {})
    {
        outputBreaksIn_ = messages;
        outputBreak_ = std::move(reason);
    }

private:
    class In;
    class Out;
    long outputBreaksIn_ = -1;
    std::string outputBreak_;

    VirtualCs1x synth_;
    VirtualMemoryFile memory_;
    RawInput sink_;                  // set while the input is open
    bool outputOpen_ = false;
    SynthCable cable_;
};

} // namespace kw
