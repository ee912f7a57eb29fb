#include "SlaveTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace orvane::sim::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint8_t kStart = 0xFF;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

SlaveTerminal::SlaveTerminal(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    termios settings{};
    if (::tcgetattr(fd_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
}

SlaveTerminal::~SlaveTerminal() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool SlaveTerminal::write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else {
            pollfd wait{fd_, POLLOUT, 0};
            ::poll(&wait, 1, 100);
        }
    }
    return true;
}

bool SlaveTerminal::fill(Clock::time_point deadline) {
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, remainingMs(deadline)) <= 0) {
        return false;
    }
    std::array<std::uint8_t, 512> chunk{};
    const ssize_t count = ::read(fd_, chunk.data(), chunk.size());
    if (count > 0) {
        pending_.insert(pending_.end(), chunk.begin(), chunk.begin() + count);
        return true;
    }
    return count < 0 && errno == EAGAIN;
}

std::optional<Bytes> SlaveTerminal::nextFrame(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        const auto start = std::find(pending_.begin(), pending_.end(), kStart);
        pending_.erase(pending_.begin(), start);
        if (pending_.size() >= 2) {
            const std::size_t length = pending_[1];
            if (length < 4) {
                pending_.erase(pending_.begin());
                continue;
            }
            const auto restart = std::find(pending_.begin() + 1, pending_.end(), kStart);
            const auto available = static_cast<std::size_t>(restart - pending_.begin());
            if (available >= length) {
                Bytes frame(pending_.begin(), pending_.begin() + static_cast<long>(length));
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(length));
                return frame;
            }
            if (restart != pending_.end()) {
                pending_.erase(pending_.begin(), restart);
                continue;
            }
        }
        if (Clock::now() >= deadline || !fill(deadline)) {
            return std::nullopt;
        }
    }
}

Bytes SlaveTerminal::readBytes(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (pending_.size() < count && fill(deadline)) {
    }
    const std::size_t taken = std::min(count, pending_.size());
    Bytes bytes(pending_.begin(), pending_.begin() + static_cast<long>(taken));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(taken));
    return bytes;
}

bool SlaveTerminal::staysQuiet(std::chrono::milliseconds period) {
    if (!pending_.empty()) {
        return false;
    }
    pollfd wait{fd_, POLLIN, 0};
    return ::poll(&wait, 1, static_cast<int>(period.count())) == 0;
}

bool SlaveTerminal::waitForHangup(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        pollfd wait{fd_, POLLIN, 0};
        if (::poll(&wait, 1, remainingMs(deadline)) <= 0) {
            return false;
        }
        if (wait.revents & (POLLHUP | POLLERR)) {
            return true;
        }
        std::array<std::uint8_t, 256> chunk{};
        const ssize_t count = ::read(fd_, chunk.data(), chunk.size());
        if (count == 0 || (count < 0 && errno == EIO)) {
            return true;
        }
    }
}

}  // namespace orvane::sim::test
