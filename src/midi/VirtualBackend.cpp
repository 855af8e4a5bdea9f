#include "midi/VirtualBackend.h"

#include "midi/Messages.h"
#include "midi/OutputPort.h"
#include "model/UserPerfList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>
#include <vector>

namespace kw {

QString defaultVirtualMemoryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Knobwright/Virtual CS1x.syx");
}

Scheduler::Micros midiWireTime(size_t bytes)
{
    // 31250 baud, ten bits a byte.
    return Scheduler::Micros(int64_t(bytes) * kMidiByteMicros);
}

namespace {

// "5, 7-9, 12": numbers 1-based, runs joined.
std::string ranges(const std::vector<int>& numbers)
{
    std::string out;
    for (size_t i = 0; i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        if (!out.empty())
            out += ", ";
        out += std::to_string(numbers[i]);
        if (j > i)
            out += "-" + std::to_string(numbers[j]);
        i = j + 1;
    }
    return out;
}

// What a partly read memory file gave: the performances that came whole.
std::string keptText(const MemoryLoad& load)
{
    std::vector<int> whole;
    for (int pp = 1; pp < MemoryLoad::kPerformances; ++pp)
        if (load.blocks[size_t(pp)] == kBlocksPerPerformance)
            whole.push_back(pp);
    const bool edit = load.blocks[0] == kBlocksPerPerformance;
    if (whole.empty() && !edit)
        return "nothing; the memory is factory data";
    std::string text = edit ? "the edit buffer" : "";
    if (!whole.empty())
        text += std::string(edit ? " and " : "") + "user performance" + (whole.size() > 1 ? "s " : " ")
                + ranges(whole);
    return text + "; everything else is factory data";
}

QString firstFree(const QString& base)
{
    if (!QFileInfo::exists(base))
        return base;
    for (int n = 2;; ++n) {
        const QString candidate = base + QLatin1Char('.') + QString::number(n);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace

VirtualMemoryFile::VirtualMemoryFile(VirtualCs1x& synth, Scheduler& sched, QString path, int delayMs, Report report)
    : synth_(synth), path_(std::move(path)), report_(std::move(report)), timer_(sched, [this] { save(); })
{
    load();
    synth_.setOnChange([this, delayMs] {
        dirty_ = true;
        if (!path_.isEmpty() && !keepOff_)
            timer_.start(delayMs);
    });
}

VirtualMemoryFile::~VirtualMemoryFile()
{
    synth_.setOnChange({});
    // The last chance; whoever could show a box is going too.
    QString error;
    if (dirty_ && !path_.isEmpty() && !keepOff_ && !write(&error))
        std::fprintf(stderr, "knobwright: the virtual CS1x memory could not be saved to '%s': %s\n",
                     path_.toLocal8Bit().constData(), error.toLocal8Bit().constData());
}

void VirtualMemoryFile::tell(const std::string& text) const
{
    if (report_)
        report_(text);
    else
        std::fprintf(stderr, "knobwright: %s\n", text.c_str());
}

void VirtualMemoryFile::load()
{
    if (path_.isEmpty() || !QFileInfo::exists(path_))
        return;
    const std::string where = path_.toStdString();
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly)) {
        keepOff_ = true;
        tell("The virtual CS1x memory file '" + where + "' cannot be read (" + f.errorString().toStdString()
             + "). The virtual CS1x starts with factory data and will not write over that file.");
        return;
    }
    const QByteArray data = f.readAll();
    f.close();
    const ByteView image(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
    const MemoryLoad load = synth_.loadMemoryImage(image);
    if (load.whole)
        return;

    const size_t expected = VirtualCs1x().memoryImage().size();
    std::string why;
    if (image.size() != expected)
        why = "it is " + std::to_string(image.size()) + " bytes long, not " + std::to_string(expected);
    else if (load.taken == 0)
        why = "it holds no memory dumps";
    else
        why = "some of its blocks are damaged or missing";
    const QString aside = firstFree(path_ + QStringLiteral(".bad"));
    if (!QFile::rename(path_, aside)) {
        keepOff_ = true;
        tell("The virtual CS1x memory file '" + where + "' could not be read whole (" + why
             + ") and could not be moved aside; it will not be written over. Kept from it: " + keptText(load) + ".");
        return;
    }
    tell("The virtual CS1x memory file '" + where + "' could not be read whole (" + why + "). It was moved to '"
         + aside.toStdString() + "'. Kept from it: " + keptText(load) + ".");
    // What was kept goes back under the usual name at the next change.
}

bool VirtualMemoryFile::write(QString* error)
{
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) {
        *error = QStringLiteral("cannot create its folder");
        return false;
    }
    // Written aside and renamed, so a crash mid-write never costs the memory.
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly)) {
        *error = f.errorString();
        return false;
    }
    const Bytes image = synth_.memoryImage();
    if (f.write(reinterpret_cast<const char*>(image.data()), qint64(image.size())) != qint64(image.size())
        || !f.commit()) {
        *error = f.errorString();
        return false;
    }
    dirty_ = false;
    return true;
}

