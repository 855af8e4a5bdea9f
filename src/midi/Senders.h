#pragma once
// The only code that turns the performance image into outgoing messages.

#include "midi/Messages.h"
#include "midi/OutputPort.h"
#include "model/PerformanceImage.h"
#include "model/XgTable.h"

#include <functional>
#include <string>

namespace kw {

struct SenderHooks {
    std::function<void()> outputActivity;                        // MIDI-out lamp, after each message sent
    std::function<void(const Request&, int performance)> requestSent;  // a request went out
    std::function<void(const std::string&)> report;              // a send failed: tell the user
};

class Senders {
public:
    Senders(PerformanceImage& img, EditorState& st, OutputPort& port, SenderHooks hooks = {});

    void setHooks(SenderHooks hooks) { hooks_ = std::move(hooks); }

    void parameterChange(uint8_t ah, uint8_t am, uint8_t al, uint8_t value);
    void parameterChange2(uint8_t ah, uint8_t am, uint8_t al, uint8_t d1, uint8_t d2);
    // Fan-out of a layer parameter: layers 1..4 under affect-all, else the edit layer.
    void layerParameter(uint8_t al, uint8_t value);
    // Writes a layer field (all layers under affect-all) and sends the edit
    // layer's resulting byte through the fan-out.
    void writeLayerField(size_t offset, uint8_t value);
    // A block of the edit image, or of the transfer image addressed to user
    // performance `destination`. False when it did not go out (the port is
    // closed or failed, or sending is paused); lastReason() says why.
    bool bulk(BlockKind k, int destination = 0);
    // Layers 1..4 back to back, or the edit layer alone.
    void editLayerBlocks(bool allLayers);
    // Dump request (or identity request); goes out even while sending is
    // disabled and becomes the pending request. False when it did not go
    // out (port closed, or the port failed: then it is not pending either).
    bool request(Request r, int performance = 0);
    // XG: one parameter change goes out at once, as a performance edit's
    // does (a series of them is a send job's, with the transfer pause
    // between). It leaves the performance's modified flag alone: the XG
    // parts are no part of a performance. False when it did not go out, and
    // for a value the row does not take (lastReason() says so; nothing is
    // sent in its place).
    bool xgParameterChange(const xg::Param& p, int value);
    // XG System On; what follows must wait xg::kSystemOnPauseMs.
    bool xgSystemOn();
    // An XG parameter request; the reply is the parameter's change.
    bool xgRequest(const xg::Param& p);
    void startupMessage();
    void selectUserPerformance(int pp);

    const Request& pending() const { return pending_; }
    void clearPending() { pending_ = Request::none(); }
    int lastResult() const { return lastResult_; }
    // What the user was told about the last failed send.
    const std::string& lastFailure() const { return lastFailure_; }
    // Why the last send that did not go out did not, in plain words ("the
    // JACK server has shut down", "no MIDI output is open").
    const std::string& lastReason() const { return lastReason_; }
    bool portOpen() const { return port_.isOpen(); }

    PerformanceImage& image() { return img_; }
    EditorState& state() { return st_; }

private:
    bool mayEdit() const { return port_.isOpen() && st_.sendEnable; }
    // False when the port failed; the failure is reported.
    bool sendLong(ByteView bytes);
    bool sendShort(ByteView bytes);

    PerformanceImage& img_;
    EditorState& st_;
    OutputPort& port_;
    SenderHooks hooks_;
    Request pending_;
    int lastResult_ = 0;
    std::string lastFailure_;
    std::string lastReason_;
};

} // namespace kw
