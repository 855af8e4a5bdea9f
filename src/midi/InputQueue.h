#pragma once
// The hop from a driver's thread to the UI thread: the driver side pushes,
// the UI thread drains in arrival order, one message at a time.

#include "model/Block.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kw {

// Arranges for `fn` to run on the UI thread soon. Must be callable from any
// thread.
using UiPost = std::function<void(std::function<void()>)>;

struct InputItem {
    uint64_t port = 0;        // which opening of the input port it came from
    Bytes bytes;              // empty: a SysEx was dropped for its size
};

class InputQueue {
public:
    // How long one drain may hand over items before it lets the event loop
    // run (paint, the user's clicks, timers) and goes on afterwards.
    static constexpr std::chrono::milliseconds kSlice{5};

    // `deliver` runs on the UI thread for every item, in the order pushed.
    InputQueue(UiPost post, std::function<void(InputItem&)> deliver,
               std::chrono::microseconds slice = kSlice);
    ~InputQueue();
    InputQueue(const InputQueue&) = delete;
    InputQueue& operator=(const InputQueue&) = delete;

    // Any thread.
    void push(InputItem item);
    // UI thread: hands over what is queued, for one slice at most; what is
    // left is handed over by a drain posted anew.
    void drain();
    size_t size() const;

private:
    void postDrain();

    UiPost post_;
    std::function<void(InputItem&)> deliver_;
    mutable std::mutex mutex_;
    std::deque<InputItem> items_;
    bool wakePending_ = false;
    std::chrono::microseconds slice_;
    // A handler ran an event loop of its own (a modal progress window's,
    // say) that found the next drain: the drain under way goes on when that
    // loop ends, so nothing is handed over out of order.
    bool draining_ = false;
    // Lets a posted drain find out that the queue is gone.
    std::shared_ptr<InputQueue*> self_;
};

// A QObject that lives in the UI thread and runs posted functions there
// through the event loop. Functions posted after it is destroyed are dropped.
class UiHop : public QObject {
    Q_OBJECT
public:
    explicit UiHop(QObject* parent = nullptr) : QObject(parent) {}
    UiPost poster();
};

} // namespace kw
