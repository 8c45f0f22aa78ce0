// SPDX-License-Identifier: MIT
// User-visible texts in the user's language. The language file lives next to the executable
// (same name, extension ".lan"); each line is key=value, the value a comma text with up to six
// translations: English, German, French, Italian, Spanish, Arabic.
#pragma once

#include <QString>
#include <QStringList>

#include "ZvLocaleInfo.h"

// The executable path with its extension replaced by ".lan", or ".lan" appended when the file
// name has no extension.
QString LanguageFilePath(const QString &executablePath);

// Splits a comma text: entries separated by commas and by unquoted blanks or control
// characters; quoted entries may hold blanks and commas, a doubled quote is one quote; a comma
// at the very end adds an empty entry.
QStringList SplitCommaText(const QString &value);

class TSimpleTranslator {
public:
    TSimpleTranslator(QStringList lines, int userLanguage);

    // Reads the language file as lines in the locale's code page; a missing or unreadable file
    // gives a translator without lines, so every text keeps its default.
    static TSimpleTranslator FromFile(const QString &path, int userLanguage);

    // The text for key in the user's language, or defaultText when the file has none.
    QString Translate(const QString &key, const QString &defaultText) const;

    int UserLanguage() const { return m_userLanguage; }
    const QStringList &Lines() const { return m_lines; }

private:
    QString valueOf(const QString &key) const;

    QStringList m_lines;
    int m_userLanguage;
};

// Primary language id of the locale the program started with (zv::LANG_ENGLISH for the C
// locale, zv::LANG_NEUTRAL for languages without a column).
int UserLanguage();

// The process-wide lookup: the language file next to the running executable, read on the
// first call and kept until the program ends.
QString Translate(const QString &key, const QString &defaultText);
