// SPDX-License-Identifier: MIT
#include "CostCenterServices.h"

#include "PopupServerJob.h"
#include "QuestionManager.h"
#include "ResourceStrings.h"

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

TPopupServerJob &PopupServerJobOf(const TQuestionManager &manager) {
    auto *job = dynamic_cast<TPopupServerJob *>(manager.JobSource());
    if (!job)
        throw zv::ZvError(QStringLiteral("Server look-ups exist only in popup server jobs"));
    return *job;
}

namespace {

QString answerOf(const TQuestion *question) {
    return question ? question->GetAnswer() : QString();
}

void takeCodes(TQuestion &question, const TPopupProtocol &protocol) {
    question.HistoryCodes.clear();
    question.HistoryDescriptions.clear();
    for (const QString &code : protocol.UserCodes)
        question.HistoryCodes.append(code.toUtf8());
    for (const QString &description : protocol.UserCodeDescriptions)
        question.HistoryDescriptions.append(description.toUtf8());
}

} // namespace

void TQuestionManager::LoadHistory(TQuestion &question, const TQuestion *previous) {
    TPopupServerJob &job = PopupServerJobOf(*this);
    if (question.HistoryCodes.isEmpty()) {
        job.Protocol().BC_ListRecentUserCodes(GetUserName(), question.Code, answerOf(previous), 25);
        takeCodes(question, job.Protocol());
        question.GridHeader =
            FormatResText(LoadResString(Res::SHistoryGridHeader), {question.Code}).toUtf8();
    }
    NotifyActivity();
}

void TQuestionManager::SearchCostCenters(TQuestion &question, const QString &searchText,
                                         const TQuestion *previous) {
    TPopupServerJob &job = PopupServerJobOf(*this);
    if (question.HistoryCodes.isEmpty()) {
        QString pattern = searchText;
        pattern.replace(u'*', u'%');
        job.Protocol().BC_FindUserCodes(GetUserName(), question.Code, pattern, answerOf(previous),
                                        100);
        takeCodes(question, job.Protocol());
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
}

bool TQuestionManager::CheckCostCenters(TQuestionSet &set, bool checkOnly) {
    TPopupProtocol &protocol = PopupServerJobOf(*this).Protocol();
    const TQuestion *previous = nullptr;
    for (TQuestion *question : set.Questions) {
        protocol.BC_FindUserCodes(GetUserName(), question->Code, QStringLiteral("%"),
                                  answerOf(previous), 2);
        if (protocol.UserCodes.size() != 1) {
            NotifyActivity();
            return false;
        }
        if (!checkOnly) {
            takeCodes(*question, protocol);
            question->SetAnswer(protocol.UserCodes.first());
            question->AnswerDescription = protocol.UserCodeDescriptions.value(0).toUtf8();
        }
        NotifyActivity();
        previous = question;
    }
    return true;
}

bool TQuestionManager::NoCostCentersAvailable(const TQuestionSet &set) {
    TPopupProtocol &protocol = PopupServerJobOf(*this).Protocol();
    if (protocol.CostCenterMandatory || set.Count() == 0)
        return false;
    protocol.BC_FindUserCodes(GetUserName(), set.First()->Code, QStringLiteral("%"), QString(), 1);
    return protocol.UserCodes.isEmpty();
}

void TQuestionManager::RefreshSqlList(TQuestion *question) {
    if (!question) {
        NotifyActivity();
        return;
    }
    TPopupServerJob &job = PopupServerJobOf(*this);
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

    const TJobDetails &details = job.PrintDataManager()->JobDetails;
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
    job.Protocol().BC_GetSQLList(QString::fromUtf8(question->SqlQuery), first, second,
                                 values.trimmed());
    question->Choices.clear();
    for (const QString &row : job.Protocol().SqlData())
        question->Choices.append(row.toUtf8());
    if (!question->Mandatory)
        question->Choices.prepend("<none>");
    NotifyActivity();
}

void TQuestionManager::ValidateSelection(const TQuestionSet &set) {
    TPopupServerJob &job = PopupServerJobOf(*this);
    TShortCutDef selection;
    selection.SetName(LoadResString(Res::SSelectionText).toUtf8());
    QByteArrayList codes;
    for (const TQuestion *question : set.Questions)
        codes.append(question->GetAnswer().toUtf8());
    selection.SetCodes(codes);
    job.ShortCutManager().ValidateShortcut(selection, set);
}
