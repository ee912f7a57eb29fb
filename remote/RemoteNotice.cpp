#include "remote/RemoteNotice.h"

#include "platform/MessageBoxService.h"
#include "remote/RemoteControl.h"

#include <QTimer>

namespace RemoteNotice {

QString Listening(const Window& window, const CRemoteControl& remote) {
    QString lines = QStringLiteral("orvane: remote interface on %1\n").arg(remote.Url());
    const QString warning = remote.Endpoint().ExposureWarning();
    if (warning.isEmpty()) {
        window.showState(
            QStringLiteral("Remote on"),
            QStringLiteral("The remote interface listens on %1, for this machine only.")
                .arg(remote.Url()));
        return lines;
    }
    window.showState(QStringLiteral("Remote: network"),
                     QStringLiteral("Warning: %1.").arg(warning));
    return lines + QStringLiteral("orvane: warning: %1\n").arg(warning);
}

QString Off(const Window& window, const QString& reason) {
    const QString text = QStringLiteral("The remote interface is off: %1.").arg(reason);
    window.showState(QStringLiteral("Remote off"), text);
    // After the start, not in its midst: the box waits for the user while the program runs on.
    CMessageBoxService& boxes = window.boxes;
    QTimer::singleShot(0, &window.context, [&boxes, text] {
        boxes.Show(text, kAppTitle, CMessageBoxService::Buttons::Ok);
    });
    return QStringLiteral("orvane: the remote interface is off: %1\n").arg(reason);
}

}  // namespace RemoteNotice
