// SPDX-License-Identifier: MIT
#include "TestRunServers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zvtest {

namespace {

QString binPath(const char *program) {
    return QStringLiteral(ZV_TESTSUPPORT_BIN_DIR "/") + QLatin1String(program);
}

} // namespace

QByteArray TestRunServers::Tables() {
    auto queue = [](const char *server, const char *queue) {
        return QJsonObject{{"server", server}, {"spoolq", queue}, {"group", "Floor 1"}};
    };
    const QJsonObject root{
        {"servers",
         QJsonArray{
             QJsonObject{{"server", "localhost"}, {"service", "ZvPopupSvr"}, {"number", 1}},
             QJsonObject{{"server", "DBHOST"}, {"service", "ZvDatabaseSvr"}, {"number", 1}}}},
        {"serviceTypes",
         QJsonArray{QJsonObject{{"name", "ZvPopupSvr"}, {"port", "@POPUP_PORT@"}, {"timeout", "5"}},
                    QJsonObject{{"name", "ZvDatabaseSvr"}, {"port", "28210"}, {"timeout", "120"}}}},
        {"spoolqs", QJsonArray{queue("127.0.0.1", "E2E"), queue("127.0.0.1", "Colour"),
                               queue("localhost", "Mono")}}};
    return QJsonDocument(root).toJson();
}

QByteArray TestRunServers::Scenario() {
    const QJsonArray descriptors{QJsonObject{{"name", "Comment"},
                                             {"prompt", "Comment?"},
                                             {"type", "string"},
                                             {"mandatory", 1},
                                             {"category", "Remark"}},
                                 QJsonObject{{"name", "Department"},
                                             {"prompt", "Department?"},
                                             {"type", "costcenter"},
                                             {"mandatory", 1},
                                             {"category", "Dept"}}};
    QJsonObject queues;
    int transaction = 40;
    for (const char *name : {"E2E", "Colour", "Mono"})
        queues[QLatin1String(name)] = QJsonObject{
            {"transaction", ++transaction}, {"group", "Test run"}, {"descriptors", descriptors}};
    const QJsonObject root{
        {"version", 1005},
        {"queues", queues},
        {"costCenters",
         QJsonObject{
             {"Dept", QJsonArray{QJsonObject{{"code", "D100"}, {"description", "Sales"}},
                                 QJsonObject{{"code", "D200"}, {"description", "Engineering"}}}}}}};
    return QJsonDocument(root).toJson();
}

bool TestRunServers::StartPopupServer(const QByteArray &scenario) {
    m_popup = std::make_unique<PopupServerProcess>(
        binPath("zvpopupd"),
        QStringList{QStringLiteral("--scenario"),
                    m_sandbox.writeFile(QStringLiteral("scenario.json"), scenario),
                    QStringLiteral("--key-bits"), QStringLiteral("512"), QStringLiteral("--log"),
                    m_sandbox.path(QStringLiteral("popupd.log"))});
    return m_popup->port() != 0;
}

bool TestRunServers::StartDatabase(const QByteArray &tables, const QStringList &options,
                                   int timeOutSeconds) {
    QByteArray data = tables;
    data.replace("@POPUP_PORT@", QByteArray::number(PopupPort()));
    m_database = std::make_unique<PopupServerProcess>(
        binPath("zvdbserver"),
        QStringList{QStringLiteral("--data"), m_sandbox.writeFile(QStringLiteral("db.json"), data),
                    QStringLiteral("--key-bits"), QStringLiteral("512")} +
            options);
    if (m_database->port() == 0)
        return false;
    PointDatabaseClientAt(m_database->port(), timeOutSeconds);
    return true;
}

void TestRunServers::PointDatabaseClientAt(int port, int timeOutSeconds) {
    m_sandbox.writeFile(QStringLiteral("machine.reg"),
                        "Windows Registry Editor Version 5.00\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\Software\\Zorvant\\Database Server]\r\n"
                        "\"Host Address\"=\"localhost\"\r\n\"Port Name\"=\"" +
                            QByteArray::number(port) + "\"\r\n\"Timeout\"=dword:" +
                            QByteArray::number(timeOutSeconds, 16).rightJustified(8, '0') + "\r\n");
}

int TestRunServers::ClosedPort() {
    // A port the system assigned and released again: nothing listens on it.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

QByteArray TestRunServers::PopupLog() const {
    return m_sandbox.readFile(QStringLiteral("popupd.log"));
}

} // namespace zvtest
