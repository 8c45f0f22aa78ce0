// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cstdlib>
#include <iomanip>
#include <unistd.h>

void PrintTo(const QString &s, std::ostream *os) {
    *os << '"' << s.toStdString() << '"';
}

void PrintTo(const QByteArray &b, std::ostream *os) {
    *os << "QByteArray(" << b.size() << ") \"";
    for (unsigned char c : b) {
        if (c >= 32 && c < 127 && c != '"' && c != '\\')
            *os << c;
        else
            *os << "\\x" << std::hex << std::setw(2) << std::setfill('0') << int(c) << std::dec;
    }
    *os << '"';
}

namespace zvtest {

ScopedEnv::ScopedEnv(const char *name, const QByteArray &value) : m_name(name) {
    if (const char *old = std::getenv(name))
        m_old = QByteArray(old);
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (m_old)
        qputenv(m_name.constData(), *m_old);
    else
        qunsetenv(m_name.constData());
}

Sandbox::Sandbox() {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder for the test");
    auto set = [this](const char *name, const QString &value) {
        m_env[name] = std::make_unique<ScopedEnv>(name, value.toLocal8Bit());
    };
    set("ZORVANT_MACHINE_REG", machineRegPath());
    set("ZORVANT_USER_REG", userRegPath());
    set("ZORVANT_SYSTEMD_DIR", path(QStringLiteral("systemd")));
    set("XDG_CONFIG_HOME", path(QStringLiteral("config")));
    set("XDG_DATA_HOME", path(QStringLiteral("data")));
    set("HOME", path(QStringLiteral("home")));
    QDir().mkpath(path(QStringLiteral("home")));
    // Fixed names such as the prior-jobs section must not meet the user's own objects or
    // another test's.
    static std::atomic<int> sandboxes{0};
    set("ZORVANT_OBJECT_NAMESPACE", QStringLiteral("zvtest.%1.%2").arg(getpid()).arg(++sandboxes));
}

Sandbox::~Sandbox() = default;

QString Sandbox::path(const QString &relative) const {
    return m_dir.filePath(relative);
}

QString Sandbox::writeFile(const QString &relative, const QByteArray &content) const {
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write test file " + p.toStdString());
    f.write(content);
    return p;
}

QByteArray Sandbox::readFile(const QString &relative) const {
    QFile f(path(relative));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString Sandbox::uniqueName(const QString &base) const {
    static std::atomic<int> counter{0};
    return QStringLiteral("Local\\zvtest.%1.%2.%3").arg(getpid()).arg(++counter).arg(base);
}

} // namespace zvtest
