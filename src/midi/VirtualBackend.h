#pragma once
// The virtual CS1x as a device in the editor's lists: "Virtual CS1x" for
// input and output. Replies arrive through the scheduler, after the time the
// messages would take on a real MIDI cable, never inside the sender's call.

#include "midi/MidiBackend.h"
#include "midi/Scheduler.h"
#include "midi/VirtualCs1x.h"

#include <QString>

#include <deque>
#include <functional>
#include <memory>

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

// Time a message of `bytes` bytes takes on a MIDI cable, in ms (at least 1).
int midiWireMs(size_t bytes);

class VirtualBackend : public MidiBackend {
public:
    VirtualBackend(Scheduler& sched, QString memoryPath, VirtualMemoryFile::Report report = {});
    ~VirtualBackend() override;

    std::string apiName() const override { return "Virtual"; }
    std::vector<std::string> inputNames() override { return {kVirtualDeviceName}; }
    std::vector<std::string> outputNames() override { return {kVirtualDeviceName}; }
    Opened<BackendInput> openInput(const std::string& name, int occurrence, RawInput sink) override;
    Opened<BackendOutput> openOutput(const std::string& name, int occurrence) override;

    VirtualCs1x& synth() { return synth_; }
    // Writes the memory now if it changed since it was last written.
    bool saveMemory() { return !memory_.dirty() || memory_.save(); }

private:
    class In;
    class Out;
    void received(ByteView message);

    Scheduler& sched_;
    VirtualCs1x synth_;
    VirtualMemoryFile memory_;
    std::deque<Bytes> replies_;      // on their way to the editor, in order
    RawInput sink_;                  // set while the input is open
    bool outputOpen_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace kw
