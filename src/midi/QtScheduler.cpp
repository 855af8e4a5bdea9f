#include "midi/QtScheduler.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#ifdef __linux__
#include <QSocketNotifier>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>

namespace kw {

namespace {

// Wakes the owner thread's event loop at a time given to the microsecond.
class Waker {
public:
    explicit Waker(std::function<void()> wake)
    {
#ifdef __linux__
        fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd_ >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this, wake] {
                uint64_t expirations = 0;
                if (::read(fd_, &expirations, sizeof expirations) < 0) {
                    // Nothing to read: woken for another reason; the queue
                    // decides what is due anyway.
                }
                wake();
            });
            return;
        }
        std::fprintf(stderr, "knobwright: no precise timer (timerfd), timers fall back to whole milliseconds\n");
#endif
        timer_ = std::make_unique<QTimer>();
        timer_->setSingleShot(true);
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), wake);
    }
    ~Waker()
    {
#ifdef __linux__
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
#endif
    }
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    // For a waker that is ending from inside its own signal.
    void deleteNotifierLater()
    {
#ifdef __linux__
        if (notifier_) {
            notifier_->setEnabled(false);
            notifier_.release()->deleteLater();
        }
#endif
        if (timer_) {
            timer_->stop();
            timer_.release()->deleteLater();
        }
    }

    void wakeAt(QtScheduler::Clock::time_point when)
    {
#ifdef __linux__
        if (fd_ >= 0) {
            // steady_clock is CLOCK_MONOTONIC; a time already gone wakes at once
            // (but zero would disarm).
            const auto ns = std::max<int64_t>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count(), 1);
            itimerspec spec{};
            spec.it_value.tv_sec = time_t(ns / 1000000000);
            spec.it_value.tv_nsec = long(ns % 1000000000);
            timerfd_settime(fd_, TFD_TIMER_ABSTIME, &spec, nullptr);
            return;
        }
#endif
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(when - QtScheduler::Clock::now()).count();
        timer_->start(int(std::max<decltype(left)>(left, 0)));
    }

private:
#ifdef __linux__
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
#endif
    std::unique_ptr<QTimer> timer_;
};

} // namespace

// Shared with the restartable timers, which may outlive the scheduler (they
// then stay quiet).
class QtScheduler::Queue : public std::enable_shared_from_this<QtScheduler::Queue> {
public:
    // How much earlier than due the thread is woken. Waking takes the
    // kernel and the event loop some 50 to 100 us (more on a virtual
    // machine); without this, every pause and every emulated reply of a
    // transfer would come that much late.
    static constexpr std::chrono::microseconds kEarly{100};

    using Key = std::pair<Clock::time_point, uint64_t>;  // due, order of starting
    struct Restartable;
    struct Entry {
        std::function<void()> fn;  // a one-shot's
        TimerId oneShot = 0;
        Restartable* timer = nullptr;  // or the restartable timer this entry carries
    };
    using Map = std::map<Key, Entry>;
    struct Restartable {
        // Takes its node back, then runs.
        virtual void fire(Map::node_type node) = 0;

    protected:
        ~Restartable() = default;
    };

    Queue() = default;

    void checkThread()
    {
        Q_ASSERT(!owner_ || owner_ == QThread::currentThread());
        if (!owner_)
            owner_ = QThread::currentThread();
    }

    Map::iterator add(Micros delay, Entry e)
    {
        return insert(Key{Clock::now() + std::max(delay, Micros(0)), ++order_}, std::move(e));
    }
    // Moves an entry (or a parked node) to a new time without allocating.
    Map::iterator move(Map::node_type node, Micros delay)
    {
        node.key() = Key{Clock::now() + std::max(delay, Micros(0)), ++order_};
        const auto it = map_.insert(std::move(node)).position;
        armFor(it->first.first);
        return it;
    }
    Map::node_type take(Map::iterator it) { return map_.extract(it); }
    Map::iterator end() { return map_.end(); }

    Map::iterator findOneShot(TimerId id)
    {
        const auto found = oneShots_.find(id);
        return found == oneShots_.end() ? map_.end() : found->second;
    }
    void forgetOneShot(TimerId id) { oneShots_.erase(id); }
    TimerId nextOneShotId() { return ++nextId_; }
    void rememberOneShot(TimerId id, Map::iterator it) { oneShots_.emplace(id, it); }
    size_t oneShots() const { return oneShots_.size(); }

