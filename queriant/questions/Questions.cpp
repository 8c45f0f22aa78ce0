// SPDX-License-Identifier: MIT
#include "Questions.h"

#include "AesUse.h"
#include "SecureWipe.h"
#include "Validate.h"
#include "ZvLocaleInfo.h"

#include <QLocale>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
std::atomic<bool> rightToLeft{false};

// A numeric stand-in never grows beyond what a double can express.
constexpr int MaxMaskDigits = 400;
} // namespace

bool RightToLeftLayout() {
    return rightToLeft.load();
}
void SetRightToLeftLayout(bool on) {
    rightToLeft.store(on);
}

// ---- TQuestion -------------------------------------------------------------------------------

void TQuestion::TAnswerSlot::store(const QString &text, bool secure) {
    if (!secure) {
        plain = text;
        return;
    }
    cipher = TAesUse::EncryptWide(text);
    length = qint32(text.size());
    zv::SecureWipe(plain);
}

QString TQuestion::TAnswerSlot::load(bool secure) const {
    if (!secure)
        return plain;
    if (cipher.isEmpty())
        return QString();
    return TAesUse::DecryptWide(cipher, length);
}

void TQuestion::TAnswerSlot::wipe() {
    zv::SecureWipe(plain);
    zv::SecureWipe(cipher);
    length = 0;
}

TQuestion::~TQuestion() {
    m_answer.wipe();
    m_lastAnswer.wipe();
}

void TQuestion::SetAnswer(const QString &text) {
    QString current = GetAnswer();
    const bool changed = current != text;
    zv::SecureWipe(current);
    if (!changed)
        return;
    m_answer.store(text, m_secure);
    Modified = true;
    if (OnChange)
        OnChange(*this);
}

QString TQuestion::GetAnswer() const {
    return m_answer.load(m_secure);
}

void TQuestion::SetLastAnswer(const QString &text) {
    m_lastAnswer.store(text, m_secure);
}

QString TQuestion::GetLastAnswer() const {
    return m_lastAnswer.load(m_secure);
}

bool TQuestion::IsAnswerEmpty() const {
    return m_secure ? m_answer.length == 0 : m_answer.plain.isEmpty();
}

void TQuestion::SetSecure(bool on) {
    if (on == m_secure)
        return;
    if (on) {
        // Move the plain texts into the encrypted slots; store() encrypts before it wipes the
        // plain text it was given, so passing the slot's own text is safe.
        m_secure = true;
        if (!m_answer.plain.isEmpty())
            m_answer.store(m_answer.plain, true);
        if (!m_lastAnswer.plain.isEmpty())
            m_lastAnswer.store(m_lastAnswer.plain, true);
        return;
    }
    const QString answer = GetAnswer();
    const QString lastAnswer = GetLastAnswer();
    m_secure = false;
    m_answer.wipe();
    m_lastAnswer.wipe();
    m_answer.plain = answer;
    m_lastAnswer.plain = lastAnswer;
}

void TQuestion::ResetAnswer() {
    m_answer.plain = DefaultAnswer;
    AnswerDescription.clear();
    Modified = false;
}

void TQuestion::ClearLookupLists() {
    History.clear();
}

namespace {

QString onePlusZeros(int length) {
    return QStringLiteral("1") + QString(qMax(0, length - 1), u'0');
}

} // namespace

QString TQuestion::maskedNumber() const {
    QString text = onePlusZeros(m_answer.length);
    if (FormType != FormType::Integer)
        return text;
    const double value = std::pow(10.0, m_answer.length - 1);
    if (value < ValidateMin) {
        if (value * 10 > ValidateMax)
            text = zv::formatNumber(std::trunc(ValidateMax), 'f', 0, NumberLocale());
        else
            text += u'0';
    }
    return text;
}

QString TQuestion::maskedDecimal() const {
    const QLocale locale = NumberLocale();
    const QString separator = zv::decimalSeparator(locale);
    const int length = m_answer.length;
    int places = MaxLength;
    if (length < places + 2)
        places = length - 2;
    places = qMax(0, places);
    QString text = onePlusZeros(length);
    if (places > 0)
        text.replace(text.size() - places - 1, 1, separator);
    bool ok = false;
    double value = locale.toDouble(text, &ok);
    while (ok && value < ValidateMin && text.size() < MaxMaskDigits) {
        text.prepend(u'1');
        value = locale.toDouble(text, &ok);
    }
    if (ok && value > ValidateMax) {
        text = zv::formatNumber(ValidateMax, 'g', 15, locale);
        if (!text.contains(separator) && places > 0)
            text += separator + QString(MaxLength, u'0');
    }
    return text;
}

