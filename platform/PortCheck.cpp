#include "platform/PortCheck.h"

#include "platform/SerialDevice.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace PortCheck {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

QByteArray ReadLink(const QByteArray& link) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    return n > 0 ? QByteArray(target, static_cast<qsizetype>(n)) : QByteArray();
}

// Whether one of the process's descriptors leads to the device. A process that went away or
// whose descriptors this user may not read holds nothing as far as we can tell.
bool ProcessHolds(qint64 pid, const QByteArray& device) {
    const QByteArray fdDir = "/proc/" + QByteArray::number(pid) + "/fd";
    const Dir dir(::opendir(fdDir.constData()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_name[0] != '.' && ReadLink(fdDir + '/' + entry->d_name) == device) {
            return true;
        }
    }
    return false;
}

// The whole of a file under /proc, which tells no size beforehand: QFile reads on to its end.
QByteArray ReadProcFile(const QByteArray& path) {
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString CommandName(qint64 pid) {
    return QString::fromLocal8Bit(ReadProcFile("/proc/" + QByteArray::number(pid) + "/comm"))
        .trimmed();
}

// The process whose lock on the file /proc/locks lists (a serial program takes one to hold the line
// for itself), or 0. Every user may read that list, whoever the holder is.
qint64 LockHolder(const struct stat& file) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:19:5 0 EOF"; a waiter's line has "->" after the number.
    const QByteArray fileId = QByteArray::number(major(file.st_dev), 16).rightJustified(2, '0') +
                              ':' +
                              QByteArray::number(minor(file.st_dev), 16).rightJustified(2, '0') +
                              ':' + QByteArray::number(static_cast<qulonglong>(file.st_ino));
    for (const QByteArray& line : ReadProcFile("/proc/locks").split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields[1] != "->" && fields[5] == fileId) {
            const qint64 pid = fields[4].toLongLong();
            if (pid > 0) {
                return pid;
            }
        }
    }
    return 0;
}

qint64 PidOf(const char* name) {
    char* end = nullptr;
    const long long pid = std::strtoll(name, &end, 10);
    return (end != name && *end == '\0') ? pid : 0;
}

}  // namespace

PortProblem ProblemForError(int error) {
    switch (error) {
        case 0:
            return PortProblem::None;
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
            return PortProblem::NoSuchDevice;
        case EACCES:
        case EPERM:
            return PortProblem::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return PortProblem::InUse;
        case ENOTTY:
            return PortProblem::NotATerminal;
        default:
            return PortProblem::Other;
    }
}

PortProblem ProblemBeforeOpen(const QString& path, int& error) {
    error = 0;
    const QByteArray native = path.toLocal8Bit();
    struct stat st {};
    if (native.isEmpty()) {
        return PortProblem::NoSuchDevice;
    }
    if (::stat(native.constData(), &st) != 0) {
        error = errno;
        return ProblemForError(error);
    }
    return CSerialDevice::IsTerminalDevice(path) ? PortProblem::None : PortProblem::NotATerminal;
}

std::optional<PortHolder> FindLockHolder(const QString& path, bool excludeSelf) {
    struct stat file {};
    if (::stat(path.toLocal8Bit().constData(), &file) != 0) {
        return std::nullopt;
    }
    // A lock taken by a process that has ended since (its descriptor lives on in a child) names
    // no one.
    const qint64 locker = LockHolder(file);
    if (locker <= 0 || (excludeSelf && locker == ::getpid())) {
        return std::nullopt;
    }
    QString name = CommandName(locker);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return PortHolder{locker, std::move(name)};
}

std::optional<PortHolder> FindHolder(const QString& path, qint64 hintPid) {
    if (auto locker = FindLockHolder(path, false)) {
        return locker;
    }
    // Descriptors name the device by its real path, whatever link the port name went through.
    char real[PATH_MAX];
    if (::realpath(path.toLocal8Bit().constData(), real) == nullptr) {
        return std::nullopt;
    }
    // This program's own descriptors are left out: the link's holds a lock, found above, and any
    // other is the caller's own business (a test's look at the line, say).
    const QByteArray device(real);
    const qint64 self = ::getpid();
    const auto found = [&](qint64 pid) -> std::optional<PortHolder> {
        if (pid <= 0 || pid == self || !ProcessHolds(pid, device)) {
            return std::nullopt;
        }
        return PortHolder{pid, CommandName(pid)};
    };
    if (auto holder = found(hintPid)) {
        return holder;
    }
    const Dir proc(::opendir("/proc"));
    if (!proc) {
        return std::nullopt;
    }
    while (const dirent* entry = ::readdir(proc.get())) {
        const qint64 pid = PidOf(entry->d_name);
        if (pid == hintPid) {
            continue;
        }
        if (auto holder = found(pid)) {
            return holder;
        }
    }
    return std::nullopt;
}

PortReport Check(const QString& portName) {
    PortReport report;
    report.port = portName;
    report.path = CSerialDevice::PathForPort(portName);
    report.problem = ProblemBeforeOpen(report.path, report.error);
    if (report.problem != PortProblem::None) {
        return report;
    }
    // The rights the open would be checked against, without opening.
    if (::faccessat(AT_FDCWD, report.path.toLocal8Bit().constData(), R_OK | W_OK, AT_EACCESS) !=
        0) {
        report.error = errno;
        report.problem = ProblemForError(report.error);
        return report;
    }
    // Only a lock shows, without opening, that an open would be refused: a program with the line
    // merely open (the simulator keeps its own side open, for one) does not stop it. This
    // program's own lock is no obstacle either: the link lets go of it before opening again.
    report.holder = FindLockHolder(report.path, true);
    if (report.holder) {
        report.problem = PortProblem::InUse;
    }
    return report;
}

}  // namespace PortCheck
