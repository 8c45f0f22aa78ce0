// SPDX-License-Identifier: MIT
// The client's side of the popup server conversation: session key exchange, job registration,
// question descriptors and the look-ups the dialogs make. The look-ups return their results;
// the job start and the descriptors leave theirs in the fields below.
#pragma once

#include "CtrChain.h"
#include "PopupMessages.h"
#include "ProtocolSocket.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

using popup::THistoryItem;
using popup::THistoryList;
using popup::TQuestionDescriptor;

enum class TPopupVerb {
    GetPublicKey,
    SetSessionKey,
    InitNewJob,
    GetNextDescriptor,
    GetSqlList,
    GetSqlData,
    VerifyLastAnswers,
    ListRecentUserCodes,
    ListLastAnswers,
    FindUserCodes,
};

// The INITNEWJOB results (TransactionNumber, AllowLastAnswers, DmsDllConfig, the option flags,
// QuestionGroupName) are the fields of popup::TJobSettings.
class TPopupProtocol : public TProtocolSocket, public popup::TJobSettings {
public:
    TPopupProtocol();
    ~TPopupProtocol() override;

    void SetProtocolVersion(int version);
    QByteArray MakePacket(const QString &request) const;
    void CheckHeader(TProtocolSocket &sender, const QByteArray &header, int &responseSize,
                     bool &headerCorrect);
    // Validates and splits a response, then runs the verb's parser; false only when the
    // parser reports an end (no more descriptors, no more SQL rows).
    bool ProcessData(TPopupVerb kind, const QByteArray &response);

    void NegotiateSessionKey();
    void BC_InitNewJob(const QString &workstation, const QString &printServer,
                       const QString &spoolQueue, const QString &userName, const QString &document);
    void LoadDescriptors();
    bool BC_GetNextDescriptor(int transactionNumber);
    void BC_GetSQLList(const QString &statementName, const QString &firstLine,
                       const QString &secondLine, const QString &parameterValues);
    bool BC_GetSQLData(int sqlTransactionNumber);
    // Wipes the request and the answers argument after sending.
    void BC_VerifyLastAnswers(const QString &workstation, const QString &printServer,
                              const QString &spoolQueue, const QString &serverAndQueue,
                              const QString &userName, const QString &document,
                              const QString &questionNames, QString &answers);
    TCostCenterList BC_ListRecentUserCodes(const QString &userName, const QString &category,
                                           const QString &parentCode, int maximum);
    TCostCenterList BC_FindUserCodes(const QString &userName, const QString &category,
                                     const QString &pattern, const QString &parentCode,
                                     int maximum);
    // Asks the server only while History is empty; the answer is kept until ClearHistory.
    TCostCenterHistory BC_ListLastAnswers(const QString &userName, const QString &category,
                                          int maximum);
    void ClearHistory();
    const QStringList &SqlData() const { return m_sqlData; }

    // Framing
    QByteArray HeaderPrefix;
    bool EncryptionOn = false;
    TCtrChain::SessionKey SessionKey{};
    QString EncryptedSessionKey;
    int ServerVersion = 0;

    // GETNEXTDESCRIPTOR
    QList<TQuestionDescriptor> Descriptors;
    // Context of descriptor parsing: the sign-up session user replaces "staticusername".
    QString SignUpUserName;

    // Look-ups
    int SqlTransactionNumber = -1;
    bool LastAnswersValid = false;
    int CountCombinations = 0;
    int CountCategories = 0;
    THistoryList History;

private:
    QByteArray Exchange(const QString &verb, const QStringList &fields);
    popup::TResponse Split(const QByteArray &response);
    popup::TDescriptorContext DescriptorContext() const;
    TCtrChain &SessionChain() const;

    QStringList m_sqlData;
    // The codes of the last LISTRECENTUSERCODES or FINDUSERCODES answer.
    TCostCenterList m_userCodes;
    // The message cipher under SessionKey, keyed once rather than for every message; made
    // again when SessionKey changes.
    mutable std::unique_ptr<TCtrChain> m_chain;
    // Built once per LoadDescriptors: the user, locale and translation do not change mid-job.
    std::optional<popup::TDescriptorContext> m_descriptorContext;
};
