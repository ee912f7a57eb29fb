#include "shell/ConnectionPane.h"

#include "link/PortReportText.h"

namespace {
const QString kConnected = QStringLiteral("Zigbee connected");
const QString kDisconnected = QStringLiteral("Zigbee disconnected");
}  // namespace

CConnectionPane::CConnectionPane(QWidget* parent) : QLabel(kDisconnected, parent) {
    setObjectName(QStringLiteral("connectionText"));
    setAccessibleName(QStringLiteral("Connection"));
    setAccessibleDescription(text());
}

void CConnectionPane::Show(bool connected, const PortReport& report) {
    report_ = report;
    const QString state = connected ? kConnected : kDisconnected;
    const QString reason = PortReportText(report);
    // The accessible name is the pane's caption, so the state itself is told in the description.
    const QString description = state + QStringLiteral(". ") + reason;
    if (text() != state) {
        setText(state);
    }
    if (toolTip() != reason) {
        setToolTip(reason);
    }
    if (accessibleDescription() != description) {
        setAccessibleDescription(description);
    }
}
