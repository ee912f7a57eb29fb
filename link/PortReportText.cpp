#include "link/PortReportText.h"

#include <cstring>

namespace {

// The system's own English words for an error, never translated by the locale.
QString ErrorWords(int error) {
    const char* words = ::strerrordesc_np(error);
    return words ? QString::fromLatin1(words).toLower() : QStringLiteral("error %1").arg(error);
}

// A process names itself: its name may hold anything but a zero byte. Control characters (a
// line break, an escape) would break the sentence apart; they are shown as "?".
QString Printable(QString name) {
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control) {
            c = u'?';
        }
    }
    return name;
}

QString HolderWords(const PortReport& report) {
    if (!report.holder) {
        return QStringLiteral("another program");
    }
    if (report.holder->name.isEmpty()) {
        return QStringLiteral("process %1").arg(report.holder->pid);
    }
    return QStringLiteral("%1 (process %2)")
        .arg(Printable(report.holder->name))
        .arg(report.holder->pid);
}

}  // namespace

QString PortReportText(const PortReport& report) {
    if (report.port.isEmpty()) {
        return QStringLiteral("No port is chosen. Press Com to pick its port.");
    }
    const QString port = report.path.isEmpty() ? report.port : report.path;
    switch (report.problem) {
        case PortProblem::None:
            return report.open ? QStringLiteral("Port %1 is open.").arg(port)
                               : QStringLiteral("Port %1 is there and free.").arg(port);
        case PortProblem::NoSuchDevice:
            return QStringLiteral(
                       "Port %1: no such device. Is the dongle plugged in? Press Com to pick its "
                       "port.")
                .arg(port);
        case PortProblem::PermissionDenied:
            return QStringLiteral(
                       "Port %1: permission denied. Add your user to the 'dialout' group and log "
                       "in again.")
                .arg(port);
        case PortProblem::InUse:
            return QStringLiteral(
                       "Port %1 is in use by %2. Close that program, or press Com to pick another "
                       "port.")
                .arg(port, HolderWords(report));
        case PortProblem::NotATerminal:
            return QStringLiteral("Port %1 is not a serial port. Press Com to pick its port.")
                .arg(port);
        case PortProblem::LineSettingsRefused:
            return QStringLiteral(
                       "Port %1 refuses the line settings. Press Com, then Ok, to set 9600 baud, "
                       "8 data bits, no parity and one stop bit.")
                .arg(port);
        case PortProblem::Other:
            break;
    }
    return QStringLiteral("Port %1 cannot be opened: %2. Press Com to pick its port.")
        .arg(port, ErrorWords(report.error));
}
