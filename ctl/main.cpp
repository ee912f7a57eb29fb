// orvane-ctl: the remote interface of a running orvane, from a terminal or a script.

#include "CtlClient.h"
#include "CtlCommand.h"
#include "CtlPrint.h"
#include "remote/RemoteToken.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>
#include <QUrl>

#include <cstdio>

#ifndef ORVANE_VERSION
#error "ORVANE_VERSION comes from the project's version in CMake"
#endif

namespace {

using Kind = CtlCommand::Kind;

// The exit codes callers of orvane-ctl can count on.
enum ExitCode : int { kExitOk = 0, kExitUsage = 2, kExitNoProgram = 3, kExitRefused = 4 };

// How long a scan may take to start and to end, and how often its state is asked for.
constexpr int kScanStartMs = 5000, kScanEndMs = 30000, kPollMs = 200;

void Out(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

int Say(int code, const QString& text) {
    std::fprintf(stderr, "orvane-ctl: %s\n", text.toLocal8Bit().constData());
    return code;
}

// The exit code of an answer that is not a success, after saying why.
int Failed(const CCtlClient::Answer& answer, const QString& tokenFile) {
    if (answer.status == 0) {
        return Say(kExitNoProgram, answer.Reason());
    }
    if (answer.status == 401) {
        return Say(kExitRefused,
                   QStringLiteral("the program does not take the token in %1").arg(tokenFile));
    }
    return Say(answer.status == 400 ? kExitUsage : kExitRefused, answer.Reason());
}

QString Encoded(const QString& segment) {
    // Dots too: a title "." or ".." must not read as a step in the path.
    return QString::fromLatin1(QUrl::toPercentEncoding(segment, {}, "."));
}

void PrintJson(const QJsonDocument& json) {
    Out(QString::fromUtf8(json.toJson(QJsonDocument::Indented)));
}

class Run {
public:
    Run(const CtlCommand& command, const QByteArray& token, QString tokenFile)
        : command_(command), client_(QUrl(command.url), token), tokenFile_(std::move(tokenFile)) {}

    int Execute() {
        switch (command_.kind) {
            case Kind::Status:
                return Show(client_.Get(QStringLiteral("status")), Printed::Status);
            case Kind::Studio:
                return Show(client_.Send("POST", Studio(command_.studio) + "/select"),
                            Printed::Status);
            case Kind::Scan:
                return Scan();
            case Kind::Units:
                return WithStudio([this](const QString& s) {
                    return Show(client_.Get(Studio(s) + "/units"), Printed::Units);
                });
            case Kind::Set:
            case Kind::Tick:
                return WithStudio([this](const QString& s) {
                    return Show(client_.Send("PATCH", Unit(s), command_.body), Printed::Unit);
                });
            case Kind::Test:
                return WithStudio([this](const QString& s) {
                    return Show(client_.Send("POST", Unit(s) + "/test"), Printed::Unit);
                });
            case Kind::Group:
                return WithStudio([this](const QString& s) {
                    return Show(client_.Send("POST", Studio(s) + "/group", command_.body),
                                Printed::Group);
                });
            case Kind::Setups:
                return Show(client_.Get(QStringLiteral("setups")), Printed::Lines);
            case Kind::Load:
                return Show(client_.Send("POST", Setup() + "/load"), Printed::Loaded);
            case Kind::Save:
                return Show(client_.Send("PUT", Setup()), Printed::Saved);
            case Kind::Watch:
                return Watch();
            case Kind::Undo:
                return Show(client_.Send("POST", QStringLiteral("undo")), Printed::History);
            case Kind::Redo:
                return Show(client_.Send("POST", QStringLiteral("redo")), Printed::History);
            case Kind::History:
                return Show(client_.Get(QStringLiteral("history")), Printed::History);
            case Kind::Help:
            case Kind::Version:
                break;
        }
        return kExitUsage;
    }

private:
    enum class Printed { Status, Units, Unit, Group, Lines, Loaded, Saved, History };

    static QString Studio(const QString& letter) { return QStringLiteral("studios/") + letter; }
    QString Unit(const QString& letter) const {
        return Studio(letter) + QStringLiteral("/units/") + QString::number(command_.channel);
    }
    QString Setup() const { return QStringLiteral("setups/") + Encoded(command_.title); }

    int Show(const CCtlClient::Answer& answer, Printed printed) {
        if (!answer.Ok()) {
            return Failed(answer, tokenFile_);
        }
        if (command_.json) {
            PrintJson(answer.json);
            return kExitOk;
        }
        const QJsonObject object = answer.json.object();
        switch (printed) {
            case Printed::Status:
                Out(CtlPrint::Status(object));
                break;
            case Printed::Units:
                Out(CtlPrint::Units(answer.json.array()));
                break;
            case Printed::Unit:
                Out(CtlPrint::Unit(object));
                break;
            case Printed::Group:
                Out(QStringLiteral("offsets: flash %1, model %2\n")
                        .arg(object.value(QStringLiteral("flash_offset")).toDouble(), 0, 'f', 1)
                        .arg(object.value(QStringLiteral("model_offset")).toDouble(), 0, 'f', 1) +
                    CtlPrint::Units(object.value(QStringLiteral("units")).toArray()));
                break;
            case Printed::Lines:
                for (const QJsonValue& line : answer.json.array()) {
                    Out(line.toString() + u'\n');
                }
                break;
            case Printed::Loaded:
                Out(QStringLiteral("loaded \"%1\" onto Studio %2\n")
                        .arg(command_.title, object.value(QStringLiteral("studio")).toString()) +
                    CtlPrint::Units(object.value(QStringLiteral("units")).toArray()));
                break;
            case Printed::History:
                Out(CtlPrint::History(object));
                break;
            case Printed::Saved:
                Out(QStringLiteral("saved %1\n")
                        .arg(object.value(QStringLiteral("path")).toString()));
                break;
        }
        return kExitOk;
    }

    // The studio named on the line, or else the one selected in the window.
    template <class Act>
    int WithStudio(Act act) {
        if (!command_.studio.isEmpty()) {
            return act(command_.studio);
        }
        const CCtlClient::Answer status = client_.Get(QStringLiteral("status"));
        if (!status.Ok()) {
            return Failed(status, tokenFile_);
        }
        const QJsonValue studio = status.json.object().value(QStringLiteral("studio"));
        if (!studio.isString()) {
            return Say(kExitUsage, QStringLiteral("no studio is selected in the window; name one "
                                                  "with --studio S"));
        }
        return act(studio.toString());
    }

    // Scans, waits for the scan's end as the status tells it, then lists what answered.
    int Scan() {
        return WithStudio([this](const QString& s) {
            const CCtlClient::Answer started = client_.Send("POST", Studio(s) + "/scan");
            if (!started.Ok()) {
                return Failed(started, tokenFile_);
            }
            Out(QStringLiteral("scanning Studio %1 ...\n").arg(s));
            for (const auto& [scanning, limitMs] :
                 {std::pair{true, kScanStartMs}, std::pair{false, kScanEndMs}}) {
                QElapsedTimer clock;
                clock.start();
                for (;;) {
                    const CCtlClient::Answer status = client_.Get(QStringLiteral("status"));
                    if (!status.Ok()) {
                        return Failed(status, tokenFile_);
                    }
                    if (status.json.object().value(QStringLiteral("scanning")).toBool() ==
                        scanning) {
                        break;
                    }
                    if (clock.elapsed() > limitMs) {
                        return Say(kExitRefused, scanning ? QStringLiteral("the scan did not start")
                                                          : QStringLiteral("the scan did not end"));
                    }
                    QThread::msleep(kPollMs);
                }
            }
            return Show(client_.Get(Studio(s) + "/units"), Printed::Units);
        });
    }

    int Watch() {
        const CCtlClient::Answer end = client_.Watch([this](const QByteArray& name,
                                                            const QByteArray& data) {
            const QJsonObject object = QJsonDocument::fromJson(data).object();
            if (command_.json) {
                QJsonObject line = object;
                line.insert(QStringLiteral("event"), QString::fromUtf8(name));
                Out(QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) + u'\n');
            } else {
                Out(CtlPrint::Event(name, object));
            }
        });
        return end.Ok() ? kExitOk : Failed(end, tokenFile_);
    }

    const CtlCommand& command_;
    CCtlClient client_;
    QString tokenFile_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const CtlParse parse = ParseCtlArguments(QCoreApplication::arguments());
    if (!parse.command) {
        return Say(kExitUsage, parse.error + QStringLiteral("\nTry 'orvane-ctl --help'."));
    }
    const CtlCommand& command = *parse.command;
    if (command.kind == Kind::Help) {
        Out(CtlUsage());
        return kExitOk;
    }
    if (command.kind == Kind::Version) {
        Out(QStringLiteral("orvane-ctl " ORVANE_VERSION "\n"));
        return kExitOk;
    }
    const QString tokenFile =
        command.tokenFile.isEmpty() ? RemoteToken::DefaultPath() : command.tokenFile;
    QString reason;
    // The default file is held to what the program holds it to, its folder included; a file
    // named on the line, such as a copy for an SSH tunnel, may sit in any folder of the user's.
    const std::optional<QByteArray> token =
        command.tokenFile.isEmpty() ? RemoteToken::ReadInPrivateFolder(tokenFile, reason)
                                    : RemoteToken::Read(tokenFile, reason);
    if (!token) {
        return Say(kExitNoProgram,
                   reason + QStringLiteral(" (the program writes it when started with --remote)"));
    }
    return Run(command, *token, tokenFile).Execute();
}
