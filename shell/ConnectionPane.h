#pragma once

#include "platform/PortProblem.h"

#include <QLabel>

// The status bar's connection pane: "Zigbee connected" or "Zigbee disconnected", and in its tooltip
// and accessible description the port with what stands in its way and what to do about it.
class CConnectionPane final : public QLabel {
    Q_OBJECT
public:
    explicit CConnectionPane(QWidget* parent);

    // Shows the link state and what is known about its port. Each text is replaced only when it
    // changes, so that retries finding the same problem every half second change nothing a
    // screen reader would announce again.
    void Show(bool connected, const PortReport& report);
    // What the pane tells about the port now.
    const PortReport& Report() const { return report_; }

private:
    PortReport report_;
};
