#pragma once

#include <QByteArray>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <optional>

class CCommands;
class CConfirmationTracker;
class CEventFeed;
class StudioModel;
struct CommandResult;
struct StrobeData;
struct StudioData;

// One request, as the routes see it: its method, the decoded segments of its path after
// /api/v1/, and its body.
struct ApiRequest {
    QHttpServerRequest::Method method = QHttpServerRequest::Method::Unknown;
    QStringList path;
    QByteArray body;
};

struct ApiReply {
    int status = 200;
    QJsonDocument json;
    bool stream = false;  // the connection becomes the event stream
    QByteArray allow;     // the methods a path takes, with 405
};

// A refusal: the status with {"error": reason}.
ApiReply Refusal(int status, const QString& reason);

// The routes of the remote interface, version 1. Reading routes answer from the model; acting
// routes read the request, then act through the commands the window's controls use, which check
// everything first: a refusal answers 4xx with nothing done.
class CRemoteApi final : public QObject {
public:
    CRemoteApi(CCommands& commands, const CConfirmationTracker* confirmations);

    ApiReply Handle(const ApiRequest& request);

private:
    using Args = QStringList;
    using Handler = ApiReply (CRemoteApi::*)(const Args& args, const QByteArray& body);
    struct Route;

    ApiReply Status(const Args&, const QByteArray&);
    ApiReply Select(const Args& args, const QByteArray&);
    ApiReply Scan(const Args& args, const QByteArray&);
    ApiReply Units(const Args& args, const QByteArray&);
    ApiReply UnitOne(const Args& args, const QByteArray&);
    ApiReply ChangeUnit(const Args& args, const QByteArray& body);
    ApiReply TestFlash(const Args& args, const QByteArray&);
    ApiReply ChangeGroup(const Args& args, const QByteArray& body);
    ApiReply Setups(const Args&, const QByteArray&);
    ApiReply Preview(const Args& args, const QByteArray&);
    ApiReply Load(const Args& args, const QByteArray&);
    ApiReply Save(const Args& args, const QByteArray&);
    ApiReply Events(const Args&, const QByteArray&);
    ApiReply Undo(const Args&, const QByteArray&);
    ApiReply Redo(const Args&, const QByteArray&);
    ApiReply History(const Args&, const QByteArray&);

    // The answer to a command that did nothing; empty when it did what was asked.
    static std::optional<ApiReply> Refused(const CommandResult& result);
    // The studio of a request that changes it, or why there is none to change.
    std::optional<ApiReply> FindStudioToChange(const QString& letter, const QString& bodyError,
                                               StudioData*& studio) const;

    StudioData* StudioNamed(const QString& letter) const;
    StrobeData* UnitOn(const StudioData& studio, const QString& channel) const;
    QJsonDocument StatusJson() const;
    QJsonObject UnitJson(const StudioData& studio, const StrobeData& unit) const;
    QJsonArray UnitsOf(const StudioData& studio, bool tickedOnly = false) const;
    QJsonObject HistoryJson() const;

    CCommands& commands_;
    StudioModel& model_;
    const CConfirmationTracker* confirmations_;  // none: every unit reads as confirmed
};
