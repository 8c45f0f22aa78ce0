// SPDX-License-Identifier: MIT
#include "E2ESupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

PrivateBus::PrivateBus(const QProcessEnvironment &environment) {
    QProcess daemon;
    daemon.setProcessEnvironment(environment);
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--print-address=1"),
                  QStringLiteral("--print-pid=1"), QStringLiteral("--fork")});
    if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0)
        throw std::runtime_error("dbus-daemon did not start");
    const QStringList lines = QString::fromUtf8(daemon.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() < 2)
        throw std::runtime_error("dbus-daemon printed no address");
    m_address = lines.at(0).trimmed();
    m_pid = lines.at(1).trimmed().toLongLong();
}

PrivateBus::~PrivateBus() {
    if (m_pid > 0)
        ::kill(pid_t(m_pid), SIGTERM);
}

QDBusConnection PrivateBus::connect(const QString &connectionName) const {
    return QDBusConnection::connectToBus(m_address, connectionName);
}

VirtualDisplay::VirtualDisplay() {
    for (int n = 90 + int(::getpid() % 200); n < 400; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
            QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        const QString name = QStringLiteral(":%1").arg(n);
        qint64 pid = 0;
        if (!QProcess::startDetached(QStringLiteral("Xvfb"),
                                     {name, QStringLiteral("-screen"), QStringLiteral("0"),
                                      QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                      QStringLiteral("tcp")},
                                     QString(), &pid))
            throw std::runtime_error("Xvfb cannot be started");
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        if (waitUntil([&] { return QFile::exists(socket) || !processAlive(pid); }, 10000) &&
            processAlive(pid)) {
            m_name = name;
            m_pid = pid;
            return;
        }
        ::kill(pid_t(pid), SIGTERM);
    }
    throw std::runtime_error("no free X display");
}

VirtualDisplay::~VirtualDisplay() {
    if (m_pid > 0)
        ::kill(pid_t(m_pid), SIGTERM);
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
    std::optional<QString> window;
    const bool found = waitUntil(
        [&] {
            window = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                              QStringLiteral("--name"), QStringLiteral("MainForm")});
            return window && !window->isEmpty();
        },
        timeoutMs);
    if (!found)
        return false;
    const QString id = window->split(QLatin1Char('\n')).last();
    // Let the dialog settle (it moves the focus to its first edit once shown).
    QThread::msleep(400);
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id}).has_value();
}

bool VirtualDisplay::typeLine(const QString &text) const {
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text})
               .has_value() &&
           xdotool({QStringLiteral("key"), QStringLiteral("Return")}).has_value();
}

} // namespace e2e
