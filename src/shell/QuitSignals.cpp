#include "shell/QuitSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kw {

#ifdef Q_OS_UNIX

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The writing end, for the handler; -1 while nobody listens.
volatile sig_atomic_t writeEnd = -1;

void onAlarm(int)
{
    static const char text[] = "knobwright: did not end within 2 s of the signal to quit; ending now\n";
    [[maybe_unused]] const auto n = ::write(STDERR_FILENO, text, sizeof text - 1);
    ::_exit(1);
}

void onSignal(int)
{
    // Only what is safe in a handler: one write, errno left as it was. The
    // program ends within two seconds whatever holds it up (a driver that
    // does not return, a loop that never comes back to the event loop): the
    // desktop waits no longer at a logout.
    const int saved = errno;
    const char c = 1;
    if (writeEnd >= 0)
        [[maybe_unused]] const auto n = ::write(int(writeEnd), &c, 1);
    ::alarm(QuitSignals::kLimitSeconds);
    errno = saved;
}

} // namespace

struct QuitSignals::Saved {
    int fds[2] = {-1, -1};
    struct sigaction old[3] {};
    struct sigaction oldAlarm {};
};

QuitSignals::QuitSignals(std::function<void()> quit) : quit_(std::move(quit)), saved_(std::make_unique<Saved>())
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, saved_->fds) != 0)
        return;
    writeEnd = saved_->fds[1];
    notifier_ = new QSocketNotifier(saved_->fds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char c;
        [[maybe_unused]] const auto n = ::read(saved_->fds[0], &c, 1);
        if (quit_)
            quit_();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &sa, &saved_->old[i]);
    struct sigaction alarm {};
    alarm.sa_handler = onAlarm;
    sigemptyset(&alarm.sa_mask);
    sigaction(SIGALRM, &alarm, &saved_->oldAlarm);
}

QuitSignals::~QuitSignals()
{
    if (saved_->fds[0] < 0)
        return;
    // The program has come to its end by itself.
    ::alarm(0);
    sigaction(SIGALRM, &saved_->oldAlarm, nullptr);
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &saved_->old[i], nullptr);
    writeEnd = -1;
    delete notifier_;
    ::close(saved_->fds[0]);
    ::close(saved_->fds[1]);
}

#else

struct QuitSignals::Saved {};

QuitSignals::QuitSignals(std::function<void()> quit) : quit_(std::move(quit)) {}

QuitSignals::~QuitSignals() = default;

#endif

} // namespace kw
