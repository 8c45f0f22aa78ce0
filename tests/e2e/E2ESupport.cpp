// SPDX-License-Identifier: MIT
#include "E2ESupport.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <stdexcept>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

QString binPath(const QString &program) {
    return QStringLiteral(ZV_BIN_DIR "/") + program;
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

void stopProcess(QProcess &process) {
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(1000);
}

bool processAlive(qint64 pid) {
    // A child of ours that ended is a zombie until reaped; count it as gone.
    ::waitpid(pid_t(pid), nullptr, WNOHANG);
    if (::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) != "Z";
}

VirtualDisplay::VirtualDisplay() : m_server(std::make_unique<QProcess>()) {
    // Xvfb chooses a free display itself and reports it, so tests running side by side never
    // share or steal one another's display.
    m_server->setProgram(QStringLiteral("Xvfb"));
    m_server->setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
    m_server->setStandardErrorFile(QProcess::nullDevice());
    m_server->start();
    if (!m_server->waitForStarted(10000))
        throw std::runtime_error("Xvfb cannot be started");
    QByteArray number;
    while (!number.contains('\n') && m_server->waitForReadyRead(10000))
        number += m_server->readAllStandardOutput();
    number = number.trimmed();
    if (number.isEmpty())
        throw std::runtime_error("Xvfb reported no display");
    m_name = QStringLiteral(":") + QString::fromLatin1(number);
}

VirtualDisplay::~VirtualDisplay() {
    stopProcess(*m_server);
}

std::optional<QString> VirtualDisplay::xdotool(const QStringList &arguments, int timeoutMs) const {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_name);
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return std::nullopt;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

bool VirtualDisplay::focusClientWindow(int timeoutMs) const {
    QElapsedTimer clock;
    clock.start();
    const auto findWindow = [&]() -> QString {
        const std::optional<QString> found =
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--classname"), QStringLiteral("queriant")});
        return found ? found->split(QLatin1Char('\n')).last() : QString();
    };
    while (clock.elapsed() < timeoutMs) {
        if (!findWindow().isEmpty()) {
            // Let the dialog settle (it moves the focus to its first edit once shown), then take
            // the window seen now: one that was unmapped meanwhile never gets the focus.
            QThread::msleep(400);
            const QString id = findWindow();
            if (!id.isEmpty() &&
                xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id}, 3000))
                return true;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(50);
    }
    return false;
}

bool VirtualDisplay::typeLine(const QString &text) const {
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text})
               .has_value() &&
           xdotool({QStringLiteral("key"), QStringLiteral("Return")}).has_value();
}

WaylandCompositor::WaylandCompositor()
    : m_runtimeDir(
          std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zv-wayland-XXXXXX"))),
      m_server(std::make_unique<QProcess>()) {
    if (!m_runtimeDir->isValid())
        throw std::runtime_error("no runtime directory for weston");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir->path());
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_server->setProcessEnvironment(env);
    m_server->setProgram(QStringLiteral("weston"));
    m_server->setArguments({QStringLiteral("--backend=headless-backend.so"),
                            QStringLiteral("--socket=wayland-zv"), QStringLiteral("--no-config"),
                            QStringLiteral("--idle-time=0"), QStringLiteral("--width=1024"),
                            QStringLiteral("--height=768")});
    m_server->setStandardOutputFile(QProcess::nullDevice());
    m_server->setStandardErrorFile(m_runtimeDir->filePath(QStringLiteral("weston.log")));
    m_server->start();
    if (!m_server->waitForStarted(10000))
        throw std::runtime_error("weston cannot be started");
    const QString socket = m_runtimeDir->filePath(QStringLiteral("wayland-zv"));
    if (!waitUntil([&] { return QFile::exists(socket); }, 10000))
        throw std::runtime_error("weston opened no socket");
}

WaylandCompositor::~WaylandCompositor() {
    stopProcess(*m_server);
}

NotificationServer::NotificationServer(const VirtualDisplay &display, const PrivateBus &bus,
                                       const QString &configDir)
    : m_env(QProcessEnvironment::systemEnvironment()), m_server(std::make_unique<QProcess>()) {
    m_env.insert(QStringLiteral("DISPLAY"), display.name());
    m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    const QString config = configDir + QStringLiteral("/dunstrc");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write("[global]\n    font = DejaVu Sans 10\n    width = 420\n"
                   "    offset = 16x16\n    frame_width = 1\n") < 0)
        throw std::runtime_error("cannot write the dunst configuration");
    file.close();
    m_server->setProcessEnvironment(m_env);
    m_server->setStandardOutputFile(QProcess::nullDevice());
    m_server->setStandardErrorFile(configDir + QStringLiteral("/dunst.log"));
    m_server->start(QStringLiteral("dunst"), {QStringLiteral("-config"), config});
    if (!m_server->waitForStarted(10000))
        throw std::runtime_error("dunst cannot be started");
    // Serving once it owns the name; a client calling earlier would start another one.
    const QString connection = QStringLiteral("notification-watch");
    const QDBusConnection watch = bus.connect(connection);
    const bool serving = waitUntil(
        [&] {
            return watch.interface()->isServiceRegistered(
                QStringLiteral("org.freedesktop.Notifications"));
        },
        10000);
    bus.disconnect(connection);
    if (!serving)
        throw std::runtime_error("dunst did not take the notification service");
}

