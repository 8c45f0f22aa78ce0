// SPDX-License-Identifier: MIT
// Helpers for running the real comorvantis program: a private bus daemon, datagram sockets
// standing in for systemd's notify socket and the syslog socket, and the program copied into
// the sandbox so that its configuration file sits beside it.
#pragma once

#include "PrivateBus.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QUuid>

#include <functional>

namespace servicetest {

using PrivateBus = zvtest::PrivateBus;

inline const QString kService = QStringLiteral("com.zorvant.ComOrvantis");
inline const QString kController = QStringLiteral("/OrvantisController");
inline const QString kControllerIface = QStringLiteral("com.zorvant.IOrvantisController");
inline const QString kTaskIface = QStringLiteral("com.zorvant.IOrvantisTask");

// A blocking call to the task host, answered within 30 s.
QDBusMessage call(const QDBusConnection &bus, const QString &path, const QString &iface,
                  const QString &member, const QVariantList &args = {});
// Whether the task host's name has an owner on the connection's bus.
bool nameOwned(const QDBusConnection &bus);

// A bound datagram socket that collects what is sent to it.
class DatagramSink {
public:
    explicit DatagramSink(const QString &path);
    ~DatagramSink();
    DatagramSink(const DatagramSink &) = delete;
    DatagramSink &operator=(const DatagramSink &) = delete;

    QString path() const { return m_path; }
    // Everything received so far, in order.
    QStringList received();
    // Waits until a received datagram contains the text; false after the time-out.
    bool waitFor(const QString &text, int timeoutMs);

private:
    void drain(int waitMs);
    QString m_path;
    int m_fd = -1;
    QStringList m_received;
};

// Polls until the condition holds (running the event loop); false after the time-out.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs);

// Sandbox plus the copied program, a log file and sample-task helpers.
class ServiceSandbox {
public:
    ServiceSandbox();

    zvtest::Sandbox sandbox;
    QString program;    // <sandbox>/service/bin/comorvantis
    QString configPath; // program + ".config"

    QProcessEnvironment environment() const;
    // Starts the program with the environment, its output passed through; false when it did
    // not start.
    bool start(QProcess &process, const QProcessEnvironment &env) const;
    // Runs the program to its end with the arguments; returns the exit code (-1 on a crash).
    int run(const QStringList &arguments, QString *errorOutput = nullptr) const;
    QString writeConfiguration(const QStringList &tasks) const;
    QUuid registerClass(const QString &progId, const char *library = "zvsampletask",
                        const std::map<QString, QVariant> &behaviour = {}) const;
    QStringList records() const;
    QStringList logLines() const;
};

} // namespace servicetest
