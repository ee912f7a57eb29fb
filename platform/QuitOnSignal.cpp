#include "platform/QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <csignal>

namespace {

// A signal handler may only write to a descriptor; this is the one the quitter reads.
volatile std::sig_atomic_t gWriteFd = -1;

extern "C" void OnQuitSignal(int) {
    const char byte = 1;
    if (gWriteFd >= 0) {
        [[maybe_unused]] const auto n = ::write(gWriteFd, &byte, 1);
    }
}

}  // namespace

CQuitOnSignal::CQuitOnSignal(QObject* parent) : QObject(parent) {
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    gWriteFd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(pipe_[0], buffer, sizeof buffer) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

CQuitOnSignal::~CQuitOnSignal() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, SIG_DFL);
    }
    gWriteFd = -1;
    for (int fd : pipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}
