#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvane::sim::test {

// A private scratch directory, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The simulator binary running as a child: its standard input is ours to write, its standard
// output is read line by line with deadlines, its standard error goes to a file.
class SimProcess {
public:
    SimProcess(const std::vector<std::string>& args, const std::filesystem::path& errorFile);
    // Stops a child that is still running (SIGTERM, then SIGKILL) so no test leaves one behind.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return pid_ > 0; }

    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Sends one command line and returns the simulator's answer line.
    std::optional<std::string> command(const std::string& line, std::chrono::milliseconds timeout);
    void closeInput();
    void signal(int number);
    // The exit status, or empty if it is still running at the deadline or died of a signal.
    std::optional<int> waitExit(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffered_;
    bool reaped_ = false;
    int status_ = 0;
};

}  // namespace orvane::sim::test
