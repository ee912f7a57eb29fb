#include "shell/ConnectionPane.h"

#include "link/PortReportText.h"
#include "platform/TipAndDescription.h"

namespace {
const QString kConnected = QStringLiteral("Zigbee connected");
const QString kDisconnected = QStringLiteral("Zigbee disconnected");
}  // namespace

CConnectionPane::CConnectionPane(QWidget* parent) : QLabel(kDisconnected, parent) {
    // The accessible name stays the label's own text, so a screen reader says the state as the
    // screen shows it; the description carries what is known about the port.
    setObjectName(QStringLiteral("connectionText"));
}

void CConnectionPane::Show(bool connected, const PortReport& report) {
    report_ = report;
    const QString state = connected ? kConnected : kDisconnected;
    const QString reason = PortReportText(report);
    if (text() != state) {
        setText(state);
    }
    SetTipAndDescription(*this, reason);
}
