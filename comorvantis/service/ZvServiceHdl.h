// SPDX-License-Identifier: MIT
// The service as systemd knows it: a unit file (Type=notify) plus the system-bus policy that
// lets the service own its name. Installing writes both; removing deletes them; the start
// type "automatic" is the unit being enabled (its multi-user.target.wants link). systemctl
// is called only when the files go to the real system folders.
#pragma once

#include <QString>
#include <QStringList>

struct ZvServiceConfig {
    QString displayName;
    QString executable;
    bool automatic = false;
    QStringList dependencies; // service names of the original platform: "RPCSS", "EventLog"
};

class ZvServiceHdl {
public:
    static QString unitName() { return QStringLiteral("zorvant-comorvantis.service"); }
    static QString policyName() { return QStringLiteral("com.zorvant.ComOrvantis.conf"); }
    // ZORVANT_SYSTEMD_DIR, else /etc/systemd/system.
    static QString unitDirectory();
    // ZORVANT_DBUS_SYSTEM_DIR, else beside the unit when the unit folder is overridden, else
    // /etc/dbus-1/system.d.
    static QString policyDirectory();
    // The unit file text for a configuration.
    static QString unitText(const ZvServiceConfig &config);
    // The bus policy: root (the service's user) may own the name and call everything; other
    // local users may call all but the four task-control methods.
    static QString policyText();

    // Opening the service manager: the unit folder exists or can be made.
    bool openManager();
    bool exists() const;
    bool create(const ZvServiceConfig &config);
    // Reads the installed configuration back; false when there is no unit.
    bool readConfig(ZvServiceConfig *config) const;
    bool changeConfig(bool automatic, const QStringList &dependencies);
    bool stop();
    bool remove();

    // errno of the last failed operation.
    int lastError() const { return m_lastError; }

private:
    QString unitPath() const;
    QString wantsLinkPath() const;
    QString policyPath() const;
    bool writeFile(const QString &path, const QString &text);
    bool setEnabled(bool enabled);
    static bool systemManaged();
    static int systemctl(const QStringList &arguments);

    int m_lastError = 0;
};
