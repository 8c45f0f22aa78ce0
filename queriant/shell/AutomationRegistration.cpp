// SPDX-License-Identifier: MIT
#include "AutomationRegistration.h"

#include "ZvError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString ActivationFilePath() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/dbus-1/services/") +
           QString::fromLatin1(AutomationServiceName) + QStringLiteral(".service");
}

namespace {

// The bus daemon splits Exec like a shell: quote a path holding blanks or quotes.
QByteArray quotedForExec(const QString &path) {
    QByteArray bytes = path.toUtf8();
    if (!bytes.contains(' ') && !bytes.contains('"') && !bytes.contains('\'') &&
        !bytes.contains('\\'))
        return bytes;
    bytes.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + bytes + '"';
}

} // namespace

QByteArray ActivationFileText(const QString &executablePath) {
    return QByteArray("[D-BUS Service]\nName=") + AutomationServiceName +
           "\nExec=" + quotedForExec(executablePath) + " -Embedding\n";
}

void RegisterAutomationServer(const QString &executablePath) {
    const QString path = ActivationFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ActivationFileText(executablePath)) < 0 ||
        !file.commit())
        throw zv::ZvError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

bool UnregisterAutomationServer() {
    return QFile::remove(ActivationFilePath());
}
