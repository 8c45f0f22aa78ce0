// SPDX-License-Identifier: MIT
// GetHostedTask calls per second from one client over a private bus: the real task host in
// local-server mode against the echo service, a bare Qt D-Bus service answering a method of the
// same signature. Both are separate processes on the same dbus-daemon, called from the same
// connection, in alternating batches so that a change in the machine's load hits both alike.
#include "BenchSandbox.h"
#include "EchoService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

const QString kHostService = QStringLiteral("com.zorvant.ComOrvantis");
const QString kTaskProgId = QStringLiteral("Zv.BenchTask");

std::runtime_error failure(const QString &text) {
    return std::runtime_error(text.toStdString());
}

// A private dbus-daemon with the task host and the echo service on it, and a client connection.
class BusEnvironment {
public:
    BusEnvironment() {
        startDaemon();
        m_client = QDBusConnection::connectToBus(m_address, QStringLiteral("bench-client"));
        if (!m_client.isConnected())
            throw failure(QStringLiteral("cannot connect to the private bus"));
        startHost();
        startEcho();
    }
    ~BusEnvironment() {
        // A local server ends by itself once its last client has left.
        m_client = QDBusConnection(QStringLiteral("bench-gone"));
        QDBusConnection::disconnectFromBus(QStringLiteral("bench-client"));
        if (m_host.state() != QProcess::NotRunning && !m_host.waitForFinished(10000)) {
            m_host.kill();
            m_host.waitForFinished();
        }
        m_echo.terminate();
        if (!m_echo.waitForFinished(5000)) {
            m_echo.kill();
            m_echo.waitForFinished();
        }
        if (m_daemonPid > 0)
            ::kill(pid_t(m_daemonPid), SIGTERM);
    }
    BusEnvironment(const BusEnvironment &) = delete;
    BusEnvironment &operator=(const BusEnvironment &) = delete;

    QDBusConnection &client() { return m_client; }

private:
    void startDaemon() {
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--print-address=1"),
                      QStringLiteral("--print-pid=1"), QStringLiteral("--fork")});
        if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0)
            throw failure(QStringLiteral("dbus-daemon did not start"));
        const QStringList lines = QString::fromUtf8(daemon.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (lines.size() < 2)
            throw failure(QStringLiteral("dbus-daemon printed no address"));
        m_address = lines.at(0).trimmed();
        m_daemonPid = lines.at(1).trimmed().toLongLong();
        // Children and this process see only the private bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toLocal8Bit());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toLocal8Bit());
    }

    // The program is copied into the sandbox so that its configuration sits beside it.
    void startHost() {
        const BenchSandbox &sandbox = BenchSandbox::current();
        const QString program = sandbox.path(QStringLiteral("host/bin/comorvantis"));
        QDir().mkpath(QFileInfo(program).absolutePath());
        if (!QFile::copy(QStringLiteral(ZV_BENCH_BIN_DIR "/comorvantis"), program))
            throw failure(QStringLiteral("cannot copy " ZV_BENCH_BIN_DIR "/comorvantis"));
        if (QProcess::execute(program, {QStringLiteral("-RegServer")}) != 0)
            throw failure(QStringLiteral("comorvantis -RegServer failed"));
        sandbox.registerTask(kTaskProgId);
        BenchSandbox::writeConfiguration(program + QStringLiteral(".config"), {kTaskProgId});
        m_host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_host.start(program, {});
        waitForName(m_host, kHostService);
    }

    void startEcho() {
        m_echo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_echo.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--echo-service"), m_address});
        waitForName(m_echo, QLatin1String(kEchoService));
    }

    void waitForName(QProcess &owner, const QString &name) {
        if (!owner.waitForStarted(10000))
            throw failure(QStringLiteral("%1 did not start").arg(owner.program()));
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            const QDBusReply<bool> owned = m_client.interface()->isServiceRegistered(name);
            if (owned.isValid() && owned.value())
                return;
            if (owner.state() == QProcess::NotRunning)
                throw failure(
                    QStringLiteral("%1 ended before owning %2").arg(owner.program(), name));
            if (timer.elapsed() > 20000)
                throw failure(QStringLiteral("nobody owns %1 after 20 s").arg(name));
            QThread::msleep(20);
        }
    }

    QString m_address;
    qint64 m_daemonPid = 0;
    QDBusConnection m_client{QStringLiteral("bench-none")};
    QProcess m_host;
    QProcess m_echo;
};

std::unique_ptr<BusEnvironment> g_environment;
std::string g_environmentError;

BusEnvironment *busEnvironment() {
    if (!g_environment && g_environmentError.empty()) {
        try {
            g_environment = std::make_unique<BusEnvironment>();
        } catch (const std::exception &e) {
            g_environmentError = e.what();
        }
    }
    return g_environment.get();
}

QDBusMessage getHostedTask(const QString &service, const QString &path, const QString &iface) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(service, path, iface, QStringLiteral("GetHostedTask"));
    m.setArguments({kTaskProgId});
    return m;
}

// The object path of a reply, or an empty text for an error.
QString replyPath(const QDBusMessage &reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return {};
    return reply.arguments().at(0).value<QDBusObjectPath>().path();
}

// Makes the calls one after another; the seconds they took, or a negative value on an error.
double timedCalls(QDBusConnection &bus, const QDBusMessage &call, int count) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        if (bus.call(call, QDBus::Block, 10000).type() != QDBusMessage::ReplyMessage)
            return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_BusGetHostedTaskVsEcho(benchmark::State &state) {
    BusEnvironment *environment = busEnvironment();
    if (!environment) {
        state.SkipWithError(g_environmentError.c_str());
        return;
    }
    QDBusConnection &bus = environment->client();
    const QDBusMessage host = getHostedTask(kHostService, QStringLiteral("/OrvantisController"),
                                            QStringLiteral("com.zorvant.IOrvantisController"));
    const QDBusMessage echo = getHostedTask(QLatin1String(kEchoService), QLatin1String(kEchoPath),
                                            QLatin1String(kEchoInterface));
    const QString task = replyPath(bus.call(host, QDBus::Block, 30000));
    if (!task.startsWith(QStringLiteral("/OrvantisController/Objects/"))) {
        state.SkipWithError("the task host gave no hosted task");
        return;
    }
    if (replyPath(bus.call(echo, QDBus::Block, 30000)).isEmpty()) {
        state.SkipWithError("the echo service did not answer");
        return;
    }
    const int batch = int(state.range(0));
    double hostSeconds = 0;
    double echoSeconds = 0;
    for (auto _ : state) {
        const double h = timedCalls(bus, host, batch);
        const double e = timedCalls(bus, echo, batch);
        if (h < 0 || e < 0) {
            state.SkipWithError("a call failed");
            break;
        }
        hostSeconds += h;
        echoSeconds += e;
        state.SetIterationTime(h + e);
    }
    if (state.error_occurred())
        return;
    const double calls = double(state.iterations()) * batch;
    state.SetItemsProcessed(int64_t(calls) * 2);
    state.counters["host_calls_per_s"] = calls / hostSeconds;
    state.counters["echo_calls_per_s"] = calls / echoSeconds;
    state.counters["host_to_echo"] = echoSeconds / hostSeconds;
}
BENCHMARK(BM_BusGetHostedTaskVsEcho)
    ->Arg(25)
    ->Iterations(120)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

void stopBusEnvironment() {
    g_environment.reset();
}
