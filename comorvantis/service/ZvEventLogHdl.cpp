// SPDX-License-Identifier: MIT
#include "ZvEventLogHdl.h"

#include "ZvRegistry.h"
#include "ZvSyslog.h"

namespace {
const QString kApplicationLog =
    QStringLiteral("System\\CurrentControlSet\\Services\\EventLog\\Application");
}

QString ZvEventLogHdl::sourceKeyPath(const QString &sourceName) {
    return kApplicationLog + QLatin1Char('\\') + sourceName;
}

bool ZvEventLogHdl::registerSource(const QString &sourceName, const QString &executable) {
    try {
        const zv::ZvRegKey key =
            zv::ZvRegKey::create(zv::RegRoot::LocalMachine, sourceKeyPath(sourceName));
        key.writeDWord(QStringLiteral("CategoryCount"), 0);
        key.writeString(QStringLiteral("CategoryMessageFile"), executable);
        key.writeString(QStringLiteral("EventMessageFile"), executable);
        key.writeString(QStringLiteral("ParameterMessageFile"), executable);
        key.writeDWord(QStringLiteral("TypesSupported"), 7);
        return true;
    } catch (const zv::ZvError &e) {
        m_lastError = e.message();
        return false;
    }
}

bool ZvEventLogHdl::removeSource(const QString &sourceName) {
    try {
        zv::ZvRegKey::remove(zv::RegRoot::LocalMachine, sourceKeyPath(sourceName));
        return true;
    } catch (const zv::ZvError &e) {
        m_lastError = e.message();
        return false;
    }
}

void ZvEventLogHdl::report(const QString &sourceName, const QString &text) {
    zv::ZvSyslog log(sourceName);
    log.write(zv::ZvSyslog::Severity::Information, text);
}
