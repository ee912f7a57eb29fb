#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace orvane::sim {

// Hands out whole lines read from a file descriptor (standard input) as they arrive. At end of
// input it simply stops listening: closing the command stream is not a request to quit.
class LineReader {
public:
    using Handler = std::function<void(std::string_view line)>;

    LineReader(int fd, Handler handler);

private:
    void readSome();

    int fd_;
    Handler handler_;
    std::string pending_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvane::sim
