#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in the terminal) end the
// program the normal way: the handler only writes a byte into a pipe, and the
// event loop, finding it there, quits; the usual shutdown follows. Should
// that not be over two seconds later, the process ends anyway.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace kw {

class QuitSignals : public QObject {
public:
    // However the shutdown goes, the process ends this long after the signal.
    static constexpr unsigned kLimitSeconds = 2;

    // `quit` runs on the thread that made this object, in its event loop.
    explicit QuitSignals(std::function<void()> quit);
    // Puts back the handlers that were there before.
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    struct Saved;
    std::function<void()> quit_;
    std::unique_ptr<Saved> saved_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kw
