// SPDX-License-Identifier: MIT
#include "ServiceTestSupport.h"

#include "ZvComRuntime.h"
#include "ZvRegistry.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace servicetest {

DatagramSink::DatagramSink(const QString &path) : m_path(path) {
    m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (m_fd < 0 || size_t(bytes.size()) >= sizeof address.sun_path)
        throw std::runtime_error("cannot create a datagram socket");
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    if (::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot bind a datagram socket");
}

DatagramSink::~DatagramSink() {
    if (m_fd >= 0)
        ::close(m_fd);
    QFile::remove(m_path);
}

void DatagramSink::drain(int waitMs) {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0)
        return;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0)
        m_received << QString::fromUtf8(buffer, int(n));
}

QStringList DatagramSink::received() {
    drain(0);
    return m_received;
}

bool DatagramSink::waitFor(const QString &text, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        for (const QString &d : std::as_const(m_received))
            if (d.contains(text))
                return true;
        if (timer.elapsed() > timeoutMs)
            return false;
        drain(50);
    }
}

QDBusMessage call(const QDBusConnection &bus, const QString &path, const QString &iface,
                  const QString &member, const QVariantList &args) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, path, iface, member);
    m.setArguments(args);
    return QDBusConnection(bus).call(m, QDBus::Block, 30000);
}

bool nameOwned(const QDBusConnection &bus) {
    const QDBusReply<bool> owned = bus.interface()->isServiceRegistered(kService);
    return owned.isValid() && owned.value();
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

ServiceSandbox::ServiceSandbox() {
    // The folder name holds "service" on purpose: the program's own path is no switch.
    program = sandbox.path(QStringLiteral("service/bin/comorvantis"));
    QDir().mkpath(QFileInfo(program).absolutePath());
    if (!QFile::copy(QStringLiteral(ZV_BIN_DIR "/comorvantis"), program))
        throw std::runtime_error("cannot copy the comorvantis program");
    configPath = program + QStringLiteral(".config");
    qputenv("ZV_SAMPLE_DIR", QFile::encodeName(sandbox.dir()));
    qputenv("ZORVANT_SYSLOG_SOCKET", QFile::encodeName(sandbox.path(QStringLiteral("nolog"))));
    qputenv("ZORVANT_DBUS_SYSTEM_DIR", QFile::encodeName(sandbox.path(QStringLiteral("system.d"))));
    const auto log =
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                             QStringLiteral("SOFTWARE\\ZorvantSystems\\Core\\ComOrvantis\\Log"));
    log.writeString(QStringLiteral("Filename"), sandbox.path(QStringLiteral("service.log")));
    log.writeDWord(QStringLiteral("Options"), 0);
    log.writeDWord(QStringLiteral("Level"), 2);
}

QProcessEnvironment ServiceSandbox::environment() const {
    return QProcessEnvironment::systemEnvironment();
}

bool ServiceSandbox::start(QProcess &process, const QProcessEnvironment &env) const {
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, {});
    return process.waitForStarted();
}

int ServiceSandbox::run(const QStringList &arguments, QString *errorOutput) const {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (errorOutput)
        *errorOutput = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString ServiceSandbox::writeConfiguration(const QStringList &tasks) const {
    QByteArray xml = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<configuration>\n  <tasks>\n";
    for (const QString &t : tasks)
        xml += "    <task>" + t.toUtf8() + "</task>\n";
    xml += "  </tasks>\n</configuration>\n";
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
        throw std::runtime_error("cannot write the configuration");
    return configPath;
}

QUuid ServiceSandbox::registerClass(const QString &progId, const char *library,
                                    const std::map<QString, QVariant> &behaviour) const {
    const QUuid clsid = QUuid::createUuid();
    zv::ZvRegKey::create(zv::RegRoot::ClassesRoot, progId + QStringLiteral("\\CLSID"))
        .writeString(QString(), zv::clsidString(clsid));
    zv::ZvRegKey::create(zv::RegRoot::ClassesRoot,
                         QStringLiteral("CLSID\\%1\\InprocServer32").arg(zv::clsidString(clsid)))
        .writeString(QString(),
                     QStringLiteral(ZV_BIN_DIR "/plugins/lib%1.so").arg(QLatin1String(library)));
    QSettings ini(sandbox.path(clsid.toString(QUuid::WithoutBraces).toUpper() + ".ini"),
                  QSettings::IniFormat);
    ini.setValue(QStringLiteral("ProgID"), progId);
    for (const auto &[name, value] : behaviour)
        ini.setValue(name, value);
    return clsid;
}

QStringList ServiceSandbox::records() const {
    return QString::fromUtf8(sandbox.readFile(QStringLiteral("records.log")))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList ServiceSandbox::logLines() const {
    return QString::fromUtf8(sandbox.readFile(QStringLiteral("service.log")))
        .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

} // namespace servicetest
