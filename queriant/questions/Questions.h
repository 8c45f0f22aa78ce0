// SPDX-License-Identifier: MIT
// Questions and question sets of one print job, and the small wide-string list the protocol
// parser fills. Answers of secure questions are only ever held encrypted.
#pragma once

#include "CostCenter.h"
#include "ZvError.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <pugixml.hpp>

#include <functional>

// A dialog's place in the job and the direction of travel.
enum TFormMode { fmFirst, fmMiddle, fmLast, fmSingle };
enum TWizardDirection { wdPrev, wdNext };

// Process-wide right-to-left layout, decided once at start-up.
bool RightToLeftLayout();
void SetRightToLeftLayout(bool on);

// Form-type keywords.
namespace FormType {
inline constexpr const char *String = "stringform";
inline constexpr const char *Integer = "integerform";
inline constexpr const char *Float = "floatform";
inline constexpr const char *Money = "moneyform";
inline constexpr const char *PhoneNumber = "phonenumberform";
inline constexpr const char *Button = "buttonform";
inline constexpr const char *Combo = "comboform";
inline constexpr const char *Radio = "radioform";
inline constexpr const char *List = "listform";
inline constexpr const char *SqlList = "sqllistform";
inline constexpr const char *CostCenter = "costcenterform";
inline constexpr const char *Balloon = "balloonform";
inline constexpr const char *Logon = "logonform";
inline constexpr const char *GuestCard = "guestcardform";
} // namespace FormType

class TQuestion {
public:
    TQuestion() = default;
    ~TQuestion();
    TQuestion(const TQuestion &) = delete;
    TQuestion &operator=(const TQuestion &) = delete;

    QString Name;
    QString Prompt;
    QString Description;
    quint32 Icon = 0;
    QByteArray FormType;
    qint32 MaxLength = 0;
    qint32 MinLength = 0;
    double ValidateMax = 0;
    double ValidateMin = 0;
    bool Mandatory = false;
    bool Confirm = false;
    bool SaveLastAnswerBit = false;
    bool AutoSelectSingle = false;
    bool SkipIfEmpty = false;
    QString DefaultAnswer;
    QByteArrayList Choices;
    QByteArrayList Captions;
    QByteArrayList SqlParameters;
    QString Code;
    QByteArray DmsValue;
    QByteArray AnswerDescription;
    bool Modified = false;
    QObject *SearchControl = nullptr;
    // The rows of the last cost-center look-up of this level, and the heading that came with
    // them; a cache until ClearLookupLists.
    TCostCenterList History;
    QByteArray GridHeader;
    std::function<void(TQuestion &)> OnChange;
    QByteArray SqlQuery;
    bool Skipped = false;
    pugi::xml_node XmlNode;
    quint8 SaveLastAnswerMode = 0;

    bool Secure() const { return m_secure; }
    void SetSecure(bool on);

    void SetAnswer(const QString &text);
    QString GetAnswer() const;
    void SetLastAnswer(const QString &text);
    QString GetLastAnswer() const;
    bool IsAnswerEmpty() const;
    void ResetAnswer();
    void ClearLookupLists();
    // What a dialog shows and validates for a secure, modified answer: a stand-in of the same
    // length and shape; the real answer otherwise.
    QString GetMaskedAnswer() const;

    // Sizes of the held encrypted slots, in bytes (for checks of the storage rule).
    qsizetype EncryptedAnswerSize() const { return m_answer.cipher.size(); }
    qsizetype EncryptedLastAnswerSize() const { return m_lastAnswer.cipher.size(); }
    bool PlainSlotsEmpty() const {
        return m_answer.plain.isEmpty() && m_lastAnswer.plain.isEmpty();
    }

private:
    // One answer: plain text, or ciphertext with its length in UTF-16 units when secure.
    struct TAnswerSlot {
        QString plain;
        QByteArray cipher;
        qint32 length = 0;

        void store(const QString &text, bool secure);
        QString load(bool secure) const;
        void wipe();
    };

    QString maskedNumber() const;
    QString maskedDecimal() const;

    bool m_secure = false;
    TAnswerSlot m_answer;
    TAnswerSlot m_lastAnswer;
};

class TQuestionSet {
public:
    QByteArray Name;
    QByteArray FormType;
    QList<TQuestion *> Questions;
    QByteArrayList QuestionNames;
    QByteArray Caption;
    QByteArray Title;
    quint8 SkipState = 0;

    int Count() const { return int(Questions.size()); }
    TQuestion *Question(int i) const;
    TQuestion *First() const;
    TQuestion *Last() const;
    bool IsLast(const TQuestion *q) const;
    TQuestion *Next(const TQuestion *q) const;
    TQuestion *Prev(const TQuestion *q) const;
    int IndexOf(const TQuestion *q) const;
    void Add(TQuestion *q);
    TQuestion *FindByName(const QString &name) const;
    bool HasAllNamedQuestions() const;
    TQuestion *FindBySearchControl(const QObject *control) const;
    bool AllAnswered() const;
    bool AllMandatory() const;
    bool AllAutoSelectSingle() const;
    bool AllHaveDmsValue() const;
    void ClearDmsValues();
    bool AllSkipped() const;
    void SetSkipped(bool value);
    QString SummaryText() const;
};

class TWideStrings {
public:
    int Add(const QString &text);
    int Count() const { return int(m_items.size()); }
    QString Get(int index) const;
    // Replaces an entry, or appends when index equals Count.
    void Put(int index, const QString &text);

private:
    QStringList m_items;
};
