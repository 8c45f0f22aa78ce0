// SPDX-License-Identifier: MIT
// Client of a data service: connects, authenticates (challenge answer, optional RSA-wrapped
// session key), and runs blocking request/response exchanges whose answers are result tables.
// Everything runs on the thread that owns the client; a blocking wait lasts at most the
// time-out per receive.
//
//   TZvComClient client("TESTER", 30, "4711", "ZvDatabaseSvr", "Database Server", "localhost");
//   auto request = std::make_unique<TZvComEncodePacket>("ServerList");
//   request->AddCardinal(0);
//   std::unique_ptr<TZvComTable> rows = client.Query(std::move(request));
//   while (rows->Next()) ... rows->FieldByName("server").AsText() ...
#pragma once

#include "DataSock.h"
#include "Handler.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>

// What an error hook asks for.
enum TZvComErrorAction : int { eaRaise = 0, eaGiveUp = 1, eaRetry = 2 };

class TZvComClient : public TDataSocket {
public:
    using TConnectedHook = std::function<void(TZvComClient &)>;
    using TBeforeRequestHook = std::function<void(TZvComClient &, const TZvComEncodePacket &)>;
    using TAfterResponseHook = std::function<void(TZvComClient &, TZvComDecodePacket &)>;
    // Returns 0 to raise the failure, 1 to give up, anything else to try again.
    using TErrorHook = std::function<int(TZvComClient &, const std::exception &)>;

    TZvComClient(const QString &clientName, int timeOut, const QString &port,
                 const QString &serviceName, const QString &serverName,
                 const QString &serverAddress);
    ~TZvComClient() override;

    // Runs the connection sequence unless connected; asynchronous: afterwards packets arrive
    // through the handlers on the event loop.
    void Connect(bool asynchronous = false);
    void Disconnect();

    // Sends the request and returns the response with the same packet id, its status read.
    // Null only when the request-error hook gave up.
    std::unique_ptr<TZvComDecodePacket> Request(const TZvComEncodePacket &request);
    // A request whose response is a result table; the table keeps its response alive.
    std::unique_ptr<TZvComTable> Query(std::unique_ptr<TZvComEncodePacket> request);

    TClientHandlers &Handlers() { return m_handlers; }
    bool Connected() const { return m_connected; }
    bool AsyncMode() const { return m_asyncMode; }

    QString ClientName() const { return m_clientName; }
    QString ServerAddress() const { return m_serverAddress; }
    QString ServerName() const { return m_serverName; }
    QString ServiceName() const { return m_serviceName; }
    QString Port() const { return m_port; }
    int TimeOut() const { return m_timeOut; }

    void SetOnConnected(TConnectedHook hook) { m_onConnected = std::move(hook); }
    void SetOnBeforeRequest(TBeforeRequestHook hook) { m_onBeforeRequest = std::move(hook); }
    void SetOnAfterResponse(TAfterResponseHook hook) { m_onAfterResponse = std::move(hook); }
    void SetOnConnectError(TErrorHook hook) { m_onConnectError = std::move(hook); }
    void SetOnRequestError(TErrorHook hook) { m_onRequestError = std::move(hook); }

    // The authentication answer: (challenge * 1394620857 + 2008317641) mod 1576034219, the
    // remainder taken between 0 and the divisor, computed on decimal text.
    static qint32 ChallengeAnswer(qint32 challenge);
    // "MachineName" of HKLM "Software\Zorvant", else the computer name cut to 16 characters.
    static QString MachineName();

protected:
    void Dispatch(TZvComDecodePacket &packet) override;
    void CloseConnection() override;

private:
    void DoConnect(bool asynchronous);
    void Authenticate();
    std::unique_ptr<TZvComDecodePacket> DoRequest(const TZvComEncodePacket &request);

    QString m_clientName;
    QString m_serverAddress;
    QString m_serverName;
    QString m_serviceName;
    QString m_port;
    int m_timeOut;
    TClientHandlers m_handlers;
    bool m_connected = false;
    bool m_asyncMode = false;
    TConnectedHook m_onConnected;
    TBeforeRequestHook m_onBeforeRequest;
    TAfterResponseHook m_onAfterResponse;
    TErrorHook m_onConnectError;
    TErrorHook m_onRequestError;
};
