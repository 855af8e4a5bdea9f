#include "midi/Senders.h"

#include "midi/XgMessages.h"

namespace kw {

Senders::Senders(PerformanceImage& img, EditorState& st, OutputPort& port, SenderHooks hooks)
    : img_(img), st_(st), port_(port), hooks_(std::move(hooks))
{
}

bool Senders::sendShort(ByteView bytes)
{
    if (const auto bad = msg::firstNon7BitByte(bytes)) {
        lastReason_ = msg::non7BitReport(bytes, *bad);
        if (hooks_.report)
            hooks_.report(lastReason_);
        return false;
    }
    lastResult_ = port_.send(bytes);
    if (lastResult_ == MidiResult::Ok)
        return true;
    // The four codes the driver interface names; anything else in the
    // driver's own words. Either way the message did not go out.
    lastFailure_ = midiResultText(lastResult_);
    lastReason_ = lastFailure_;
    if (lastFailure_.empty()) {
        const std::string reason = port_.failureReason();
        lastReason_ = reason.empty() ? "error code " + std::to_string(lastResult_) : reason;
        lastFailure_ = "MIDI-Out error: " + (reason.empty() ? "code " + std::to_string(lastResult_) : reason);
    }
    if (hooks_.report)
        hooks_.report(lastFailure_);
    return false;
}

bool Senders::sendLong(ByteView bytes)
{
    if (!sendShort(bytes))
        return false;
    if (hooks_.outputActivity)
        hooks_.outputActivity();
    return true;
}

void Senders::parameterChange(uint8_t ah, uint8_t am, uint8_t al, uint8_t value)
{
    if (!mayEdit())
        return;
    st_.modified = true;
    sendLong(msg::parameterChange(ah, am, al, value));
}

void Senders::parameterChange2(uint8_t ah, uint8_t am, uint8_t al, uint8_t d1, uint8_t d2)
{
    if (!mayEdit())
        return;
    st_.modified = true;
    sendLong(msg::parameterChange2(ah, am, al, d1, d2));
}

void Senders::layerParameter(uint8_t al, uint8_t value)
{
    if (!st_.sendEnable)
        return;
    if (st_.affectAll) {
        for (uint8_t l = 1; l <= 4; ++l)
            parameterChange(0x60, l, al, value);
    } else {
        parameterChange(0x60, uint8_t(st_.editLayer), al, value);
    }
}

void Senders::writeLayerField(size_t offset, uint8_t value)
{
    kw::writeLayerField(img_, st_, offset, value);
    layerParameter(uint8_t(offset), img_.editLayerBlock(st_).data(offset));
}

bool Senders::bulk(BlockKind k, int destination)
{
    if (!mayEdit()) {
        lastReason_ = port_.isOpen() ? "sending is paused" : "no MIDI output is open";
        return false;
    }
    BulkBlock& b = blockInfo(k).userForm ? img_.transfer[k] : img_.edit[k];
    const Bytes out = b.outgoing(destination);
    st_.modified = true;
    return sendLong(out);
}

void Senders::editLayerBlocks(bool allLayers)
{
    if (!st_.sendEnable)
        return;
    if (allLayers) {
        for (int l = 1; l <= 4; ++l)
            bulk(layerKind(l));
    } else {
        bulk(layerKind(st_.editLayer));
    }
}

bool Senders::request(Request r, int performance)
{
    if (!port_.isOpen())
        return false;
    pending_ = r;
    if (r.type == Request::Type::None)
        return false;
    const bool sent = r.type == Request::Type::Identity ? sendLong(msg::kIdentityRequest)
                                                        : sendLong(msg::dumpRequest(r.block, performance));
    if (!sent) {
        // Nothing is on its way, so nothing is awaited.
        pending_ = Request::none();
        return false;
    }
    if (hooks_.requestSent)
        hooks_.requestSent(r, performance);
    return true;
}

bool Senders::xgParameterChange(const xg::Param& p, int value)
{
    if (!mayEdit()) {
        lastReason_ = port_.isOpen() ? "sending is paused" : "no MIDI output is open";
        return false;
    }
    const auto m = xg::parameterChange(p, value);
    if (!m) {
        lastReason_ = "Internal error: " + p.name() + " does not take " + std::to_string(value) + "; nothing was sent.";
        if (hooks_.report)
            hooks_.report(lastReason_);
        return false;
    }
    return sendLong(*m);
}

bool Senders::xgSystemOn()
{
    if (!mayEdit()) {
        lastReason_ = port_.isOpen() ? "sending is paused" : "no MIDI output is open";
        return false;
    }
    return sendLong(xg::systemOn());
}

bool Senders::xgRequest(const xg::Param& p)
{
    if (!port_.isOpen()) {
        lastReason_ = "no MIDI output is open";
        return false;
    }
    return sendLong(xg::parameterRequest(p));
}

void Senders::startupMessage()
{
    if (!mayEdit())
        return;
    st_.modified = true;
    sendLong(msg::kStartup);
}

void Senders::selectUserPerformance(int pp)
{
    if (!port_.isOpen())
        return;
    bool any = false;
    for (const Bytes& m : msg::selectUserPerformance(pp))
        any |= sendShort(m);
    // The out lamp shows every message sent, short ones included.
    if (any && hooks_.outputActivity)
        hooks_.outputActivity();
}

} // namespace kw
