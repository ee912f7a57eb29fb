#pragma once

#include "remote/WindowHands.h"

#include <QByteArray>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QObject>
#include <QStringList>

#include <optional>

class CEventFeed;
class CMainFrame;
class CMessageRelay;
class StudioModel;
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
// routes check everything first and answer 4xx with nothing done, and only then act through the
// window's own widgets (CWindowHands), as a user's clicks would.
class CRemoteApi final : public QObject {
public:
    CRemoteApi(CMainFrame& frame, CMessageRelay& messages, CEventFeed& feed);

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

    // The checks the acting routes share. Each gives the refusal, or nothing when all is well.
    std::optional<ApiReply> Busy() const;
    std::optional<ApiReply> NotTuned(const StudioData& studio) const;
    // The studio, or the unit of a studio, a request acts on; refused when it is not there or the
    // window is busy with the user.
    std::optional<ApiReply> FindStudioToAct(const QString& letter, StudioData*& studio) const;
    std::optional<ApiReply> FindUnitToAct(StudioData& studio, const Args& args,
                                          StrobeData*& unit) const;
    // A change names a studio and carries a body: refused when the studio is not there, the body
    // is wrong (bodyError) or the dongle listens to another studio, in that order.
    std::optional<ApiReply> CheckChange(const StudioData* studio, const QString& letter,
                                        const QString& bodyError) const;
    std::optional<ApiReply> BadTitle(const QString& title, bool mustBeListed) const;

    StudioData* StudioNamed(const QString& letter) const;
    StrobeData* UnitOn(const StudioData& studio, const QString& channel) const;
    QJsonDocument StatusJson() const;

    CMainFrame& frame_;
    StudioModel& model_;
    CMessageRelay& messages_;
    CEventFeed& feed_;
    CWindowHands hands_;
};