bool VirtualMemoryFile::save()
{
    if (path_.isEmpty() || keepOff_)
        return false;
    QString error;
    if (write(&error)) {
        failureTold_ = false;
        return true;
    }
    if (!failureTold_) {
        failureTold_ = true;
        tell("The virtual CS1x memory could not be saved to '" + path_.toStdString() + "': " + error.toStdString());
    }
    return false;
}

namespace {

// splitmix64: small, fast, and the same numbers on every platform.
uint64_t nextRandom(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool isBulkDump(const Bytes& m)
{
    return m.size() >= 12 && m[0] == 0xF0 && m[1] == 0x43 && (m[2] & 0xF0) == 0x00 && m[3] == 0x4B;
}

} // namespace

std::string FaultCounts::text() const
{
    return "handled " + std::to_string(handled) + ", replies " + std::to_string(replies) + "; dropped "
           + std::to_string(dropped) + ", late " + std::to_string(late) + ", wrong length "
           + std::to_string(wrongLength) + ", bad checksum " + std::to_string(badChecksum) + ", unsolicited "
           + std::to_string(unsolicited) + ", ignored while vanished " + std::to_string(ignored);
}

SynthCable::SynthCable(VirtualCs1x& synth, Scheduler& sched, Send send)
    : synth_(synth), send_(std::move(send)), timer_(sched, [this] { next(); })
{
    setFaults({});
}

void SynthCable::setFaults(const SynthFaults& faults)
{
    faults_ = faults;
    dice_ = faults.seed;
    handledSinceFaults_ = 0;
}

double SynthCable::chance() { return double(nextRandom(dice_) >> 11) * 0x1.0p-53; }

int SynthCable::below(int n) { return n <= 1 ? 0 : int(nextRandom(dice_) % uint64_t(n)); }

void SynthCable::revive()
{
    faults_.vanishAfter = -1;
    handledSinceFaults_ = 0;
}

void SynthCable::received(ByteView message)
{
    if (vanished()) {
        ++counts_.ignored;
        return;
    }
    ++counts_.handled;
    ++handledSinceFaults_;
    for (Bytes& r : synth_.handle(message)) {
        ++counts_.replies;
        // The request's bytes had to come in before the reply could start.
        const Scheduler::Micros wire = midiWireTime(message.size() + r.size());
        reply(std::move(r), wire);
    }
    if (faults_.unsolicited > 0 && chance() < faults_.unsolicited)
        unsolicited();
}

void SynthCable::sendOwn(std::vector<Bytes> messages)
{
    if (vanished()) {
        counts_.ignored += long(messages.size());
        return;
    }
    for (Bytes& m : messages) {
        const Scheduler::Micros wire = midiWireTime(m.size());
        queue(std::move(m), wire);
    }
}

void SynthCable::reply(Bytes m, Scheduler::Micros wire)
{
    if (faults_.drop > 0 && chance() < faults_.drop) {
        ++counts_.dropped;
        return;
    }
    if (faults_.wrongLength > 0 && chance() < faults_.wrongLength && m.size() >= 3) {
        ++counts_.wrongLength;
        // Bytes lost or doubled somewhere before the checksum and the end.
        const size_t n = size_t(1 + below(3));
        const auto at = m.end() - 2;
        if (below(2) == 0 && m.size() > n + 3)
            m.erase(at - long(n), at);
        else
            m.insert(at, n, uint8_t(below(128)));
    } else if (faults_.badChecksum > 0 && isBulkDump(m) && chance() < faults_.badChecksum) {
        ++counts_.badChecksum;
        // A data byte changed on the way, or the checksum itself: either way
        // the two no longer agree.
        uint8_t& spoilt = below(2) == 0 ? m[m.size() - 2] : m[9 + size_t(below(int(m.size()) - 11))];
        spoilt = uint8_t((spoilt + 1 + below(127)) & 0x7F);
    }
    queue(std::move(m), wire);
}

void SynthCable::unsolicited()
{
    ++counts_.unsolicited;
    const uint8_t ch = uint8_t(below(16));
    auto data = [this] { return uint8_t(below(128)); };
    std::vector<Bytes> out;
    switch (below(10)) {
    case 0: {  // a note played
        const uint8_t note = uint8_t(24 + below(72));
        out = {{uint8_t(0x90 | ch), note, uint8_t(1 + below(127))}, {uint8_t(0x80 | ch), note, 64}};
        break;
    }
    case 1: {  // a controller that moves no control of the editor
        static constexpr uint8_t kControllers[] = {1, 7, 17, 18, 64};
        out = {{uint8_t(0xB0 | ch), kControllers[below(5)], data()}};
        break;
    }
    case 2: out = {{uint8_t(0xE0 | ch), data(), data()}}; break;
    case 3: {  // clock, start, stop, active sensing
        static constexpr uint8_t kRealTime[] = {0xF8, 0xFA, 0xFC, 0xFE};
        out = {{kRealTime[below(4)]}};
        break;
    }
    case 4: {  // a parameter of the edit buffer, as the synth holds it
        const int layer = 1 + below(4);
        const uint8_t al = uint8_t(below(int(synth_.editBuffer().layer(layer).dataLength())));
        out = {msg::parameterChange(0x60, uint8_t(layer), al, synth_.editBuffer().layer(layer).data(al))};
        break;
    }
    case 5: {  // a block of its memory
        const BlockKind k = BlockKind(below(kBlockKinds));
        out = synth_.handle(msg::dumpRequest(k, below(kUserPerformances)));
        break;
    }
    case 6: out = synth_.handle(msg::kIdentityRequest); break;
    case 7: {  // another maker's SysEx, a universal one
        static const Bytes kOthers[] = {
            {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7},
            {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
            {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7},
        };
        out = {kOthers[below(3)]};
        break;
    }
    case 8: out = {{uint8_t(0xD0 | ch), data()}, {uint8_t(0xA0 | ch), data(), data()}}; break;
    default: out = synth_.selectOnPanel(below(kUserPerformances)); break;  // someone at its panel
    }
    for (Bytes& m : out) {
        const Scheduler::Micros wire = midiWireTime(m.size());
        queue(std::move(m), wire);
    }
}

void SynthCable::queue(Bytes m, Scheduler::Micros wire)
{
    if (faults_.lateMs > 0) {
        if (const int extra = below(faults_.lateMs + 1); extra > 0) {
            ++counts_.late;
            wire += std::chrono::milliseconds(extra);
        }
    }
    line_.push_back({std::move(m), wire});
    if (line_.size() == 1)
        timer_.startMicros(line_.front().wire);
}

void SynthCable::next()
{
    // One message on the wire at a time: the next one starts when this one is through.
    Bytes m = std::move(line_.front().bytes);
    line_.pop_front();
    if (!line_.empty())
        timer_.startMicros(line_.front().wire);
    send_(m);
}

class VirtualBackend::In : public BackendInput {
public:
    explicit In(VirtualBackend& b) : b_(b) {}
    ~In() override { b_.sink_ = {}; }
    int close() override { return MidiResult::Ok; }
private:
    VirtualBackend& b_;
};

class VirtualBackend::Out : public BackendOutput {
public:
    explicit Out(VirtualBackend& b) : b_(b) {}
    ~Out() override { b_.outputOpen_ = false; }
    int send(ByteView message) override
    {
        if (b_.outputBreaksIn_ == 0)
            return MidiResult::Error;
        if (b_.outputBreaksIn_ > 0)
            --b_.outputBreaksIn_;
        b_.cable_.received(message);
        return MidiResult::Ok;
    }
    std::string errorText() const override { return b_.outputBreaksIn_ == 0 ? b_.outputBreak_ : std::string(); }
    bool working() override { return b_.outputBreaksIn_ != 0; }
    int close() override { return MidiResult::Ok; }
private:
    VirtualBackend& b_;
};

VirtualBackend::VirtualBackend(Scheduler& sched, QString memoryPath, VirtualMemoryFile::Report report)
    : memory_(synth_, sched, std::move(memoryPath), 1000, std::move(report)),
      cable_(synth_, sched, [this](const Bytes& m) {
          if (sink_)
              sink_(m);
      })
{
}

VirtualBackend::~VirtualBackend() = default;

Opened<BackendInput> VirtualBackend::openInput(const std::string& name, int occurrence, RawInput sink)
{
    if (name != kVirtualDeviceName || occurrence != 0)
        return {nullptr, MidiResult::BadDeviceId};
    if (sink_)
        return {nullptr, MidiResult::Allocated};
    sink_ = std::move(sink);
    return {std::make_unique<In>(*this), MidiResult::Ok};
}

Opened<BackendOutput> VirtualBackend::openOutput(const std::string& name, int occurrence)
{
    if (name != kVirtualDeviceName || occurrence != 0)
        return {nullptr, MidiResult::BadDeviceId};
    if (outputOpen_)
        return {nullptr, MidiResult::Allocated};
    outputOpen_ = true;
    return {std::make_unique<Out>(*this), MidiResult::Ok};
}

} // namespace kw
