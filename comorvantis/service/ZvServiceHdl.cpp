// SPDX-License-Identifier: MIT
#include "ZvServiceHdl.h"

#include "OrvantisDBusExports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <unistd.h>

namespace {

const char kDefaultUnitDir[] = "/etc/systemd/system";
const char kDefaultPolicyDir[] = "/etc/dbus-1/system.d";

// What the dependencies of the original platform mean here.
QString unitForDependency(const QString &dependency) {
    if (dependency.compare(QLatin1String("RPCSS"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("dbus.service");
    if (dependency.compare(QLatin1String("EventLog"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("systemd-journald.socket");
    return dependency;
}

QString quoteExec(const QString &path) {
    QString quoted = path;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString ZvServiceHdl::unitDirectory() {
    const QString dir = qEnvironmentVariable("ZORVANT_SYSTEMD_DIR");
    return dir.isEmpty() ? QString::fromLatin1(kDefaultUnitDir) : dir;
}

QString ZvServiceHdl::policyDirectory() {
    const QString dir = qEnvironmentVariable("ZORVANT_DBUS_SYSTEM_DIR");
    if (!dir.isEmpty())
        return dir;
    if (!qEnvironmentVariable("ZORVANT_SYSTEMD_DIR").isEmpty())
        return unitDirectory();
    return QString::fromLatin1(kDefaultPolicyDir);
}

bool ZvServiceHdl::systemManaged() {
    return qEnvironmentVariable("ZORVANT_SYSTEMD_DIR").isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("systemctl")).isEmpty();
}

int ZvServiceHdl::systemctl(const QStringList &arguments) {
    if (!systemManaged())
        return 0;
    return QProcess::execute(QStringLiteral("systemctl"), arguments);
}

QString ZvServiceHdl::unitText(const ZvServiceConfig &config) {
    QStringList units;
    for (const QString &d : config.dependencies)
        units << unitForDependency(d);
    QString text;
    text +=
        QStringLiteral("# Written by comorvantis -Service; removed by comorvantis -UnregServer.\n");
    text += QStringLiteral("[Unit]\nDescription=%1\n").arg(config.displayName);
    if (!units.isEmpty()) {
        text += QStringLiteral("Wants=%1\n").arg(units.join(QLatin1Char(' ')));
        text += QStringLiteral("After=%1\n").arg(units.join(QLatin1Char(' ')));
    }
    text += QStringLiteral("\n[Service]\nType=notify\nNotifyAccess=main\nExecStart=%1\n")
                .arg(quoteExec(config.executable));
    text += QStringLiteral("KillSignal=SIGTERM\nTimeoutStopSec=120\n");
    text += QStringLiteral("# Depends=%1\n").arg(config.dependencies.join(QLatin1Char(' ')));
    text += QStringLiteral("# StartType=%1\n")
                .arg(config.automatic ? QStringLiteral("automatic") : QStringLiteral("demand"));
    text += QStringLiteral("\n[Install]\nWantedBy=multi-user.target\n");
    return text;
}

QString ZvServiceHdl::policyText() {
    const QString name = OrvantisDBusExports::ServiceName;
    const QString controller = QStringLiteral("com.zorvant.IOrvantisController");
    QString open;
    for (const char *member : {"GetHostedTask", "CreateEventServer", "SettingsManager"})
        open += QStringLiteral("    <allow send_destination=\"%1\" send_interface=\"%2\" "
                               "send_member=\"%3\"/>\n")
                    .arg(name, controller, QLatin1String(member));
    for (const char *iface : {"com.zorvant.IOrvantisTask", "com.zorvant.ISettings",
                              "com.zorvant.IServerNotifications", "org.freedesktop.DBus.Properties",
                              "org.freedesktop.DBus.Introspectable", "org.freedesktop.DBus.Peer"})
        open += QStringLiteral("    <allow send_destination=\"%1\" send_interface=\"%2\"/>\n")
                    .arg(name, QLatin1String(iface));
    return QStringLiteral(
               "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration "
               "1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<!-- Written by comorvantis -Service; removed by comorvantis -UnregServer. -->\n"
               "<busconfig>\n"
               "  <policy user=\"root\">\n"
               "    <allow own=\"%1\"/>\n"
               "    <allow send_destination=\"%1\"/>\n"
               "  </policy>\n"
               "  <policy context=\"default\">\n"
               "%2"
               "  </policy>\n"
               "</busconfig>\n")
        .arg(name, open);
}

QString ZvServiceHdl::unitPath() const {
    return unitDirectory() + QLatin1Char('/') + unitName();
}

QString ZvServiceHdl::wantsLinkPath() const {
    return unitDirectory() + QStringLiteral("/multi-user.target.wants/") + unitName();
}

QString ZvServiceHdl::policyPath() const {
    return policyDirectory() + QLatin1Char('/') + policyName();
}

bool ZvServiceHdl::openManager() {
    const QString dir = unitDirectory();
    if (QFileInfo(dir).isDir() || QDir().mkpath(dir)) {
        if (::access(QFile::encodeName(dir).constData(), W_OK) == 0)
            return true;
    }
    m_lastError = errno ? errno : EACCES;
    return false;
}

bool ZvServiceHdl::exists() const {
    return QFileInfo::exists(unitPath());
}

bool ZvServiceHdl::writeFile(const QString &path, const QString &text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        m_lastError = errno ? errno : EIO;
        return false;
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return true;
}

bool ZvServiceHdl::create(const ZvServiceConfig &config) {
    if (!writeFile(unitPath(), unitText(config)) || !writeFile(policyPath(), policyText()))
        return false;
    if (!setEnabled(config.automatic))
        return false;
    systemctl({QStringLiteral("daemon-reload")});
    return true;
}

bool ZvServiceHdl::readConfig(ZvServiceConfig *config) const {
    QFile file(unitPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *config = ZvServiceConfig{};
    config->automatic = QFileInfo::exists(wantsLinkPath());
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1String("Description=")))
            config->displayName = line.mid(12);
        else if (line.startsWith(QLatin1String("ExecStart="))) {
            QString exec = line.mid(10);
            if (exec.startsWith(QLatin1Char('"')) && exec.endsWith(QLatin1Char('"')))
                exec = exec.mid(1, exec.size() - 2)
                           .replace(QLatin1String("\\\""), QLatin1String("\""));
            config->executable = exec.replace(QLatin1String("\\\\"), QLatin1String("\\"));
        } else if (line.startsWith(QLatin1String("# Depends="))) {
            config->dependencies = line.mid(10).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        }
    }
    return true;
}

bool ZvServiceHdl::setEnabled(bool enabled) {
    const QString link = wantsLinkPath();
    QFile::remove(link);
    if (!enabled)
        return true;
    QDir().mkpath(QFileInfo(link).absolutePath());
    if (::symlink(QFile::encodeName(unitPath()).constData(), QFile::encodeName(link).constData()) !=
        0) {
        m_lastError = errno;
        return false;
    }
    return true;
}

bool ZvServiceHdl::changeConfig(bool automatic, const QStringList &dependencies) {
    ZvServiceConfig config;
    if (!readConfig(&config)) {
        m_lastError = ENOENT;
        return false;
    }
    config.automatic = automatic;
    config.dependencies = dependencies;
    if (!writeFile(unitPath(), unitText(config)) || !setEnabled(automatic))
        return false;
    systemctl({QStringLiteral("daemon-reload")});
    return true;
}

bool ZvServiceHdl::stop() {
    if (systemctl({QStringLiteral("stop"), unitName()}) != 0) {
        m_lastError = EIO;
        return false;
    }
    return true;
}

bool ZvServiceHdl::remove() {
    setEnabled(false);
    QFile::remove(policyPath());
    if (!QFile::remove(unitPath()) && QFileInfo::exists(unitPath())) {
        m_lastError = errno ? errno : EACCES;
        return false;
    }
    systemctl({QStringLiteral("daemon-reload")});
    return true;
}
