// SPDX-License-Identifier: MIT
// The popup message format and the parsers of every verb's response, as pure functions over
// bytes and fields so that they can be tested and fuzzed without a connection.
#pragma once

#include "CostCenter.h"
#include "CtrChain.h"
#include "ZvError.h"

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

class EPopupProtocolError : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

// Arabic question text that the display cannot show; the client shell reacts to this class.
class EArabicLanguageException : public EPopupProtocolError {
public:
    using EPopupProtocolError::EPopupProtocolError;
};

namespace popup {

constexpr int HeaderSize = 19;
constexpr int ProtocolVersion = 1005;
constexpr int MaxMessageSize = 999999;
constexpr char Separator = '\x0C';

// "ZVPOPUP", the version in decimal, 0x0C.
QByteArray HeaderPrefix(int version);
// Verb, 0x0C, then every field followed by 0x0C.
QString RequestText(const QString &verb, const QStringList &fields);
// Header and body; with a key the body is padded (PKCS #7) and encrypted in place.
// Throws when the message would not fit the six-digit length field.
QByteArray MakePacket(const QByteArray &prefix, const QString &request,
                      const TCtrChain::SessionKey *key);
// The same with a chain kept for a connection's messages: each message starts it afresh from
// the zero vector, as a new chain would, without keying a new cipher.
QByteArray MakePacket(const QByteArray &prefix, const QString &request, TCtrChain &chain);
// The length field of a received header; false when the identifier is not ours.
bool CheckHeader(const QByteArray &header, int &responseSize);

struct TResponse {
    QStringList Fields;
    int ServerVersion = 0;
};
// Decrypts (with a key), unpads and splits a whole response message, checking its header.
TResponse SplitResponse(QByteArray response, const TCtrChain::SessionKey *key);
TResponse SplitResponse(QByteArray response, TCtrChain &chain);

// Lines separated by CR LF, CR or LF; an empty field gives no lines.
QStringList SplitLines(const QString &text);

// --- verb results -------------------------------------------------------------------------

struct TJobSettings {
    int TransactionNumber = -1;
    bool AllowLastAnswers = false;
    QString DmsDllConfig;
    bool AutoAdvance = false;
    bool AcceptDmsValue = false;
    bool HideShortcuts = false;
    bool SkipHistory = false;
    bool CostCenterMandatory = false;
    bool ShowAllCostcenters = false;
    QString QuestionGroupName;
};

// One question as the server describes it; the question manager builds its questions from it.
struct TQuestionDescriptor {
    QString Name;
    QString Prompt;
    QString Description;
    QString FormType;
    int MaxLength = 0;
    double ValidateMax = 0;
    double ValidateMin = 0;
    bool Mandatory = false;
    QString DefaultAnswer;
    QStringList Choices;  // list entries, the none entry first where it applies
    QStringList SqlLines; // statement parameters of an SQL list
    QString SqlStatement;
    int Options = 0;
    bool Secure = false;           // bit 0
    bool SkipIfEmpty = false;      // bit 1
    bool AutoSelectSingle = false; // bit 2
    bool ConfirmAnswer = false;    // bit 8
    int SaveLastAnswer = 0;        // bits 5 and 6: 0, 32 or 96
    QString Category;
};

// What parsing a descriptor needs from its surroundings.
struct TDescriptorContext {
    bool ArabicDisplayable = true;
    QLocale Locale = QLocale::c();
    QString NoneValue = QStringLiteral("<none>");
    QString SignUpUserName;
    QString ProcessUserName;
};

using ::TCostCenter;
using THistoryItem = TCostCenterList;
using THistoryList = QList<THistoryItem>;
using TLastAnswerHistory = TCostCenterHistory;

// Code points of the Arabic script blocks the dialogs cannot show without support.
bool ContainsArabicText(const QString &text);
// Whether text of the locale codeset can hold Arabic (UTF-8, ISO-8859-6, CP1256).
bool CodesetShowsArabic(const QByteArray &codeset);
// "staticusername" in any case becomes the sign-up user, else the process user (128 max).
QString ResolveDefaultAnswer(const QString &defaultAnswer, const QString &signUpUserName,
                             const QString &processUserName);

void ParseInitNewJob(const QStringList &fields, TJobSettings &job);
// False at the end marker; otherwise fills the descriptor.
bool ParseDescriptor(const QStringList &fields, const TDescriptorContext &context,
                     TQuestionDescriptor &question);
// The SQL transaction number.
int ParseSqlList(const QStringList &fields);
// False at the end of the rows; otherwise appends the chunk's lines.
bool ParseSqlData(const QStringList &fields, QStringList &rows);
bool ParseVerifyLastAnswers(const QStringList &fields);
void ParseListRecentUserCodes(const QStringList &fields, QStringList &codes,
                              QStringList &descriptions);
void ParseFindUserCodes(const QStringList &fields, QStringList &codes, QStringList &descriptions);
void ParseListLastAnswers(const QStringList &fields, TLastAnswerHistory &result);
void ParsePublicKey(const QStringList &fields, QString &modulus, QString &exponent);
void ParseSetSessionKey(const QStringList &fields);

} // namespace popup
