#include "midi/VirtualBackend.h"

#include "midi/OutputPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

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

VirtualMemoryFile::VirtualMemoryFile(VirtualCs1x& synth, Scheduler& sched, QString path, int delayMs)
    : synth_(synth), path_(std::move(path)), timer_(sched, [this] { save(); })
{
    if (!path_.isEmpty()) {
        QFile f(path_);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray data = f.readAll();
            synth_.loadMemoryImage(ByteView(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())));
        }
    }
    synth_.setOnChange([this, delayMs] {
        dirty_ = true;
        if (!path_.isEmpty())
            timer_.start(delayMs);
    });
}

VirtualMemoryFile::~VirtualMemoryFile()
{
    synth_.setOnChange({});
    if (dirty_)
        save();
}

bool VirtualMemoryFile::save()
{
    if (path_.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    // Written aside and renamed, so a crash mid-write never costs the memory.
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const Bytes image = synth_.memoryImage();
    f.write(reinterpret_cast<const char*>(image.data()), qint64(image.size()));
    if (!f.commit())
        return false;
    dirty_ = false;
    return true;
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

VirtualBackend::VirtualBackend(Scheduler& sched, QString memoryPath)
    : sched_(sched), memory_(synth_, sched, std::move(memoryPath))
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
