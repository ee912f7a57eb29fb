#include "RemoteRig.h"

#include "commands/Commands.h"
#include "link/UnitMask.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

namespace orvane::remote::test {

namespace {

constexpr int kDeadlineMs = 5000;
const Bytes kSentinel = {0xFF, 0x05, 0x00, 0x00, 0x45};

Bytes StatusReport(const Report& r) {
    const std::uint16_t mask = MaskFromSlot(r.slot);
    return {0xFF,
            0x0E,
            0x01,
            static_cast<std::uint8_t>(mask >> 8),
            static_cast<std::uint8_t>(mask & 0xFF),
            static_cast<std::uint8_t>(r.flashOn),
            static_cast<std::uint8_t>(r.flash),
            static_cast<std::uint8_t>(r.model),
            0,
            0,
            0,
            0,
            1,
            0};
}

}  // namespace

bool Response::HasHeader(QByteArrayView name) const {
    const QByteArray wanted = name.toByteArray().toLower() + ':';
    const QList<QByteArray> lines = head.split('\n');
    return std::any_of(lines.begin(), lines.end(), [&](const QByteArray& line) {
        return line.trimmed().toLower().startsWith(wanted);
    });
}

QString Response::Error() const {
    return json.object().value(QStringLiteral("error")).toString();
}

Bytes ScanRequest(char studio) {
    return {0xFF, 0x05, 0x00, 0x00, static_cast<std::uint8_t>(studio)};
}

RemoteRig::RemoteRig() = default;

RemoteRig::~RemoteRig() {
    if (remote) {
        remote->Stop();
    }
    frame.reset();
}

bool RemoteRig::Start() {
    EXPECT_TRUE(pty.IsOpen());
    EXPECT_TRUE(folder.isValid());
    QFile option(QDir(folder.path()).filePath(QStringLiteral("Option.xml")));
    EXPECT_TRUE(option.open(QIODevice::WriteOnly));
    option.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Option>\n\t<ComSet>"
                                "\n\t\t<sComPort>%1</sComPort>\n\t\t<nBaud>9600</nBaud>\n"
                                "\t</ComSet>\n</Option>\n")
                     .arg(pty.SlavePath())
                     .toUtf8());
    option.close();

    CRemoteControl::Options options;
    options.endpoint.port = 0;
    options.tokenPath = QDir(folder.path()).filePath(QStringLiteral("config/orvane/remote-token"));
    remote = std::make_unique<CRemoteControl>(options);
    MainFrameOptions frameOptions;
    frameOptions.workDir = QDir(folder.path());
    frameOptions.messages = &boxes;
    frameOptions.scanTickMs = kScanTickMs;
    frame = std::make_unique<CMainFrame>(frameOptions);
    frame->show();
    if (!QTest::qWaitFor([this] { return frame->IsConnected(); }, kDeadlineMs)) {
        ADD_FAILURE() << "the frame did not open the pseudo-terminal";
        return false;
    }
    QString reason;
    if (!remote->Start(Program(), reason)) {
        ADD_FAILURE() << reason.toStdString();
        return false;
    }
    QFile file(options.tokenPath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    token = file.readAll().trimmed();
    return remote->Port() != 0;
}

QByteArray RemoteRig::Request(const QByteArray& method, const QByteArray& path,
                              const QByteArray& body, const QByteArray& authorization) const {
    QByteArray request = method + " /api/v1/" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!authorization.isEmpty()) {
        request += "Authorization: " + authorization + "\r\n";
    }
    if (!body.isEmpty()) {
        request +=
            "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\n";
    }
    return request + "\r\n" + body;
}

Response RemoteRig::Call(const QByteArray& method, const QByteArray& path, const QByteArray& body) {
    return Raw(Request(method, path, body, "Bearer " + token));
}

Response RemoteRig::Raw(const QByteArray& request) {
    // The server answers in this thread's event loop, which the waits below run; it closes the
    // connection after every answer.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, remote->Port());
    QByteArray received;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { received += socket.readAll(); });
    socket.write(request);
    Response response;
    // Complete once the body has the length its head announced.
    const auto complete = [&] {
        const qsizetype end = received.indexOf("\r\n\r\n");
        if (end < 0) {
            return false;
        }
        response.head = received.left(end);
        response.body = received.mid(end + 4);
        const qsizetype at = response.head.toLower().indexOf("content-length: ");
        return at >= 0 && response.body.size() >= response.head.mid(at + 16).split('\r')[0].toInt();
    };
    if (!QTest::qWaitFor(
            [&] { return complete() || socket.state() == QAbstractSocket::UnconnectedState; },
            kDeadlineMs) ||
        !complete()) {
        ADD_FAILURE() << "no whole answer to " << request.left(60).data() << " got "
                      << received.data() << " state " << socket.state();
        return {};
    }
    response.status = response.head.mid(9, 3).toInt();
    response.json = QJsonDocument::fromJson(response.body);
    return response;
}

bool RemoteRig::Scan(char studio, const std::vector<Report>& units) {
    bool finished = false;
    const auto end =
        QObject::connect(frame.get(), &CMainFrame::ScanFinished, [&finished] { finished = true; });
    // The units answer once the request went out and the studio was emptied, as a dongle's do.
    const auto answer = QObject::connect(frame.get(), &CMainFrame::ScanStarted, [this, units] {
        for (const Report& unit : units) {
            pty.Send(StatusReport(unit));
        }
    });
    const Response started = Call("POST", "studios/" + QByteArray(1, studio) + "/scan");
    EXPECT_EQ(started.status, 202) << started.body.toStdString();
    const bool done = QTest::qWaitFor([&finished] { return finished; }, kDeadlineMs);
    QObject::disconnect(end);
    QObject::disconnect(answer);
    EXPECT_EQ(Line(5), ScanRequest(studio));
    return done && started.status == 202;
}

bool RemoteRig::NothingWritten() {
    QCoreApplication::sendPostedEvents();
    frame->Protocol().SendScanRequest(4);
    return Line(kSentinel.size()) == kSentinel;
}

EventStream::EventStream(RemoteRig& rig, const QHostAddress& from) {
    socket_.bind(from);
    socket_.connectToHost(QHostAddress::LocalHost, rig.remote->Port());
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { text_ += socket_.readAll(); });
    socket_.write(rig.Request("GET", "events", {}, "Bearer " + rig.token));
}

bool EventStream::WaitFor(const QByteArray& needle, int deadlineMs) {
    return QTest::qWaitFor([&] { return text_.contains(needle); }, deadlineMs);
}

}  // namespace orvane::remote::test
