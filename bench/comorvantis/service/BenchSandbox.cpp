// SPDX-License-Identifier: MIT
#include "BenchSandbox.h"

#include "ZvComRuntime.h"
#include "ZvRegistry.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace {

BenchSandbox *g_current = nullptr;

} // namespace

BenchSandbox::BenchSandbox() {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    const auto set = [this](const char *name, const QString &relative) {
        qputenv(name, QFile::encodeName(path(relative)));
    };
    set("ZORVANT_MACHINE_REG", QStringLiteral("machine.reg"));
    set("ZORVANT_USER_REG", QStringLiteral("user.reg"));
    set("ZORVANT_SYSTEMD_DIR", QStringLiteral("systemd"));
    set("ZORVANT_SYSLOG_SOCKET", QStringLiteral("nolog"));
    set("ZORVANT_DBUS_SYSTEM_DIR", QStringLiteral("system.d"));
    set("XDG_CONFIG_HOME", QStringLiteral("config"));
    set("XDG_DATA_HOME", QStringLiteral("data"));
    set("HOME", QStringLiteral("home"));
    QDir().mkpath(path(QStringLiteral("home")));
    // The sample plug-ins keep no records and read no behaviour files without this.
    qunsetenv("ZV_SAMPLE_DIR");
    g_current = this;
}

BenchSandbox &BenchSandbox::current() {
    if (!g_current)
        throw std::logic_error("no benchmark sandbox");
    return *g_current;
}

QString BenchSandbox::path(const QString &relative) const {
    return m_dir.filePath(relative);
}

QUuid BenchSandbox::registerTask(const QString &progId, const char *library) const {
    const QUuid clsid = QUuid::createUuid();
    zv::ZvRegKey::create(zv::RegRoot::ClassesRoot, progId + QStringLiteral("\\CLSID"))
        .writeString(QString(), zv::clsidString(clsid));
    zv::ZvRegKey::create(zv::RegRoot::ClassesRoot,
                         QStringLiteral("CLSID\\%1\\InprocServer32").arg(zv::clsidString(clsid)))
        .writeString(
            QString(),
            QStringLiteral(ZV_BENCH_BIN_DIR "/plugins/lib%1.so").arg(QLatin1String(library)));
    return clsid;
}

void BenchSandbox::writeConfiguration(const QString &file, const QStringList &tasks) {
    QByteArray xml = "<?xml version=\"1.0\"?>\n<configuration>\n  <tasks>\n";
    for (const QString &t : tasks)
        xml += "    <task>" + t.toUtf8() + "</task>\n";
    xml += "  </tasks>\n</configuration>\n";
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(xml) != xml.size())
        throw std::runtime_error("cannot write the configuration " + file.toStdString());
}
