#include "SignalWatcher.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <utility>

namespace orvane::sim {
namespace {

sigset_t watchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

bool SignalWatcher::blockSignals() {
    const sigset_t set = watchedSignals();
    return ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

SignalWatcher::SignalWatcher(std::function<void(int)> handler) : handler_(std::move(handler)) {
    const sigset_t set = watchedSignals();
    fd_.reset(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd_.valid()) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        signalfd_siginfo info{};
        while (::read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            handler_(static_cast<int>(info.ssi_signo));
        }
    });
}

}  // namespace orvane::sim
