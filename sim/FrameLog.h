#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace orvane::sim {

// One line per frame: seconds since start with milliseconds, the direction, then the bytes in
// hex. Each line is flushed at once, because tests read the file while the simulator runs.
class FrameLog {
public:
    // An empty path opens nothing and makes write() a no-op.
    bool open(const std::string& path, std::string& error);
    void write(std::string_view direction, std::span<const std::uint8_t> bytes);

    static std::string formatLine(std::int64_t elapsedMs, std::string_view direction,
                                  std::span<const std::uint8_t> bytes);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace orvane::sim
