// SPDX-License-Identifier: MIT
#include "SimpleTranslator.h"

#include "ZvProcessInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

QString LanguageFilePath(const QString &executablePath) {
    const QFileInfo info(executablePath);
    const QString fileName = info.fileName();
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return executablePath + QStringLiteral(".lan");
    const qsizetype cut = executablePath.size() - (fileName.size() - dot);
    return executablePath.left(cut) + QStringLiteral(".lan");
}

namespace {

bool isBlankOrControl(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= 32;
}

// Reads a quoted entry starting at the opening quote; a doubled quote stands for one quote.
// An entry without its closing quote runs to the end of the text.
QString readQuoted(const QString &text, qsizetype &pos) {
    QString entry;
    ++pos;
    while (pos < text.size()) {
        const QChar c = text.at(pos);
        if (c == u'"') {
            if (pos + 1 < text.size() && text.at(pos + 1) == u'"') {
                entry += u'"';
                pos += 2;
                continue;
            }
            ++pos;
            return entry;
        }
        entry += c;
        ++pos;
    }
    return entry;
}

} // namespace

QStringList SplitCommaText(const QString &text) {
    // The text ends at its first NUL character.
    const QString value =
        text.left(text.indexOf(QChar(0)) < 0 ? text.size() : text.indexOf(QChar(0)));
    QStringList entries;
    qsizetype pos = 0;
    const qsizetype n = value.size();
    auto skipBlanks = [&] {
        while (pos < n && isBlankOrControl(value.at(pos)))
            ++pos;
    };
    skipBlanks();
    while (pos < n) {
        if (value.at(pos) == u'"') {
            entries.append(readQuoted(value, pos));
        } else {
            const qsizetype start = pos;
            while (pos < n && !isBlankOrControl(value.at(pos)) && value.at(pos) != u',')
                ++pos;
            entries.append(value.mid(start, pos - start));
        }
        skipBlanks();
        if (pos < n && value.at(pos) == u',') {
            if (pos + 1 == n)
                entries.append(QString());
            ++pos;
            skipBlanks();
        }
    }
    return entries;
}

TSimpleTranslator::TSimpleTranslator(QStringList lines, int userLanguage)
    : m_lines(std::move(lines)), m_userLanguage(userLanguage) {}

TSimpleTranslator TSimpleTranslator::FromFile(const QString &path, int userLanguage) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TSimpleTranslator({}, userLanguage);
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decoder(QStringConverter::System);
    const QString text = decoder.decode(bytes);
    // Lines end with CR LF, LF or a lone CR.
    QString unified = text;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    unified.replace(u'\r', u'\n');
    QStringList lines = unified.split(u'\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return TSimpleTranslator(std::move(lines), userLanguage);
}

QString TSimpleTranslator::valueOf(const QString &key) const {
    for (const QString &line : m_lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

namespace {

// Column of each language in a value, counted from 0.
int columnOf(int language) {
    switch (language) {
    case zv::LANG_ENGLISH:
        return 0;
    case zv::LANG_GERMAN:
        return 1;
    case zv::LANG_FRENCH:
        return 2;
    case zv::LANG_ITALIAN:
        return 3;
    case zv::LANG_SPANISH:
        return 4;
    case zv::LANG_ARABIC:
        return 5;
    default:
        return -1;
    }
}

} // namespace

QString TSimpleTranslator::Translate(const QString &key, const QString &defaultText) const {
    if (m_lines.isEmpty())
        return defaultText;
    const int column = columnOf(m_userLanguage);
    if (column < 0)
        return defaultText;
    const QStringList entries = SplitCommaText(valueOf(key));
    if (entries.size() <= column || entries.at(column).isEmpty())
        return defaultText;
    return entries.at(column);
}

int UserLanguage() {
    static const int language = zv::userLanguageId();
    return language;
}

QString Translate(const QString &key, const QString &defaultText) {
    static const TSimpleTranslator translator =
        TSimpleTranslator::FromFile(LanguageFilePath(zv::modulePath()), UserLanguage());
    return translator.Translate(key, defaultText);
}
