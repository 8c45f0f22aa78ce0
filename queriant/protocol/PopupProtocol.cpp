// SPDX-License-Identifier: MIT
#include "PopupProtocol.h"

#include "CryptRandom.h"
#include "Log.h"
#include "SecureWipe.h"
#include "SimpleTranslator.h"
#include "ZvWideWord.h"

#include <langinfo.h>
#include <pwd.h>
#include <unistd.h>

#include <utility>

namespace {

// A code without a description gets an empty one and extra descriptions are dropped; a server
// whose two lists differ in length (a description left out, a line break in a code) is named
// in the log, since the pairing it shows may then be off.
TCostCenterList pairUserCodes(const char *verb, const QStringList &codes,
                              const QStringList &descriptions) {
    if (!descriptions.isEmpty() && descriptions.size() != codes.size())
        LogError("%s answered %D codes and %D descriptions", verb, codes.size(),
                 descriptions.size());
    return PairCostCenters(codes, descriptions);
}

QString processUserName() {
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::fromLocal8Bit(qgetenv("USER"));
}

} // namespace

TPopupProtocol::TPopupProtocol() {
    HeaderSize = popup::HeaderSize;
    OnProcessHeader = [this](TProtocolSocket &sender, const QByteArray &header, int &size,
                             bool &correct) { CheckHeader(sender, header, size, correct); };
    SetProtocolVersion(popup::ProtocolVersion);
    TCryptRandom random;
    random.Fill(SessionKey.size(), SessionKey.data());
}

TPopupProtocol::~TPopupProtocol() {
    zv::SecureWipe(SessionKey.data(), SessionKey.size());
    History.clear();
}

void TPopupProtocol::SetProtocolVersion(int version) {
    HeaderPrefix = popup::HeaderPrefix(version);
}

TCtrChain &TPopupProtocol::SessionChain() const {
    bool current = m_chain != nullptr;
    for (int k = 0; current && k < TCtrChain::KeySize; ++k)
        current = m_chain->Key[k] == (SessionKey[k] ^ TCtrChain::KeyMask[k]);
    if (!current)
        m_chain = std::make_unique<TCtrChain>(SessionKey);
    return *m_chain;
}

QByteArray TPopupProtocol::MakePacket(const QString &request) const {
    LogInfo("Making %S Packet",
            QStringView(request).left(request.indexOf(QChar(popup::Separator))));
    if (!EncryptionOn)
        return popup::MakePacket(HeaderPrefix, request, nullptr);
    return popup::MakePacket(HeaderPrefix, request, SessionChain());
}

void TPopupProtocol::CheckHeader(TProtocolSocket &, const QByteArray &header, int &responseSize,
                                 bool &headerCorrect) {
    headerCorrect = popup::CheckHeader(header, responseSize);
}

popup::TResponse TPopupProtocol::Split(const QByteArray &response) {
    LogInfo("ProcessData length: %D", response.size());
    popup::TResponse split = EncryptionOn ? popup::SplitResponse(response, SessionChain())
                                          : popup::SplitResponse(response, nullptr);
    ServerVersion = split.ServerVersion;
    return split;
}

popup::TDescriptorContext TPopupProtocol::DescriptorContext() const {
    popup::TDescriptorContext context;
    context.ArabicDisplayable = popup::CodesetShowsArabic(QByteArray(nl_langinfo(CODESET)));
    context.Locale = QLocale::system();
    context.NoneValue = Translate(QStringLiteral("NONEVALUE"), QStringLiteral("<none>"));
    context.SignUpUserName = SignUpUserName;
    context.ProcessUserName = processUserName();
    return context;
}

bool TPopupProtocol::ProcessData(TPopupVerb kind, const QByteArray &response) {
    const popup::TResponse split = Split(response);
    const QStringList &fields = split.Fields;
    switch (kind) {
    case TPopupVerb::GetPublicKey: {
        QString modulus, exponent;
        popup::ParsePublicKey(fields, modulus, exponent);
        return true;
    }
    case TPopupVerb::SetSessionKey:
        popup::ParseSetSessionKey(fields);
        return true;
    case TPopupVerb::InitNewJob:
        popup::ParseInitNewJob(fields, *this);
        return true;
    case TPopupVerb::GetNextDescriptor: {
        TQuestionDescriptor question;
        if (!m_descriptorContext)
            m_descriptorContext = DescriptorContext();
        if (!popup::ParseDescriptor(fields, *m_descriptorContext, question))
            return false;
        Descriptors.append(question);
        return true;
    }
    case TPopupVerb::GetSqlList:
        SqlTransactionNumber = popup::ParseSqlList(fields);
        return true;
    case TPopupVerb::GetSqlData:
        return popup::ParseSqlData(fields, m_sqlData);
    case TPopupVerb::VerifyLastAnswers:
        LastAnswersValid = popup::ParseVerifyLastAnswers(fields);
        return true;
    case TPopupVerb::ListRecentUserCodes: {
        QStringList codes;
        QStringList descriptions;
        popup::ParseListRecentUserCodes(fields, codes, descriptions);
        m_userCodes = pairUserCodes("LISTRECENTUSERCODES", codes, descriptions);
        return true;
    }
    case TPopupVerb::FindUserCodes: {
        QStringList codes;
        QStringList descriptions;
        popup::ParseFindUserCodes(fields, codes, descriptions);
        m_userCodes = pairUserCodes("FINDUSERCODES", codes, descriptions);
        return true;
    }
    case TPopupVerb::ListLastAnswers: {
        popup::TLastAnswerHistory result;
        result.CountCombinations = CountCombinations;
        result.CountCategories = CountCategories;
        try {
            popup::ParseListLastAnswers(fields, result);
        } catch (...) {
            CountCombinations = result.CountCombinations;
            CountCategories = result.CountCategories;
            throw;
        }
        CountCombinations = result.CountCombinations;
        CountCategories = result.CountCategories;
        History = result.History;
        return true;
    }
    }
    return true;
}