NotificationServer::~NotificationServer() {
    stopProcess(*m_server);
}

QProcessEnvironment WaylandCompositor::clientEnvironment(QProcessEnvironment base) const {
    base.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir->path());
    base.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-zv"));
    base.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    base.remove(QStringLiteral("DISPLAY"));
    return base;
}

std::optional<QString> answerOverAccessibility(const QString &sessionBus, const QString &window,
                                               const QStringList &texts, const QString &button) {
    QStringList arguments{QStringLiteral(ZV_TEST_DATA_DIR "/a11y-answer"),
                          QStringLiteral("--window"), window};
    for (const QString &text : texts)
        arguments << QStringLiteral("--text") << text;
    if (!button.isEmpty())
        arguments << QStringLiteral("--press") << button;
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionBus);
    tool.setProcessEnvironment(env);
    // The system's interpreter: the accessibility bindings are its packages.
    tool.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!tool.waitForFinished(40000)) {
        tool.kill();
        tool.waitForFinished();
        return std::nullopt;
    }
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        qWarning("a11y-answer: %s%s", qPrintable(out), tool.readAllStandardError().constData());
        return std::nullopt;
    }
    return out;
}

std::optional<QString> accessibilityMissing() {
    // The session bus starts the accessibility bus on demand from this activation file.
    if (!QFile::exists(QStringLiteral("/usr/share/dbus-1/services/org.a11y.Bus.service")))
        return QStringLiteral("at-spi2-core is not installed (scripts/install-deps installs it)");
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QStringLiteral("import pyatspi")});
    if (!probe.waitForFinished(20000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        return QStringLiteral(
            "python3-pyatspi is not installed (scripts/install-deps installs it)");
    return std::nullopt;
}

std::optional<QJsonObject> readOverAccessibility(const QString &sessionBus, const QString &display,
                                                 const QString &window, const QStringList &steps) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionBus);
    env.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("/usr/bin/python3"),
               QStringList{QStringLiteral(ZV_TEST_DATA_DIR "/a11y-read"),
                           QStringLiteral("--window"), window} +
                   steps);
    if (!tool.waitForFinished(60000)) {
        tool.kill();
        tool.waitForFinished();
        return std::nullopt;
    }
    const QByteArray err = tool.readAllStandardError();
    if (!err.isEmpty())
        qWarning("a11y-read: %s", err.constData());
    const QJsonDocument report = QJsonDocument::fromJson(tool.readAllStandardOutput());
    if (!report.isObject())
        return std::nullopt;
    return report.object();
}

std::optional<QString> NotificationServer::dunstctl(const QStringList &arguments) const {
    QProcess tool;
    tool.setProcessEnvironment(m_env);
    tool.start(QStringLiteral("dunstctl"), arguments);
    if (!tool.waitForFinished(15000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

int NotificationServer::displayed() const {
    return dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).value_or("-1").toInt();
}

bool NotificationServer::waitForDisplayed(int n, int timeoutMs) const {
    return waitUntil([&] { return displayed() == n; }, timeoutMs);
}

QList<NotificationServer::Shown> NotificationServer::history() const {
    QList<Shown> shown;
    const std::optional<QString> json = dunstctl({QStringLiteral("history")});
    if (!json)
        return shown;
    const QJsonArray entries = QJsonDocument::fromJson(json->toUtf8())
                                   .object()
                                   .value(QStringLiteral("data"))
                                   .toArray()
                                   .at(0)
                                   .toArray();
    for (const QJsonValue &entry : entries) {
        const QJsonObject fields = entry.toObject();
        const auto field = [&](const char *name) {
            return fields.value(QLatin1String(name)).toObject().value(QStringLiteral("data"));
        };
        // dunst counts the display time in microseconds.
        shown.append({field("appname").toString(), field("summary").toString(),
                      field("body").toString(), int(field("timeout").toDouble() / 1000)});
    }
    return shown;
}

} // namespace e2e