QString TQuestion::GetMaskedAnswer() const {
    if (!m_secure || !Modified)
        return GetAnswer();
    // A cleared answer stays empty, so a mandatory check still sees it.
    if (m_answer.length == 0)
        return QString();
    if (FormType == FormType::String || FormType == FormType::Logon)
        return QString(m_answer.length, u'*');
    if (FormType == FormType::Integer || FormType == FormType::PhoneNumber)
        return maskedNumber();
    if (FormType == FormType::Float || FormType == FormType::Money)
        return maskedDecimal();
    return GetAnswer();
}

// ---- TQuestionSet ----------------------------------------------------------------------------

TQuestion *TQuestionSet::Question(int i) const {
    return i >= 0 && i < Count() ? Questions.at(i) : nullptr;
}

TQuestion *TQuestionSet::First() const {
    return Questions.isEmpty() ? nullptr : Questions.first();
}

TQuestion *TQuestionSet::Last() const {
    return Questions.isEmpty() ? nullptr : Questions.last();
}

bool TQuestionSet::IsLast(const TQuestion *q) const {
    return q && q == Last();
}

TQuestion *TQuestionSet::Next(const TQuestion *q) const {
    const int i = IndexOf(q);
    return i < 0 ? nullptr : Question(i + 1);
}

TQuestion *TQuestionSet::Prev(const TQuestion *q) const {
    const int i = IndexOf(q);
    return i <= 0 ? nullptr : Question(i - 1);
}

int TQuestionSet::IndexOf(const TQuestion *q) const {
    return int(Questions.indexOf(const_cast<TQuestion *>(q)));
}

void TQuestionSet::Add(TQuestion *q) {
    if (q && IndexOf(q) < 0)
        Questions.append(q);
}

TQuestion *TQuestionSet::FindByName(const QString &name) const {
    for (TQuestion *q : Questions) {
        if (q->Name.compare(name, Qt::CaseInsensitive) == 0)
            return q;
    }
    return nullptr;
}

bool TQuestionSet::HasAllNamedQuestions() const {
    for (const QByteArray &name : QuestionNames) {
        if (!FindByName(QString::fromUtf8(name)))
            return false;
    }
    return true;
}

TQuestion *TQuestionSet::FindBySearchControl(const QObject *control) const {
    for (TQuestion *q : Questions) {
        if (q->SearchControl == control)
            return q;
    }
    return nullptr;
}

bool TQuestionSet::AllAnswered() const {
    return std::none_of(Questions.begin(), Questions.end(),
                        [](const TQuestion *q) { return q->IsAnswerEmpty(); });
}

bool TQuestionSet::AllMandatory() const {
    return std::all_of(Questions.begin(), Questions.end(),
                       [](const TQuestion *q) { return q->Mandatory; });
}

bool TQuestionSet::AllAutoSelectSingle() const {
    return std::all_of(Questions.begin(), Questions.end(),
                       [](const TQuestion *q) { return q->AutoSelectSingle; });
}

bool TQuestionSet::AllHaveDmsValue() const {
    return std::none_of(Questions.begin(), Questions.end(),
                        [](const TQuestion *q) { return q->DmsValue.isEmpty(); });
}

void TQuestionSet::ClearDmsValues() {
    for (TQuestion *q : Questions)
        q->DmsValue.clear();
}

bool TQuestionSet::AllSkipped() const {
    return std::all_of(Questions.begin(), Questions.end(),
                       [](const TQuestion *q) { return q->Skipped; });
}

void TQuestionSet::SetSkipped(bool value) {
    for (TQuestion *q : Questions)
        q->Skipped = value;
}

QString TQuestionSet::SummaryText() const {
    const bool rtl = RightToLeftLayout();
    QStringList entries;
    for (int k = 0; k < Count(); ++k) {
        const TQuestion *q = Questions.at(rtl ? Count() - 1 - k : k);
        QString answer = q->GetAnswer();
        if (answer.isEmpty())
            break;
        const QString description = QString::fromUtf8(q->AnswerDescription);
        if (description.isEmpty())
            entries.append(answer);
        else if (rtl)
            entries.append(description + u' ' + answer);
        else
            entries.append(answer + u' ' + description);
        zv::SecureWipe(answer);
    }
    return entries.join(rtl ? QStringLiteral(" \\ ") : QStringLiteral(" / "));
}

// ---- TWideStrings ----------------------------------------------------------------------------

int TWideStrings::Add(const QString &text) {
    m_items.append(text);
    return Count() - 1;
}

QString TWideStrings::Get(int index) const {
    return index >= 0 && index < Count() ? m_items.at(index) : QString();
}

void TWideStrings::Put(int index, const QString &text) {
    if (index < 0 || index > Count())
        throw zv::ZvError(QStringLiteral("WideString index out of bounds"));
    if (index == Count())
        m_items.append(text);
    else
        m_items[index] = text;
}