QByteArray TPopupProtocol::Exchange(const QString &verb, const QStringList &fields) {
    return SendReceive(MakePacket(popup::RequestText(verb, fields)));
}

void TPopupProtocol::NegotiateSessionKey() {
    EncryptionOn = false;
    const QByteArray keyResponse = Exchange(QStringLiteral("GETPUBLICKEY"), {});
    if (keyResponse.size() >= popup::HeaderSize + 1) {
        const popup::TResponse split = Split(keyResponse);
        QString modulusHex, exponentHex;
        popup::ParsePublicKey(split.Fields, modulusHex, exponentHex);
        TZvWideWord modulus, exponent, value;
        modulus.AssignHex(modulusHex);
        exponent.AssignHex(exponentHex);
        value.AssignBytes(SessionKey.data(), static_cast<int>(SessionKey.size()));
        value.ModPow(exponent, modulus);
        EncryptedSessionKey = value.ToHex();
        zv::SecureWipe(value.Digits.data(), value.Digits.size());
    }
    const QByteArray setResponse = Exchange(QStringLiteral("SETSESSIONKEY"), {EncryptedSessionKey});
    if (setResponse.size() >= popup::HeaderSize + 1)
        ProcessData(TPopupVerb::SetSessionKey, setResponse);
    EncryptionOn = true;
}

void TPopupProtocol::BC_InitNewJob(const QString &workstation, const QString &printServer,
                                   const QString &spoolQueue, const QString &userName,
                                   const QString &document) {
    Descriptors.clear();
    ProcessData(TPopupVerb::InitNewJob,
                Exchange(QStringLiteral("INITNEWJOB"),
                         {workstation, printServer, spoolQueue, userName, document}));
}

void TPopupProtocol::LoadDescriptors() {
    m_descriptorContext.reset();
    while (BC_GetNextDescriptor(TransactionNumber)) {
    }
    m_descriptorContext.reset();
}

bool TPopupProtocol::BC_GetNextDescriptor(int transactionNumber) {
    return ProcessData(
        TPopupVerb::GetNextDescriptor,
        Exchange(QStringLiteral("GETNEXTDESCRIPTOR"), {QString::number(transactionNumber)}));
}

void TPopupProtocol::BC_GetSQLList(const QString &statementName, const QString &firstLine,
                                   const QString &secondLine, const QString &parameterValues) {
    m_sqlData.clear();
    SqlTransactionNumber = -1;
    ProcessData(TPopupVerb::GetSqlList,
                Exchange(QStringLiteral("GETSQLLIST"),
                         {statementName, firstLine, secondLine, parameterValues}));
    m_sqlData.clear();
    while (BC_GetSQLData(SqlTransactionNumber)) {
    }
}

bool TPopupProtocol::BC_GetSQLData(int sqlTransactionNumber) {
    return ProcessData(TPopupVerb::GetSqlData, Exchange(QStringLiteral("GETSQLDATA"),
                                                        {QString::number(sqlTransactionNumber)}));
}

void TPopupProtocol::BC_VerifyLastAnswers(const QString &workstation, const QString &printServer,
                                          const QString &spoolQueue, const QString &serverAndQueue,
                                          const QString &userName, const QString &document,
                                          const QString &questionNames, QString &answers) {
    LogInfo("BC_VerifyLastAnswers LastQuestions:%S", questionNames);
    QString request = popup::RequestText(QStringLiteral("VERIFYLASTANSWERS"),
                                         {workstation, printServer, spoolQueue, serverAndQueue,
                                          userName, document, questionNames, answers});
    QByteArray message = MakePacket(request);
    zv::SecureWipe(request);
    zv::SecureWipe(answers);
    QByteArray response;
    try {
        response = SendReceive(message);
    } catch (...) {
        zv::SecureWipe(message);
        throw;
    }
    zv::SecureWipe(message);
    ProcessData(TPopupVerb::VerifyLastAnswers, response);
}

TCostCenterList TPopupProtocol::BC_ListRecentUserCodes(const QString &userName,
                                                       const QString &category,
                                                       const QString &parentCode, int maximum) {
    m_userCodes.clear();
    ProcessData(TPopupVerb::ListRecentUserCodes,
                Exchange(QStringLiteral("LISTRECENTUSERCODES"),
                         {userName, category, parentCode, QString::number(maximum)}));
    return std::exchange(m_userCodes, {});
}

TCostCenterList TPopupProtocol::BC_FindUserCodes(const QString &userName, const QString &category,
                                                 const QString &pattern, const QString &parentCode,
                                                 int maximum) {
    m_userCodes.clear();
    ProcessData(TPopupVerb::FindUserCodes,
                Exchange(QStringLiteral("FINDUSERCODES"),
                         {userName, category, pattern, parentCode, QString::number(maximum)}));
    return std::exchange(m_userCodes, {});
}

TCostCenterHistory TPopupProtocol::BC_ListLastAnswers(const QString &userName,
                                                      const QString &category, int maximum) {
    if (History.isEmpty())
        ProcessData(TPopupVerb::ListLastAnswers,
                    Exchange(QStringLiteral("LISTLASTANSWERS"),
                             {userName, category, QString::number(maximum)}));
    return {CountCombinations, CountCategories, History};
}

void TPopupProtocol::ClearHistory() {
    History.clear();
}
