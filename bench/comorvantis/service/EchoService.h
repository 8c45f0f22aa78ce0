// SPDX-License-Identifier: MIT
// The baseline of the bus benchmark: a bare Qt D-Bus service with a method of the same
// signature as the controller's GetHostedTask, answering with a fixed object path.
#pragma once

#include <QDBusObjectPath>
#include <QObject>

inline constexpr char kEchoService[] = "com.zorvant.BenchEcho";
inline constexpr char kEchoPath[] = "/Echo";
inline constexpr char kEchoInterface[] = "com.zorvant.BenchEcho";

class EchoService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.zorvant.BenchEcho")
public slots:
    QDBusObjectPath GetHostedTask(const QString &taskProgId);
};

// Serves the echo object on the bus at the address until the process is ended.
int runEchoService(const QString &address);
