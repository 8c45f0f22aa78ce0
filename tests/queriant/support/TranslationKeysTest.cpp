// SPDX-License-Identifier: MIT
// The shipped language file against the client's sources: every key the code looks up has a
// row with all six languages, and each translation keeps the English placeholders.
#include "SimpleTranslator.h"
#include "TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <map>
#include <set>

namespace {

const QString SourceRoot = QStringLiteral(ZV_SOURCE_DIR "/queriant");
const QString LanguageFile = QStringLiteral(ZV_SOURCE_DIR "/queriant/shell/queriant.lan");
constexpr int Languages = 6;

struct SourceFile {
    QString path;
    QString text;

    int lineOf(qsizetype offset) const { return int(text.left(offset).count(u'\n')) + 1; }
    QString where(qsizetype offset) const {
        return path.mid(SourceRoot.size() + 1) + QLatin1Char(':') + QString::number(lineOf(offset));
    }
};

std::vector<SourceFile> clientSources() {
    std::vector<SourceFile> files;
    QDirIterator it(SourceRoot, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.push_back({file.fileName(), QString::fromUtf8(file.readAll())});
    }
    return files;
}

// Joins adjacent C string literals ("a" "b") and undoes their escapes.
QString literalText(const QString &literals) {
    static const QRegularExpression piece(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    QString text;
    for (const QRegularExpressionMatch &m : piece.globalMatch(literals)) {
        const QString raw = m.captured(1);
        for (qsizetype i = 0; i < raw.size(); ++i)
            text += (raw.at(i) == u'\\' && i + 1 < raw.size()) ? raw.at(++i) : raw.at(i);
    }
    return text;
}

struct KeyUse {
    QString where;
    std::optional<QString> defaultText; // known when the default is a literal
};

struct KeyScan {
    std::map<QString, KeyUse> keys;
    QStringList unresolved;

    void add(const QString &key, const QString &where, std::optional<QString> def = {}) {
        keys.try_emplace(key, KeyUse{where, std::move(def)});
    }
};

// The object names a helper call's first argument stands for: a literal, a control's
// objectName() (the control's variable name, as every form names its controls), the same in a
// loop over a list of controls, or a literal followed by a loop counter.
std::optional<QStringList> argumentNames(const SourceFile &file, qsizetype callAt,
                                         const QString &argument) {
    static const QRegularExpression literal(QStringLiteral(R"re(^QStringLiteral\("(\w+)"\)$)re"));
    static const QRegularExpression object(QStringLiteral(R"re(^(\w+)->objectName\(\)$)re"));
    static const QRegularExpression counted(
        QStringLiteral(R"re(^QStringLiteral\("(\w+)"\)\s*\+\s*QString::number\((\w+)\)$)re"));
    const QString before = file.text.left(callAt);
    if (const auto m = literal.match(argument); m.hasMatch())
        return QStringList{m.captured(1)};
    if (const auto m = object.match(argument); m.hasMatch()) {
        const QString name = m.captured(1);
        const QRegularExpression loop(
            QStringLiteral(R"re(for\s*\(\s*\w+\s*\*\s*%1\s*:\s*\{([^}]*)\}\s*\))re").arg(name));
        QRegularExpressionMatch last;
        for (const QRegularExpressionMatch &l : loop.globalMatch(before))
            last = l;
        QStringList names;
        if (last.hasMatch()) {
            for (const QString &item : last.captured(1).split(u','))
                names << item.trimmed();
        } else {
            names << name;
        }
        for (const QString &n : names)
            if (!file.text.contains(QLatin1Char('"') + n + QLatin1Char('"')))
                return std::nullopt; // no object of that name is created here
        return names;
    }
    if (const auto m = counted.match(argument); m.hasMatch()) {
        const QRegularExpression loop(
            QStringLiteral(R"re(for\s*\(\s*int\s+%1\s*=\s*0\s*;\s*%1\s*<\s*(\d+)\s*;)re")
                .arg(m.captured(2)));
        QRegularExpressionMatch last;
        for (const QRegularExpressionMatch &l : loop.globalMatch(before))
            last = l;
        if (!last.hasMatch())
            return std::nullopt;
        QStringList names;
        for (int i = 0; i < last.captured(1).toInt(); ++i)
            names << m.captured(1) + QString::number(i);
        return names;
    }
    return std::nullopt;
}

// The text of a call's first argument: up to the first comma outside parentheses.
QString firstArgument(const QString &text, qsizetype open) {
    int depth = 0;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'(')
            ++depth;
        else if (c == u')' && depth-- == 0)
            return text.mid(open + 1, i - open - 1).simplified();
        else if (c == u',' && depth == 0)
            return text.mid(open + 1, i - open - 1).simplified();
    }
    return QString();
}

