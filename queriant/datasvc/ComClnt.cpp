// SPDX-License-Identifier: MIT
#include "ComClnt.h"

#include "CryptRandom.h"
#include "Log.h"
#include "SecureWipe.h"
#include "ZvRegistry.h"
#include "ZvUserInfo.h"
#include "ZvWideWord.h"
#include "arith.h"

namespace {

// Fixed by the servers; they compute the same answer.
constexpr const char *ChallengeFactor = "1394620857";
constexpr const char *ChallengeOffset = "2008317641";
constexpr const char *ChallengeDivisor = "1576034219";

// Runs an action, letting an error hook decide on a failure: raise, give up (false) or retry.
template <typename Action>
bool withErrorHook(TZvComClient &client, const TZvComClient::TErrorHook &hook, Action action) {
    for (;;) {
        try {
            action();
            return true;
        } catch (const std::exception &e) {
            if (!hook)
                throw;
            const int decision = hook(client, e);
            if (decision == eaRaise)
                throw;
            if (decision == eaGiveUp)
                return false;
        }
    }
}

} // namespace

TZvComClient::TZvComClient(const QString &clientName, int timeOut, const QString &port,
                           const QString &serviceName, const QString &serverName,
                           const QString &serverAddress)
    : m_clientName(clientName), m_serverAddress(serverAddress), m_serverName(serverName),
      m_serviceName(serviceName), m_port(port), m_timeOut(timeOut) {}

TZvComClient::~TZvComClient() {
    if (Socket().SocketHandle() < 0)
        return;
    try {
        Disconnect();
    } catch (const std::exception &) {
        // Freeing only closes; a close failure has nobody left to tell.
    }
}

qint32 TZvComClient::ChallengeAnswer(qint32 challenge) {
    const TMpNumber product =
        mpmul(string_to_mp(QByteArray::number(challenge)), string_to_mp(ChallengeFactor));
    TMpNumber remainder;
    mpdiv(mpadd(product, string_to_mp(ChallengeOffset)), string_to_mp(ChallengeDivisor), remainder);
    return mp_to_string(remainder).toInt();
}

QString TZvComClient::MachineName() {
    QString name;
    if (const auto key =
            zv::ZvRegKey::open(zv::RegRoot::LocalMachine, QStringLiteral("Software\\Zorvant")))
        name = key->readString(QStringLiteral("MachineName")).value_or(QString());
    return name.isEmpty() ? zv::hostName().left(16) : name;
}

void TZvComClient::Connect(bool asynchronous) {
    withErrorHook(*this, m_onConnectError, [&] {
        if (!m_connected)
            DoConnect(asynchronous);
    });
}

void TZvComClient::DoConnect(bool asynchronous) {
    TSockets &socket = Socket();
    if (!m_port.isEmpty())
        socket.SetPort(m_port);
    socket.SetIPAddr(m_serverAddress);
    socket.GetIPAddress(m_serverAddress);
    socket.SetTimeOut(m_timeOut);
    m_encryption = false;
    TCryptRandom().Fill(m_sessionKey.size(), m_sessionKey.data());
    socket.SetAsynchronous(false);
    ResetReader();

    LogInfo(lcZvCom, "TZvComClient.DoConnect Servername=%s , Serveraddress=%s , Serverport=%s",
            m_serverName, m_serverAddress, m_port);
    try {
        socket.SConnect();
    } catch (...) {
        try {
            socket.SDisconnect();
        } catch (...) {
        }
        throw;
    }

    socket.SetOnError([](TSockets &, const QString &description, int code) {
        if (code != 10004)
            throw EZvComException(QStringLiteral("Authentication Error : ") + description);
    });
    try {
        if (socket.SocketHandle() == -1)
            throw EZvComException(QStringLiteral("Connect Error, invalid handle"));
        Authenticate();
    } catch (...) {
        // A half-authenticated connection is of no use to the next attempt.
        InstallDataSocketError();
        try {
            socket.SDisconnect();
        } catch (...) {
        }
        throw;
    }
    InstallDataSocketError();

    if (asynchronous) {
        try {
            socket.SetAsynchronous(true);
        } catch (const EZvComException &e) {
            throw EZvComSocketException(e.message());
        }
        m_asyncMode = true;
    }
    m_connected = true;
    if (m_onConnected)
        m_onConnected(*this);
}

