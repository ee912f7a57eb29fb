#pragma once

#include "platform/PortProblem.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>

// Line settings as the port settings record gives them: stop bits and parity keep the record's
// codes, which are the positions of their entries in the port settings dialog.
struct SerialLineSettings {
    int nBaudRate = 9600;
    int nDataBits = 8;
    int nStopBits = 0;  // 0 one, 1 one and a half, 2 two
    int nParity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
};

// The operating-system side of a serial port: the few calls the link needs, kept in one place so
// another system's backend can stand beside this POSIX one.
//
// Threading: Open, Write, Purge and Close belong to the owning thread; Wait, BytesWaiting and Read
// to the one reader thread; Wake may be called from any thread. Close must not run while the
// reader is inside Wait or Read: the owner wakes the reader and joins it first.
class CSerialDevice {
public:
    enum class WaitResult {
        Readable,   // bytes arrived (or the driver says so; a read may still find none)
        Woken,      // Wake() was called
        LineError,  // hang-up or device error: the port is gone
    };

    CSerialDevice() = default;
    ~CSerialDevice();
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;

    // "/dev/" + name, or the name itself when it is an absolute path. Empty for an empty name
    // and for a relative name with a ".." component, which would leave /dev.
    static QString PathForPort(const QString& portName);

    // Whether the path (a symbolic link is followed) is a terminal line: a serial device the
    // kernel files under its tty class, or a pseudo-terminal slave. Decided from the file system
    // alone, since opening some devices has side effects of its own (a watchdog arms itself).
    static bool IsTerminalDevice(const QString& path);

    // Opens an existing terminal device for exclusive use in raw mode with the given line
    // settings, and asks its driver to hand received bytes on without delay where it can. Never
    // creates or truncates a file; refuses anything that is not a terminal, before opening it,
    // and any setting the line cannot take. On failure nothing stays open.
    bool Open(const QString& path, const SerialLineSettings& settings);
    bool IsOpen() const { return portFd_ >= 0; }
    // Why the last Open failed (None after a successful one), and the errno of the call that
    // refused it (0 when none did).
    PortProblem LastOpenProblem() const { return lastProblem_; }
    int LastOpenError() const { return lastError_; }

    WaitResult Wait();
    int BytesWaiting() const;
    int Read(std::span<std::uint8_t> buffer);

    // Writes the bytes, waiting while the driver is full, but never longer than timeoutMs in all
    // (0: only what the driver takes at once). Returns the number of bytes the driver took, less
    // than asked when the line stalled or failed.
    int Write(std::span<const std::uint8_t> bytes, int timeoutMs);
    // Bytes the driver holds that have not left for the line yet. A pseudo-terminal and some USB
    // adapters hand every write on at once and say 0.
    int BytesUnsent() const;

    void Wake();
    void Purge();
    void Close();

private:
    // Records why the open failed and closes what it left open; always false.
    bool Refuse(PortProblem problem, int error, const QString& path);
    bool Refuse(int error, const QString& path);

    int portFd_ = -1;
    int wakeFd_ = -1;
    bool exclusive_ = false;  // this open set the line's exclusive mark and clears it on Close
    PortProblem lastProblem_ = PortProblem::None;
    int lastError_ = 0;
};