KeyScan scanKeys(const std::vector<SourceFile> &files) {
    static const QRegularExpression resource(QStringLiteral(
        R"re(TResourceString\s+\w+\s*\{\s*"(\w+)"\s*,\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\})re"));
    static const QRegularExpression anyCall(QStringLiteral(R"re((?<![\w.>])Translate\s*\()re"));
    static const QRegularExpression direct(QStringLiteral(
        R"re(^Translate\s*\(\s*QStringLiteral\("(\w+)"\)\s*,\s*QStringLiteral\("((?:[^"\\]|\\.)*)"\)\s*\))re"));
    static const QRegularExpression directAnyDefault(
        QStringLiteral(R"re(^Translate\s*\(\s*QStringLiteral\("(\w+)"\)\s*,)re"));
    static const QRegularExpression helper(QStringLiteral(
        R"re(QString\s+(\w+)\s*\(\s*const QString &(\w+)\s*,[^)]*\)\s*\{\s*return\s+Translate\s*\(\s*QStringLiteral\("(\w+)"\)\s*\+\s*\2\s*,)re"));
    static const QRegularExpression declaration(
        QStringLiteral(R"re(QString\s+(TSimpleTranslator::)?Translate\s*\(\s*const QString)re"));
    static const QRegularExpression forwarding(
        QStringLiteral(R"re(Translate\s*\(\s*QString::fromUtf8\(res\.Key\))re"));

    KeyScan scan;
    for (const SourceFile &file : files) {
        if (file.path.endsWith(QLatin1String("/ResourceStrings.h")))
            for (const QRegularExpressionMatch &m : resource.globalMatch(file.text))
                scan.add(m.captured(1), file.where(m.capturedStart()), literalText(m.captured(2)));

        std::map<QString, QString> helpers; // helper name -> key prefix
        std::set<qsizetype> helperBodies;
        for (const QRegularExpressionMatch &m : helper.globalMatch(file.text)) {
            helpers[m.captured(1)] = m.captured(3);
            helperBodies.insert(m.capturedStart(0) +
                                m.captured(0).lastIndexOf(QLatin1String("Translate")));
        }

        for (const QRegularExpressionMatch &m : anyCall.globalMatch(file.text)) {
            const qsizetype at = m.capturedStart();
            const QString rest = file.text.mid(at, 400);
            if (helperBodies.count(at) ||
                declaration.match(file.text.mid(std::max<qsizetype>(0, at - 30), 80)).hasMatch() ||
                forwarding.match(rest).hasMatch())
                continue;
            if (const auto d = direct.match(rest); d.hasMatch())
                scan.add(d.captured(1), file.where(at),
                         literalText(QLatin1Char('"') + d.captured(2) + QLatin1Char('"')));
            else if (const auto d2 = directAnyDefault.match(rest); d2.hasMatch())
                scan.add(d2.captured(1), file.where(at));
            else
                scan.unresolved << file.where(at) + QStringLiteral(": ") +
                                       rest.left(60).simplified();
        }

        for (const auto &[name, prefix] : helpers) {
            const QRegularExpression call(QStringLiteral(R"re((?<![\w.>])%1\s*\()re").arg(name));
            for (const QRegularExpressionMatch &m : call.globalMatch(file.text)) {
                const qsizetype open = m.capturedEnd() - 1;
                const QString argument = firstArgument(file.text, open);
                if (argument.startsWith(QLatin1String("const QString")))
                    continue; // the helper's own definition
                const std::optional<QStringList> names =
                    argumentNames(file, m.capturedStart(), argument);
                if (!names) {
                    scan.unresolved << file.where(m.capturedStart()) + QStringLiteral(": ") + name +
                                           QStringLiteral("(") + argument;
                    continue;
                }
                for (const QString &n : *names)
                    scan.add(prefix + n, file.where(m.capturedStart()));
            }
        }
    }
    return scan;
}

struct Row {
    QString key; // as written
    QString value;
};

// key (lower case) -> its first row, as the translator matches keys.
std::map<QString, Row> languageRows(const QStringList &lines) {
    std::map<QString, Row> rows;
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0)
            rows.try_emplace(line.left(eq).toLower(), Row{line.left(eq), line.mid(eq + 1)});
    }
    return rows;
}

