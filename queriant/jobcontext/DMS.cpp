// SPDX-License-Identifier: MIT
#include "DMS.h"

#include "Log.h"

#include <QLibrary>

#include <cerrno>

QByteArray IniValue(const QByteArray &text, const QByteArray &section, const QByteArray &key) {
    bool inSection = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            inSection =
                line.mid(1, line.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inSection || equals < 0)
            continue;
        if (line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

TDMS::TDMS(const QByteArray &config) : Config(config) {
    DmsDllName = IniValue(Config, "DLL", "DLL Name");
    LogInfo("DmsDllName=%s", DmsDllName);
}

void TDMS::GetDocumentInfo(const QString &documentName) {
    Codes.clear();
    Values.clear();
    Count = 0;
    if (DmsDllName.isEmpty())
        throw EDmsError(QStringLiteral("The DMS Dll name is empty."));

    QLibrary library(QString::fromLocal8Bit(DmsDllName));
    if (!library.load())
        throw EDmsError(QStringLiteral("Failed to load the dll - \"%1\".")
                            .arg(QString::fromLocal8Bit(DmsDllName)));
    struct Unload {
        QLibrary &lib;
        ~Unload() { lib.unload(); }
    } unload{library};

    auto entry = reinterpret_cast<TGetDocumentInfo>(library.resolve("GetDocumentInfo"));
    if (!entry)
        throw EDmsError(QStringLiteral("The Dll entry point could not be found."));

    const QByteArray document = documentName.toLocal8Bit();
    qint32 count = 0;
    char **codes = nullptr;
    char **values = nullptr;
    errno = 0;
    const int result = entry(Config.constData(), document.constData(), &count, &codes, &values);
    const int lastError = errno;
    if ((result & 0xFF) == 0)
        throw EDmsError(QStringLiteral("Failed to get information for the document:%1, error:%2")
                            .arg(documentName)
                            .arg(lastError));
    for (qint32 i = 0; i < count && codes && values; ++i) {
        const QByteArray code(codes[i] ? codes[i] : "");
        const QByteArray value(values[i] ? values[i] : "");
        LogInfo("DmsDocInfo: Code=\"%s\" Value=\"%s\"", code, value);
        Codes.append(code);
        Values.append(value);
    }
    Count = int(Codes.size());
}
