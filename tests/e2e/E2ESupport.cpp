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
    m_server->terminate();
    if (!m_server->waitForFinished(5000))
        m_server->kill();
    m_server->waitForFinished(1000);
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

} // namespace e2e