QStringList fileLines() {
    return TSimpleTranslator::FromFile(LanguageFile, zv::LANG_ENGLISH).Lines();
}

TEST(LanguageFile, HasAllSixLanguagesForEveryKeyTheClientUses) {
    const std::vector<SourceFile> files = clientSources();
    const KeyScan scan = scanKeys(files);
    EXPECT_TRUE(scan.unresolved.isEmpty())
        << "translation calls whose key the scan cannot work out:\n"
        << scan.unresolved.join(u'\n').toStdString();
    // A scan that found nothing would pass; these keys come from each way keys are made.
    for (const char *known :
         {"AppTitle", "NONEVALUE", "Btn7", "SSortcutsSaved", "QuestionFormNextBtn",
          "QuestionFormSwitchUserLabelNormal", "CostCenterQuestionFormShortCutHeaderLbl",
          "ShortcutMngFormTitle", "ClientTestFormQuestionsLv2", "ClientTestFormExitBtn"})
        EXPECT_TRUE(scan.keys.count(QString::fromLatin1(known))) << "scan missed " << known;

    const std::map<QString, Row> rows = languageRows(fileLines());
    QStringList faults;
    for (const auto &[key, use] : scan.keys) {
        const auto row = rows.find(key.toLower());
        if (row == rows.end()) {
            faults << key + QStringLiteral(": no row (used at ") + use.where + u')';
            continue;
        }
        const QStringList entries = SplitCommaText(row->second.value);
        if (entries.size() < Languages)
            faults << key + QStringLiteral(": %1 entries").arg(entries.size());
        for (qsizetype i = 0; i < entries.size(); ++i)
            if (entries.at(i).isEmpty())
                faults << key + QStringLiteral(": entry %1 is empty").arg(i + 1);
        if (use.defaultText && !entries.isEmpty() && entries.at(0) != *use.defaultText)
            faults << key + QStringLiteral(": English entry \"%1\" is not the default \"%2\"")
                                .arg(entries.at(0), *use.defaultText);
    }
    for (const auto &[key, value] : rows) {
        const bool used = std::any_of(scan.keys.begin(), scan.keys.end(),
                                      [&](const auto &k) { return k.first.toLower() == key; });
        if (!used)
            faults << key + QStringLiteral(": row for a key the client never looks up");
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

// The placeholders and the accelerator of the English text, in their order.
QStringList markers(const QString &text) {
    static const QRegularExpression marker(QStringLiteral("%[sSdD]|%\\d|&"));
    QStringList found;
    for (const QRegularExpressionMatch &m : marker.globalMatch(text))
        found << m.captured(0).toLower();
    return found;
}

TEST(LanguageFile, TranslationsKeepTheEnglishPlaceholders) {
    QStringList faults;
    for (const auto &[lower, row] : languageRows(fileLines())) {
        const QStringList entries = SplitCommaText(row.value);
        for (qsizetype i = 1; i < entries.size(); ++i)
            if (markers(entries.at(i)) != markers(entries.at(0)))
                faults << row.key + QStringLiteral(" entry %1: %2").arg(i + 1).arg(entries.at(i));
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

TEST(LanguageFile, IsReadAsUtf8) {
    QFile file(LanguageFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(file.readAll());
    EXPECT_FALSE(utf8.hasError());
    EXPECT_FALSE(text.contains(u'\r')) << "one line ending throughout";

    struct Case {
        int language;
        QString expected;
    };
    const Case cases[] = {
        {zv::LANG_GERMAN, QStringLiteral("Angaben zum Druckauftrag")},
        {zv::LANG_FRENCH, QStringLiteral("Détails du travail d'impression")},
        {zv::LANG_SPANISH, QStringLiteral("Detalles del trabajo de impresión")},
        {zv::LANG_ARABIC, QStringLiteral("تفاصيل مهمة الطباعة")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TSimpleTranslator::FromFile(LanguageFile, c.language)
                      .Translate(QStringLiteral("SPopupTitle"), QStringLiteral("default")),
                  c.expected)
            << c.language;
}

} // namespace
