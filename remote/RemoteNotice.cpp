#include "remote/RemoteNotice.h"

#include "platform/MessageBoxService.h"
#include "remote/RemoteControl.h"
#include "shell/MainFrame.h"

#include <QTimer>

namespace RemoteNotice {

QString Listening(CMainFrame& frame, const CRemoteControl& remote) {
    QString lines = QStringLiteral("orvane: remote interface on %1\n").arg(remote.Url());
    const QString warning = remote.Endpoint().ExposureWarning();
    if (warning.isEmpty()) {
        frame.ShowRemoteState(
            QStringLiteral("Remote on"),
            QStringLiteral("The remote interface listens on %1, for this machine only.")
                .arg(remote.Url()));
        return lines;
    }
    frame.ShowRemoteState(QStringLiteral("Remote: network"),
                          QStringLiteral("Warning: %1.").arg(warning));
    return lines + QStringLiteral("orvane: warning: %1\n").arg(warning);
}

QString Off(CMainFrame& frame, const QString& reason) {
    const QString text = QStringLiteral("The remote interface is off: %1.").arg(reason);
    frame.ShowRemoteState(QStringLiteral("Remote off"), text);
    // After the start, not in its midst: the box waits for the user while the program runs on.
    QTimer::singleShot(0, &frame, [&frame, text] {
        frame.Messages().Show(text, kAppTitle, CMessageBoxService::Buttons::Ok);
    });
    return QStringLiteral("orvane: the remote interface is off: %1\n").arg(reason);
}

}  // namespace RemoteNotice
