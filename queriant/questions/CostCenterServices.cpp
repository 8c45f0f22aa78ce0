// SPDX-License-Identifier: MIT
#include "CostCenterServices.h"

#include "QuestionManager.h"
#include "ResourceStrings.h"
#include "ServerLookups.h"
#include "ShortCutManager.h"

#include <algorithm>

QString FormatResText(const QString &format, const QStringList &args) {
    QString result;
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size()) {
            const QChar kind = format.at(i + 1).toLower();
            if (kind == u's' || kind == u'd') {
                result += args.value(next++);
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

bool TQuestionManager::HasServerLookups() const {
    return m_source && m_source->ServerLookups();
}

QString TQuestionManager::DocumentName() const {
    return HasServerLookups() ? lookups().JobDetails().Document : QString();
}

TServerLookups &TQuestionManager::lookups() const {
    TServerLookups *lookups = m_source ? m_source->ServerLookups() : nullptr;
    if (!lookups)
        throw zv::ZvError(QStringLiteral("Server look-ups exist only in popup server jobs"));
    return *lookups;
}

namespace {

QString answerOf(const TQuestion *question) {
    return question ? question->GetAnswer() : QString();
}

} // namespace

const TCostCenterList &TQuestionManager::LoadHistory(TQuestion &question,
                                                     const TQuestion *previous) {
    TServerLookups &server = lookups();
    if (question.History.isEmpty()) {
        question.History = server.ListRecentUserCodes(question.Code, answerOf(previous), 25);
        question.GridHeader =
            FormatResText(LoadResString(Res::SHistoryGridHeader), {question.Code}).toUtf8();
    }
    NotifyActivity();
    return question.History;
}

const TCostCenterList &TQuestionManager::SearchCostCenters(TQuestion &question,
                                                           const QString &searchText,
                                                           const TQuestion *previous) {
    TServerLookups &server = lookups();
    if (question.History.isEmpty()) {
        QString pattern = searchText;
        pattern.replace(u'*', u'%');
        question.History = server.FindUserCodes(question.Code, pattern, answerOf(previous), 100);
        QString header;
        if (searchText.isEmpty()) {
            header = FormatResText(LoadResString(Res::SAllCategoriesHeader), {question.Code});
        } else {
            const QString shown = searchText.contains(u'*') ? searchText : searchText + u'*';
            header = FormatResText(LoadResString(Res::SMatchingCategoriesHeader),
                                   {question.Code, shown});
        }
        question.GridHeader = header.toUtf8();
    }
    NotifyActivity();
    return question.History;
}

TCostCenterHistory TQuestionManager::ListLastAnswers(const TQuestionSet &set) {
    TServerLookups &server = lookups();
    return server.ListLastAnswers(set.First() ? set.First()->Code : QString(), 25);
}

bool TQuestionManager::CheckCostCenters(TQuestionSet &set, bool checkOnly) {
    TServerLookups &server = lookups();
    const TQuestion *previous = nullptr;
    for (TQuestion *question : set.Questions) {
        TCostCenterList found =
            server.FindUserCodes(question->Code, QStringLiteral("%"), answerOf(previous), 2);
        if (found.size() != 1) {
            NotifyActivity();
            return false;
        }
        if (!checkOnly) {
            question->SetAnswer(found.first().Code);
            question->AnswerDescription = found.first().Description.toUtf8();
            question->History = std::move(found);
        }
        NotifyActivity();
        previous = question;
    }
    return true;
}

bool TQuestionManager::NoCostCentersAvailable(const TQuestionSet &set) {
    TServerLookups &server = lookups();
    if (m_options.CostCenterMandatory || set.Count() == 0)
        return false;
    return server.FindUserCodes(set.First()->Code, QStringLiteral("%"), QString(), 1).isEmpty();
}

void TQuestionManager::RefreshSqlList(TQuestion *question) {
    if (!question) {
        NotifyActivity();
        return;
    }
    TServerLookups &server = lookups();
    if (question->FormType != FormType::SqlList)
        throw zv::ZvError(
            QStringLiteral("Question is not of type dtSQLList. Can not refresh SQL data"));
    const QByteArrayList &lines = question->SqlParameters;
    if (lines.isEmpty())
        throw zv::ZvError(
            QStringLiteral("SQL Question Parameters returned with missing parameters"));
    const QString first = QString::fromUtf8(lines[0]);
    const QString second = lines.size() >= 2 ? QString::fromUtf8(lines[1]) : QString();
    const qsizetype namesFrom = lines.size() >= 2 ? 2 : 1;

    const TJobDetails details = server.JobDetails();
    QString values;
    for (qsizetype i = namesFrom; i < lines.size(); ++i) {
        const QString name = QString::fromUtf8(lines[i]);
        const QString key = name.toLower();
        if (key == QLatin1String("staticspoolqueue")) {
            values += details.OmbrelServer + u',' + details.SpoolQueue;
        } else if (key == QLatin1String("staticjobname")) {
            values += details.Document;
        } else if (key == QLatin1String("staticusername")) {
            values += GetUserName();
        } else if (key == QLatin1String("staticworkstn")) {
            values += details.WorkStation;
        } else {
            const auto found =
                std::find_if(FQuestionList.begin(), FQuestionList.end(), [&](const auto &q) {
                    return q->Name.compare(name, Qt::CaseInsensitive) == 0;
                });
            if (found == FQuestionList.end())
                throw zv::ZvError(
                    QStringLiteral("Parameter from Question for %1 is not found").arg(name));
            values += (*found)->GetAnswer();
            if ((*found)->Modified)
                question->SetAnswer(QString());
        }
        values += u'\r';
    }
    const QStringList rows =
        server.GetSqlList(QString::fromUtf8(question->SqlQuery), first, second, values.trimmed());
    question->Choices.clear();
    for (const QString &row : rows)
        question->Choices.append(row.toUtf8());
    if (!question->Mandatory)
        question->Choices.prepend("<none>");
    NotifyActivity();
}

void TQuestionManager::ValidateSelection(const TQuestionSet &set) {
    TShortCutManager &store = ShortCutManager();
    TShortCutDef selection;
    selection.SetName(LoadResString(Res::SSelectionText).toUtf8());
    QByteArrayList codes;
    for (const TQuestion *question : set.Questions)
        codes.append(question->GetAnswer().toUtf8());
    selection.SetCodes(codes);
    store.ValidateShortcut(selection, set);
}

TShortCutManager &TQuestionManager::ShortCutManager() {
    return lookups().ShortCutManager();
}

void TQuestionManager::ValidateShortcut(TShortCutDef &shortcut, const TQuestionSet &set) {
    ShortCutManager().ValidateShortcut(shortcut, set);
}
