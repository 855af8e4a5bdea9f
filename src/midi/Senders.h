#pragma once
// The only code that turns the performance image into outgoing messages.

#include "midi/Messages.h"
#include "midi/OutputPort.h"
#include "model/PerformanceImage.h"

#include <functional>
#include <string>

namespace kw {

struct SenderHooks {
    std::function<void()> outputActivity;              // MIDI-out lamp
    std::function<void()> requestSent;                 // restart the request time-out
    std::function<void(const std::string&)> report;    // message box
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
    // performance `destination`.
    void bulk(BlockKind k, int destination = 0);
    // Layers 1..4 back to back, or the edit layer alone.
    void editLayerBlocks(bool allLayers);
    // Dump request (or identity request); goes out even while sending is
    // disabled, becomes the pending request and restarts the time-out.
    void request(Request r, int performance = 0);
    void startupMessage();
    void selectUserPerformance(int pp);

    const Request& pending() const { return pending_; }
    void clearPending() { pending_ = Request::none(); }
    int lastResult() const { return lastResult_; }
    bool portOpen() const { return port_.isOpen(); }

    PerformanceImage& image() { return img_; }
    EditorState& state() { return st_; }

private:
    bool mayEdit() const { return port_.isOpen() && st_.sendEnable; }
    void sendLong(ByteView bytes);

    PerformanceImage& img_;
    EditorState& st_;
    OutputPort& port_;
    SenderHooks hooks_;
    Request pending_;
    int lastResult_ = 0;
};

} // namespace kw
