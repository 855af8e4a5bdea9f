#include "midi/InputQueue.h"

#include <QMetaObject>
#include <QPointer>

namespace kw {

InputQueue::InputQueue(UiPost post, std::function<void(InputItem&)> deliver, std::chrono::microseconds slice)
    : post_(std::move(post)), deliver_(std::move(deliver)), slice_(slice), self_(std::make_shared<InputQueue*>(this))
{
}

InputQueue::~InputQueue()
{
    std::lock_guard lock(mutex_);
    *self_ = nullptr;
}

void InputQueue::push(InputItem item)
{
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(item));
        if (!wakePending_) {
            wakePending_ = true;
            wake = true;
        }
    }
    if (wake)
        postDrain();
}

void InputQueue::postDrain()
{
    std::weak_ptr<InputQueue*> weak = self_;
    post_([weak] {
        if (auto alive = weak.lock(); alive && *alive)
            (*alive)->drain();
    });
}

void InputQueue::drain()
{
    if (draining_)
        return;
    draining_ = true;
    const auto self = self_;
    const auto end = std::chrono::steady_clock::now() + slice_;
    // One item at a time, so that a handler which runs a nested event loop
    // cannot see the queue out of order.
    for (;;) {
        InputItem item;
        {
            std::lock_guard lock(mutex_);
            if (items_.empty()) {
                wakePending_ = false;
                break;
            }
            item = std::move(items_.front());
            items_.pop_front();
        }
        deliver_(item);
        if (!*self)
            return;  // the handler closed the port that owned this queue
        if (std::chrono::steady_clock::now() >= end) {
            // A backlog: the window gets its turn, the rest comes next.
            draining_ = false;
            postDrain();
            return;
        }
    }
    draining_ = false;
}

size_t InputQueue::size() const
{
    std::lock_guard lock(mutex_);
    return items_.size();
}

UiPost UiHop::poster()
{
    QPointer<UiHop> target(this);
    return [target](std::function<void()> fn) {
        // QPointer is only read here; the queued call itself is dropped by Qt
        // when the hop object is gone.
        if (QObject* t = target.data())
            QMetaObject::invokeMethod(t, std::move(fn), Qt::QueuedConnection);
    };
}

} // namespace kw
