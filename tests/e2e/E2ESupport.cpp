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
    std::optional<QString> window;
    const bool found = waitUntil(
        [&] {
            window = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                              QStringLiteral("--classname"), QStringLiteral("queriant")});
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
    m_server->terminate();
    if (!m_server->waitForFinished(5000))
        m_server->kill();
    m_server->waitForFinished(1000);
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

} // namespace e2e
