#include "midi/VirtualBackend.h"

#include "midi/OutputPort.h"

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

int midiWireMs(size_t bytes)
{
    // 31250 baud, ten bits a byte: 0.32 ms per byte.
    return std::max(1, int((bytes * 32 + 99) / 100));
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
        b_.received(message);
        return MidiResult::Ok;
    }
    int close() override { return MidiResult::Ok; }
private:
    VirtualBackend& b_;
};

VirtualBackend::VirtualBackend(Scheduler& sched, QString memoryPath, VirtualMemoryFile::Report report)
    : sched_(sched), memory_(synth_, sched, std::move(memoryPath), 1000, std::move(report))
{
}

VirtualBackend::~VirtualBackend()
{
    // Replies still on their way find the backend gone and are dropped.
    *alive_ = false;
}

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

void VirtualBackend::received(ByteView message)
{
    for (Bytes& reply : synth_.handle(message)) {
        const int ms = midiWireMs(message.size() + reply.size());
        replies_.push_back(std::move(reply));
        std::weak_ptr<bool> alive = alive_;
        sched_.after(ms, [this, alive] {
            if (alive.expired() || !*alive.lock())
                return;
            // Replies leave in the order their requests came in.
            Bytes r = std::move(replies_.front());
            replies_.pop_front();
            if (sink_)
                sink_(r);
        });
    }
}

} // namespace kw
