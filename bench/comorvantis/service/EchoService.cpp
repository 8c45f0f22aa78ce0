// SPDX-License-Identifier: MIT
#include "EchoService.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdio>

QDBusObjectPath EchoService::GetHostedTask(const QString &taskProgId) {
    Q_UNUSED(taskProgId);
    return QDBusObjectPath(QStringLiteral("/Echo/Objects/1"));
}

int runEchoService(const QString &address) {
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("echo"));
    EchoService service;
    if (!bus.isConnected() ||
        !bus.registerObject(QLatin1String(kEchoPath), &service, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QLatin1String(kEchoService))) {
        std::fprintf(stderr, "echo service: cannot serve on %s\n", qPrintable(address));
        return 1;
    }
    return QCoreApplication::exec();
}
