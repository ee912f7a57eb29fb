#include "FrameLog.h"

#include <cerrno>
#include <cstring>

namespace orvane::sim {

bool FrameLog::open(const std::string& path, std::string& error) {
    if (path.empty()) {
        return true;
    }
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        error = "cannot write log " + path + ": " + std::strerror(errno);
        return false;
    }
    start_ = std::chrono::steady_clock::now();
    return true;
}

void FrameLog::write(std::string_view direction, std::span<const std::uint8_t> bytes) {
    if (!file_) {
        return;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    const std::string line = formatLine(elapsed.count(), direction, bytes);
    std::fputs(line.c_str(), file_.get());
    std::fflush(file_.get());
}

std::string FrameLog::formatLine(std::int64_t elapsedMs, std::string_view direction,
                                 std::span<const std::uint8_t> bytes) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string millis = std::to_string(elapsedMs % 1000);
    millis.insert(0, 3 - millis.size(), '0');
    std::string line = std::to_string(elapsedMs / 1000) + "." + millis + " ";
    line += direction;
    for (const std::uint8_t byte : bytes) {
        line += ' ';
        line += kHex[byte >> 4];
        line += kHex[byte & 0x0F];
    }
    line += '\n';
    return line;
}

}  // namespace orvane::sim