    void close()
    {
        closed_ = true;
        map_.clear();
        oneShots_.clear();
        // Not from inside its own signal: a callback may be ending the scheduler.
        if (depth_ > 0)
            retired_ = std::move(waker_);
        waker_.reset();
    }
    bool closed() const { return closed_; }

private:
    Map::iterator insert(Key key, Entry e)
    {
        const auto it = map_.emplace(key, std::move(e)).first;
        armFor(key.first);
        return it;
    }
    void armFor(Clock::time_point due)
    {
        if (closed_)
            return;
        if (!waker_)  // made on first use, on the thread that uses it
            waker_ = std::make_unique<Waker>([this] { run(); });
        if (armed_ && armedFor_ <= due)
            return;  // woken no later than that anyway
        armed_ = true;
        armedFor_ = due;
        waker_->wakeAt(due - kEarly);
    }
    void run()
    {
        // Kept alive and its wake-up too, should a callback end the scheduler.
        const std::shared_ptr<Queue> self = shared_from_this();
        ++depth_;
        armed_ = false;
        // What was due when we woke, in order; what the callbacks start
        // anew waits for the next turn of the event loop, so input and
        // painting get their turn between a chain of zero-length timers.
        Clock::time_point now = Clock::now();
        // Woken early on purpose: the rest of the way is waited out here, a
        // few tens of microseconds at most.
        if (!map_.empty() && map_.begin()->first.first > now && map_.begin()->first.first - now <= kEarly) {
            const Clock::time_point due = map_.begin()->first.first;
            while ((now = Clock::now()) < due) {
            }
        }
        const uint64_t last = order_;
        while (!map_.empty() && !closed_) {
            const auto it = map_.begin();
            if (it->first.first > now || it->first.second > last)
                break;
            auto node = map_.extract(it);
            // The rest keeps its wake-up whatever the callback does, even
            // run an event loop of its own (a modal dialog): this run then
            // resumes when that loop is done.
            if (!map_.empty())
                armFor(map_.begin()->first.first);
            if (node.mapped().oneShot) {
                oneShots_.erase(node.mapped().oneShot);
                const std::function<void()> fn = std::move(node.mapped().fn);
                fn();
            } else {
                Restartable* timer = node.mapped().timer;
                timer->fire(std::move(node));
            }
        }
        if (!map_.empty() && !closed_)
            armFor(map_.begin()->first.first);
        if (--depth_ == 0 && retired_) {
            retired_->deleteNotifierLater();
            retired_.reset();
        }
    }

    std::unique_ptr<Waker> waker_;
    Map map_;
    std::map<TimerId, Map::iterator> oneShots_;
    QThread* owner_ = nullptr;
    uint64_t order_ = 0;
    TimerId nextId_ = 0;
    Clock::time_point armedFor_{};
    std::unique_ptr<Waker> retired_;
    int depth_ = 0;
    bool armed_ = false;
    bool closed_ = false;
};

namespace {

class QtTimer final : public Scheduler::Timer, private QtScheduler::Queue::Restartable {
public:
    using Queue = QtScheduler::Queue;
    QtTimer(std::shared_ptr<Queue> q, std::function<void()> fn) : queue_(std::move(q)), fn_(std::move(fn))
    {
        // The node that carries this timer through the queue, made once.
        Queue::Map scratch;
        Queue::Entry e;
        e.timer = this;
        parked_ = scratch.extract(scratch.emplace(Queue::Key{}, std::move(e)).first);
    }
    ~QtTimer() override { stop(); }

    void startMicros(Scheduler::Micros delay) override
    {
        if (queue_->closed())
            return;
        queue_->checkThread();
        Queue::Map::node_type node = queued_ ? queue_->take(at_) : std::move(parked_);
        at_ = queue_->move(std::move(node), delay);
        queued_ = true;
    }
    void stop() override
    {
        if (queued_ && !queue_->closed())
            parked_ = queue_->take(at_);
        queued_ = false;
    }
    bool active() const override { return queued_; }

private:
    void fire(Queue::Map::node_type node) override
    {
        parked_ = std::move(node);
        queued_ = false;
        fn_();
    }

    std::shared_ptr<Queue> queue_;
    std::function<void()> fn_;
    Queue::Map::node_type parked_;
    Queue::Map::iterator at_{};
    bool queued_ = false;
};

} // namespace

QtScheduler::QtScheduler() : queue_(std::make_shared<Queue>()) {}

QtScheduler::~QtScheduler() { queue_->close(); }

Scheduler::TimerId QtScheduler::afterMicros(Micros delay, std::function<void()> fn)
{
    queue_->checkThread();
    if (queue_->closed())
        return 0;
    const TimerId id = queue_->nextOneShotId();
    queue_->rememberOneShot(id, queue_->add(delay, Queue::Entry{std::move(fn), id}));
    return id;
}

void QtScheduler::cancel(TimerId id)
{
    const auto it = queue_->findOneShot(id);
    if (it == queue_->end())
        return;
    queue_->forgetOneShot(id);
    queue_->take(it);
}

size_t QtScheduler::pending() const { return queue_->oneShots(); }

std::unique_ptr<Scheduler::Timer> QtScheduler::timer(std::function<void()> fn)
{
    queue_->checkThread();
    return std::make_unique<QtTimer>(queue_, std::move(fn));
}

} // namespace kw
