#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::sim::test {

using Bytes = std::vector<std::uint8_t>;

// The program's side of the simulated serial device, opened the way the program opens it.
// Reading only cuts frames at start bytes and length; it interprets nothing, so what the tests
// compare is always the raw bytes.
class SlaveTerminal {
public:
    explicit SlaveTerminal(const std::string& path);
    ~SlaveTerminal();
    SlaveTerminal(const SlaveTerminal&) = delete;
    SlaveTerminal& operator=(const SlaveTerminal&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    bool write(const Bytes& bytes);
    std::optional<Bytes> nextFrame(std::chrono::milliseconds timeout);
    // Exactly count raw bytes, or fewer if the deadline passes first.
    Bytes readBytes(std::size_t count, std::chrono::milliseconds timeout);
    // True when nothing at all arrives for the whole period.
    bool staysQuiet(std::chrono::milliseconds period);
    // True when the device reports a hangup: POLLHUP, or a read that ends or fails.
    bool waitForHangup(std::chrono::milliseconds timeout);

private:
    // Reads whatever is there within the deadline; false on timeout or a dead device.
    bool fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    Bytes pending_;
};

}  // namespace orvane::sim::test
