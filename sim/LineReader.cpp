#include "LineReader.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <utility>

namespace orvane::sim {
namespace {

// A line longer than this is not a command; dropping it keeps a runaway writer from growing the
// buffer without limit.
constexpr std::size_t kMaxLine = 4096;

}  // namespace

LineReader::LineReader(int fd, Handler handler) : fd_(fd), handler_(std::move(handler)) {
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readSome(); });
}

void LineReader::readSome() {
    // One read per wake-up: the descriptor may be shared with whoever started us, so it stays
    // blocking, and the notifier has just said a read will not block.
    std::array<char, 1024> buffer{};
    const ssize_t count = ::read(fd_, buffer.data(), buffer.size());
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (count <= 0) {
        notifier_->setEnabled(false);
        return;
    }
    pending_.append(buffer.data(), static_cast<std::size_t>(count));
    std::size_t newline = 0;
    while ((newline = pending_.find('\n')) != std::string::npos) {
        const std::string line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        handler_(line);
    }
    if (pending_.size() > kMaxLine) {
        std::fputs("orvane-dongle-sim: command line too long, ignored\n", stderr);
        pending_.clear();
    }
}

}  // namespace orvane::sim
