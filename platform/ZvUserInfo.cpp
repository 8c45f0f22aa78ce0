// SPDX-License-Identifier: MIT
#include "ZvUserInfo.h"

#include "ZvError.h"

#include <QByteArray>

#include <cerrno>
#include <climits>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace zv {

namespace {

struct Account {
    QString name;
    QByteArray gecos;
};

// Looks up the effective user; nullopt with *error set when there is no entry.
std::optional<Account> effectiveAccount(int *error) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_t(size > 0 ? size : 16384));
    passwd pw{};
    passwd *result = nullptr;
    int rc;
    while ((rc = ::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &result)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || !result) {
        *error = rc != 0 ? rc : ENOENT;
        return std::nullopt;
    }
    return Account{QString::fromLocal8Bit(pw.pw_name), QByteArray(pw.pw_gecos ? pw.pw_gecos : "")};
}

} // namespace

QString loginName() {
    int error = 0;
    const std::optional<Account> a = effectiveAccount(&error);
    return a ? a->name : QString();
}

QString hostName() {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(buffer);
}

QString gecosFullName(const QByteArray &gecos) {
    return QString::fromLocal8Bit(
               gecos.left(gecos.indexOf(',') < 0 ? gecos.size() : gecos.indexOf(',')))
        .trimmed();
}

std::optional<QString> userNameEx(int format) {
    int error = 0;
    const std::optional<Account> a = effectiveAccount(&error);
    if (!a)
        return std::nullopt;
    switch (format) {
    case NameSamCompatible:
        return hostName().section(QLatin1Char('.'), 0, 0).toUpper() + QLatin1Char('\\') + a->name;
    case NameUserPrincipal:
        return a->name + QLatin1Char('@') + hostName();
    case NameDisplay: {
        const QString full = gecosFullName(a->gecos);
        return full.isEmpty() ? std::nullopt : std::optional<QString>(full);
    }
    default:
        return std::nullopt;
    }
}

QString tokenAccountName() {
    int error = 0;
    const std::optional<Account> a = effectiveAccount(&error);
    if (!a)
        throw ZvError(QStringLiteral("getpwuid_r:%1").arg(error));
    return a->name;
}

int terminalSessionId() {
    const QByteArray id = qgetenv("XDG_SESSION_ID");
    bool ok = false;
    const int n = id.toInt(&ok);
    // toInt accepts a sign and surrounding blanks; only a plain number is a session number.
    for (char c : id)
        if (c < '0' || c > '9')
            return 0;
    return ok ? n : 0;
}

} // namespace zv
