#pragma once

// What the remote interface's tests share: a real main frame whose port is a pseudo-terminal,
// with the remote interface on an ephemeral port as the program assembles them, and a plain HTTP
// client that speaks to it in the same event loop.

#include "commands/Commands.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "remote/RemoteControl.h"
#include "shell/MainFrame.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingMessageBox.h"
#include "support/SettingFrame.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

namespace orvane::remote::test {

using Bytes = std::vector<std::uint8_t>;

struct Response {
    int status = 0;  // 0: no answer
    QByteArray head;
    QByteArray body;
    QJsonDocument json;

    bool HasHeader(QByteArrayView name) const;
    QString Error() const;
};

// A unit's status report, as a dongle sends it during a scan.
struct Report {
    int slot;
    int flash;
    int model;
    int flashOn = 1;
};

class RemoteRig {
public:
    static constexpr int kScanTickMs = 40;

    RemoteRig();
    ~RemoteRig();

    // Builds and connects the frame and starts the interface; false (with a test failure) when
    // that did not happen.
    bool Start();

    // A request with the token, or as given. path is what follows /api/v1/.
    Response Call(const QByteArray& method, const QByteArray& path, const QByteArray& body = {});
    Response Raw(const QByteArray& request);
    QByteArray Request(const QByteArray& method, const QByteArray& path, const QByteArray& body,
                       const QByteArray& authorization) const;

    // Scans a studio through the interface; the units answer while the scan's dialog counts.
    bool Scan(char studio, const std::vector<Report>& units);

    // The next bytes on the line; and a check that nothing else went out since.
    Bytes Line(std::size_t count) { return pty.Receive(count); }
    bool NothingWritten();

    StudioData& Studio(int number) const { return *frame->Model().pStudio[number]; }
    // What an interface is started on: the frame's commands.
    CRemoteControl::Program Program() const { return {frame->Commands(), &frame->Confirmations()}; }

    PseudoTerminal pty;
    QTemporaryDir folder;  // the working folder and the configuration folder
    RecordingMessageBox boxes;
    std::unique_ptr<CRemoteControl> remote;
    std::unique_ptr<CMainFrame> frame;
    QByteArray token;
};

// An open event stream: what arrived so far.
class EventStream {
public:
    // From the address given, or from 127.0.0.1.
    explicit EventStream(RemoteRig& rig, const QHostAddress& from = QHostAddress::LocalHost);
    // Waits until the text holds the needle; false at the deadline.
    bool WaitFor(const QByteArray& needle, int deadlineMs = 3000);
    QByteArray Text() const { return text_; }

private:
    QTcpSocket socket_;
    QByteArray text_;
};

Bytes ScanRequest(char studio);

}  // namespace orvane::remote::test
