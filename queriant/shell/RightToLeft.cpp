// SPDX-License-Identifier: MIT
#include "RightToLeft.h"

#include "ZvLocaleInfo.h"

#include <QFile>

namespace {

bool writtenRightToLeft(const QLocale &locale) {
    return locale.language() != QLocale::C && zv::isRightToLeft(locale);
}

QString upperEnglishName(const QLocale &locale) {
    return QLocale::languageToString(locale.language()).toUpper();
}

} // namespace

bool IsRightToLeftLocale(const QLocale &userLocale, const QLocale &systemLocale) {
    return writtenRightToLeft(userLocale) && writtenRightToLeft(systemLocale) &&
           upperEnglishName(userLocale) == upperEnglishName(systemLocale);
}

bool IsRightToLeftLocale() {
    const std::optional<QLocale> system = SystemDefaultLocale();
    return system && IsRightToLeftLocale(QLocale::system(), *system);
}

std::optional<QLocale> LocaleFromConfigText(const QByteArray &text) {
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (!line.startsWith("LANG="))
            continue;
        QByteArray value = line.mid(5).trimmed();
        if (value.size() >= 2 && (value.startsWith('"') || value.startsWith('\'')) &&
            value.endsWith(value.front()))
            value = value.mid(1, value.size() - 2);
        // "ar_EG.UTF-8@modifier" -> "ar_EG"
        const qsizetype cut = value.indexOf('.');
        if (cut >= 0)
            value.truncate(cut);
        const qsizetype at = value.indexOf('@');
        if (at >= 0)
            value.truncate(at);
        if (value.isEmpty())
            return std::nullopt;
        return QLocale(QString::fromLatin1(value));
    }
    return std::nullopt;
}

std::optional<QLocale> SystemDefaultLocale() {
    for (const char *path : {"/etc/locale.conf", "/etc/default/locale"}) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (auto locale = LocaleFromConfigText(file.readAll()))
            return locale;
    }
    return std::nullopt;
}
