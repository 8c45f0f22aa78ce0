// SPDX-License-Identifier: MIT
#include "JAWS.h"

#include "ZvRegistry.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace {

struct TScreenNames {
    const char *file;
    const char *section;
};

TScreenNames screenNames(TJawsScreen screen) {
    switch (screen) {
    case TJawsScreen::Integer:
        return {"JAWSForQueriantIntegerQuestionForm.ini", "IntegerQuestionScreen"};
    case TJawsScreen::String:
        return {"JAWSForQueriantStringQuestionForm.ini", "StringQuestionScreen"};
    case TJawsScreen::Float:
        return {"JAWSForQueriantFloatQuestionForm.ini", "FloatQuestionScreen"};
    case TJawsScreen::Money:
        return {"JAWSForQueriantMoneyQuestionForm.ini", "MoneyQuestionScreen"};
    case TJawsScreen::Logon:
        return {"JAWSForQueriantLogonQuestionForm.ini", "LogonQuestionScreen"};
    case TJawsScreen::GuestCard:
        return {"JAWSForQueriantGuestCardQuestionForm.ini", "GuestCardQuestionScreen"};
    case TJawsScreen::List:
        return {"JAWSForQueriantListQuestionForm.ini", "ListQuestionScreen"};
    case TJawsScreen::Button:
        return {"JAWSForQueriantButtonQuestionForm.ini", "ButtonQuestionScreen"};
    }
    return {"", ""};
}

QString trimmedLine(const QByteArray &line) {
    return QString::fromLocal8Bit(line).trimmed();
}

bool isSectionLine(const QString &line) {
    return line.startsWith(QLatin1Char('['));
}

bool isSection(const QString &line, const QString &section) {
    if (!isSectionLine(line))
        return false;
    const int close = line.indexOf(QLatin1Char(']'));
    const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
    return name.compare(section, Qt::CaseInsensitive) == 0;
}

bool isKey(const QString &line, const QString &key) {
    const int eq = line.indexOf(QLatin1Char('='));
    return eq >= 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0;
}

QByteArrayList readLines(const QString &file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

void writeLines(const QString &file, const QByteArrayList &lines) {
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return;
    for (const QByteArray &line : lines) {
        f.write(line);
        f.write("\r\n");
    }
    f.commit();
}

// Changes or removes (value absent) one key of one section.
void updateProfile(const QString &file, const QString &section, const QString &key,
                   const std::optional<QString> &value) {
    QByteArrayList lines = readLines(file);
    const QByteArray entry = value ? (key + QLatin1Char('=') + *value).toLocal8Bit() : QByteArray();
    qsizetype sectionAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isSection(trimmedLine(lines[i]), section)) {
            sectionAt = i;
            break;
        }
    }
    if (sectionAt < 0) {
        if (!value)
            return;
        lines << (QLatin1Char('[') + section + QLatin1Char(']')).toLocal8Bit() << entry;
        writeLines(file, lines);
        return;
    }
    qsizetype insertAt = sectionAt + 1;
    for (qsizetype i = sectionAt + 1; i < lines.size(); ++i) {
        const QString line = trimmedLine(lines[i]);
        if (isSectionLine(line))
            break;
        if (isKey(line, key)) {
            if (value)
                lines[i] = entry;
            else
                lines.removeAt(i);
            writeLines(file, lines);
            return;
        }
        if (!line.isEmpty())
            insertAt = i + 1;
    }
    if (!value)
        return;
    lines.insert(insertAt, entry);
    writeLines(file, lines);
}

QString screenFile(TJawsScreen screen) {
    const QString folder = JawsSettingsFolder();
    if (folder.isEmpty())
        return {};
    return folder + QLatin1Char('/') + JawsScreenFileName(screen);
}

// A fresh screen file, or empty when there is no settings folder.
QString startScreen(TJawsScreen screen) {
    const QString file = screenFile(screen);
    if (!file.isEmpty())
        QFile::remove(file);
    return file;
}

