#include "device/SignalWatcher.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace wickpad {
namespace {
int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only what is safe in a signal handler: one byte into the pipe.
void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (g_pipe[1] >= 0) [[maybe_unused]]
        ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}
}  // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> onEnd, QObject* parent)
    : QObject(parent), onEnd_(std::move(onEnd)) {
    if (g_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return;
    ::fcntl(g_pipe[1], F_SETFL, ::fcntl(g_pipe[1], F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        if (::read(g_pipe[0], &byte, 1) == 1 && onEnd_) onEnd_(byte);
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

SignalWatcher::~SignalWatcher() {
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    for (int& fd : g_pipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace wickpad
