#include <QCoreApplication>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "SignalWatcher.h"
#include "SimApp.h"
#include "SimOptions.h"

#ifndef ORVANE_VERSION
#error "ORVANE_VERSION comes from the project's version in CMake"
#endif

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Started with standard input, output or error closed, the first descriptor opened later (the
// pseudo-terminal) would take its number, and commands would be read from the device itself.
void fillStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1) {
            ::open("/dev/null", O_RDWR);
        }
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace orvane::sim;
    fillStandardDescriptors();

    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const ParsedArguments parsed = parseArguments(args);
    const std::string_view program = "orvane-dongle-sim";
    if (std::holds_alternative<HelpRequested>(parsed)) {
        std::fputs(usageText(program).c_str(), stdout);
        return 0;
    }
    if (std::holds_alternative<VersionRequested>(parsed)) {
        std::printf("%s %s\n", program.data(), ORVANE_VERSION);
        return 0;
    }
    if (const auto* error = std::get_if<ArgumentError>(&parsed)) {
        std::fprintf(stderr, "%s: %s\nRun with --help for usage.\n", program.data(),
                     error->message.c_str());
        return kExitUsage;
    }

    // Before Qt may start any thread, so no thread ever takes these signals.
    SignalWatcher::blockSignals();
    // A test or script that stops reading our output must not kill us mid-cleanup.
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication application(argc, argv);
    SimApp simulator(std::get<SimOptions>(parsed));
    std::string error;
    if (!simulator.start(error)) {
        std::fprintf(stderr, "%s: %s\n", program.data(), error.c_str());
        return kExitFailure;
    }
    return QCoreApplication::exec();
}