void writeError(const QString &file, const QString &section, const QString &error) {
    if (error.isEmpty())
        DeleteProfileKey(file, section, QStringLiteral("Error"));
    else
        WriteProfileString(file, section, QStringLiteral("Error"), error);
}

QString withoutParentheses(QString text) {
    return text.remove(QLatin1Char('(')).remove(QLatin1Char(')'));
}

} // namespace

QString JawsSettingsFolder() {
    const QString appData = qEnvironmentVariable("AppData");
    if (appData.isEmpty())
        return {};
    const auto key = zv::ZvRegKey::open(zv::RegRoot::LocalMachine,
                                        QStringLiteral("Software\\Freedom Scientific\\JAWS"));
    if (!key)
        return {};
    const QStringList versions = key->subKeyNames();
    if (versions.isEmpty())
        return {};
    const QString folder = appData + QStringLiteral("/Freedom Scientific/JAWS/") +
                           versions.first() + QStringLiteral("/Settings/enu");
    return QFileInfo(folder).isDir() ? folder : QString();
}

QString JawsScreenFileName(TJawsScreen screen) {
    return QLatin1String(screenNames(screen).file);
}

QString JawsScreenSection(TJawsScreen screen) {
    return QLatin1String(screenNames(screen).section);
}

void WriteProfileString(const QString &file, const QString &section, const QString &key,
                        const QString &value) {
    updateProfile(file, section, key, value);
}

void DeleteProfileKey(const QString &file, const QString &section, const QString &key) {
    updateProfile(file, section, key, std::nullopt);
}

void JawsWriteScreen(TJawsScreen screen, const QString &title) {
    const QString file = startScreen(screen);
    if (!file.isEmpty())
        WriteProfileString(file, JawsScreenSection(screen), QStringLiteral("Title"), title);
}

void JawsWriteControl(TJawsScreen screen, const QString &controlName, const QString &prompt,
                      const QString &error) {
    const QString file = screenFile(screen);
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    const QString section = JawsScreenSection(screen);
    if (!controlName.isEmpty()) {
        WriteProfileString(file, section, QStringLiteral("CurrentControl"), controlName);
        WriteProfileString(file, section, controlName + QStringLiteral("Prompt"), prompt);
    }
    writeError(file, section, error);
}

void JawsWriteListScreen(const QString &title, const QString &question, const QString &defaultValue,
                         const QString &description, const QStringList &listOptions,
                         const QString &error) {
    const QString file = startScreen(TJawsScreen::List);
    if (file.isEmpty())
        return;
    const QString section = JawsScreenSection(TJawsScreen::List);
    QString options;
    for (const QString &option : listOptions)
        options += option + QLatin1Char('\t');
    WriteProfileString(file, section, QStringLiteral("Title"), title);
    WriteProfileString(file, section, QStringLiteral("Question"), question);
    WriteProfileString(file, section, QStringLiteral("DefaultValue"), defaultValue);
    WriteProfileString(file, section, QStringLiteral("Description"),
                       withoutParentheses(description));
    WriteProfileString(file, section, QStringLiteral("ListOptions"), options);
    writeError(file, section, error);
}

void JawsWriteButtonScreen(const QString &title, const QString &question,
                           const QString &description, const QString &error) {
    const QString file = startScreen(TJawsScreen::Button);
    if (file.isEmpty())
        return;
    const QString section = JawsScreenSection(TJawsScreen::Button);
    QString spoken = withoutParentheses(question).remove(QLatin1Char('\''));
    spoken.replace(QLatin1Char('\n'), QLatin1Char(' '));
    WriteProfileString(file, section, QStringLiteral("Title"), title);
    WriteProfileString(file, section, QStringLiteral("Question"), spoken);
    WriteProfileString(file, section, QStringLiteral("Description"),
                       withoutParentheses(description));
    writeError(file, section, error);
}