void TZvComClient::Authenticate() {
    const std::unique_ptr<TZvComDecodePacket> offer = ReadPacket();
    if (offer->Verb() != QLatin1String("AUTHENTICATE")) {
        offer->ReadStatus();
        LogError(lcZvCom,
                 "Connect Failed - server sent error packet instead of authentication packet");
        throw EZvComException(offer->ErrorText());
    }
    const qint32 challenge = offer->ReadInteger();
    const bool encryptionOffered = offer->HasMoreValues();
    QByteArray wrappedKey;
    if (encryptionOffered) {
        offer->ReadInteger();
        const QByteArray exponent = offer->ReadBinary();
        const QByteArray modulus = offer->ReadBinary();
        QByteArray key(reinterpret_cast<const char *>(m_sessionKey.data()), m_sessionKey.size());
        wrappedKey = RsaEncryptBytes(modulus, exponent, key);
        zv::SecureWipe(key);
    }

    TZvComEncodePacket connect(QStringLiteral("CONNECT"));
    connect.AddString(MachineName(), true);
    connect.AddString(m_clientName, true);
    connect.AddInteger(ChallengeAnswer(challenge), true);
    if (encryptionOffered) {
        connect.AddInteger(1);
        connect.AddBinary(wrappedKey);
    }
    SendPacket(connect);
    if (!ReadPacket()->ReadStatus())
        throw EZvComException(QStringLiteral("Authentication Error, should not get here"));
    m_encryption = encryptionOffered;
}

void TZvComClient::Disconnect() {
    LogInfo(lcZvCom,
            "TZvComClient.Disconnect Disconnect Servername=%s , Serveraddress=%s , Serverport=%s",
            m_serverName, m_serverAddress, m_port);
    m_connected = false;
    m_asyncMode = false;
    m_encryption = false;
    Socket().SDisconnect();
}

void TZvComClient::CloseConnection() {
    Disconnect();
}

std::unique_ptr<TZvComDecodePacket> TZvComClient::Request(const TZvComEncodePacket &request) {
    std::unique_ptr<TZvComDecodePacket> response;
    withErrorHook(*this, m_onRequestError, [&] { response = DoRequest(request); });
    return response;
}

std::unique_ptr<TZvComDecodePacket> TZvComClient::DoRequest(const TZvComEncodePacket &request) {
    if (!m_connected)
        Connect(false);
    if (!m_connected)
        return nullptr; // the connect-error hook gave up
    if (m_asyncMode) {
        Socket().SetAsynchronous(false);
        m_asyncMode = false;
    }
    if (m_onBeforeRequest)
        m_onBeforeRequest(*this, request);

    const QString verb = request.Verb();
    std::unique_ptr<TZvComDecodePacket> response;
    try {
        SendPacket(request);
        do
            response = ReadPacket();
        while (response->PacketId() != request.PacketId());
        if (!response->ReadStatus())
            throw EZvComServerException(response->ErrorText());
    } catch (const EZvComServerException &) {
        throw;
    } catch (const EZvComException &e) {
        // The stream may hold the rest of a late or broken answer: the next request starts
        // on a new connection.
        if (Socket().SocketHandle() >= 0) {
            try {
                Disconnect();
            } catch (const std::exception &) {
            }
        }
        throw EZvComSocketException(QStringLiteral("Communication Error - please try again: ") +
                                    e.message());
    }
    if (response->Verb() != verb)
        throw EZvComSocketException(QStringLiteral("Incorrect verb name: ") + response->Verb() +
                                    QStringLiteral(" (expecting ") + verb + QLatin1Char(')'));
    if (m_onAfterResponse)
        m_onAfterResponse(*this, *response);
    return response;
}

std::unique_ptr<TZvComTable> TZvComClient::Query(std::unique_ptr<TZvComEncodePacket> request) {
    std::unique_ptr<TZvComDecodePacket> response = Request(*request);
    request.reset();
    if (!response)
        return nullptr;
    std::unique_ptr<TZvComTable> table = response->ReadTable();
    table->AdoptDecoder(std::move(response));
    return table;
}

void TZvComClient::Dispatch(TZvComDecodePacket &packet) {
    if (const TClientHandlers::THandlerProc *handler = m_handlers.Find(packet.Verb())) {
        (*handler)(packet);
        return;
    }
    if (!packet.ReadStatus())
        throw EZvComPacketException(packet.ErrorText());
    throw EZvComPacketException(QStringLiteral("No handler for verb ") + packet.Verb());
}
