// SPDX-License-Identifier: MIT
#include "EntryQuestionFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"
#include "FormMessages.h"
#include "NumberEntry.h"
#include "QuestionManager.h"

#include <QKeyEvent>
#include <QLabel>

TEntryQuestionForm::TEntryQuestionForm(QWidget *parent, const char *formType,
                                       std::optional<TJawsScreen> screen)
    : TQuestionForm(parent), m_formType(formType), m_screen(screen) {
    AnswerEdit = new TAnswerEdit(MainPanel);
    AnswerEdit->setObjectName(QStringLiteral("AnswerEdit"));
    AnswerEditB = new TAnswerEdit(MainPanel);
    AnswerEditB->setObjectName(QStringLiteral("AnswerEditB"));
    AnswerEditB->hide();
    connect(AnswerEdit, &QLineEdit::textChanged, this, &TEntryQuestionForm::AnswerChanged);
    // Typing the confirmation is activity too (the phone dialog counts its key presses).
    connect(AnswerEditB, &QLineEdit::textChanged, this, [this] {
        if (m_confirmChangeIsActivity && QuestionManager())
            QuestionManager()->NotifyActivity();
    });
    AnswerEdit->KeyFilter = [this](QKeyEvent *e) { return HandleEnter(e, AnswerEdit); };
    AnswerEditB->KeyFilter = [this](QKeyEvent *e) { return HandleEnter(e, AnswerEditB); };
}

TQuestion *TEntryQuestionForm::Question() const {
    return QuestionSet() ? QuestionSet()->First() : nullptr;
}

void TEntryQuestionForm::PresentQuestions() {
    TQuestionForm::PresentQuestions();
    if (QuestionSet()->FormType != m_formType)
        throw zv::ZvError(DataTypeError());
    DescriptionLbl->setCaption(Question()->Description);
    SetFocusToControl(AnswerEdit);
    FillAnswerControls();
    if (RightToLeftLayout())
        ApplyRightToLeft();
    DescribeAnswerControls();
    if (m_screen)
        JawsWriteScreen(*m_screen, TitleLbl->caption());
}

QString TEntryQuestionForm::InitialText(const TQuestion &question) const {
    return question.Modified ? question.GetMaskedAnswer() : question.DefaultAnswer;
}

void TEntryQuestionForm::FillAnswerControls() {
    const TQuestion &question = *Question();
    if (question.Secure())
        AnswerEdit->setEchoMode(QLineEdit::Password);
    AnswerEdit->setText(InitialText(question));
    ShowConfirmEdit(question);
}

void TEntryQuestionForm::ShowConfirmEdit(const TQuestion &question) {
    if (!question.Confirm)
        return;
    QRect r = Layout().Rect(AnswerEditB);
    const QRect edit = Layout().Rect(AnswerEdit);
    r.moveLeft(edit.left());
    r.setWidth(edit.width());
    Layout().SetRect(AnswerEditB, r);
    AnswerEditB->setEchoMode(AnswerEdit->echoMode());
    AnswerEditB->setVisible(AnswerEdit->isVisibleTo(this));
    AnswerEditB->setText(AnswerEdit->text());
    AnswerEditB->setMaxLength(AnswerEdit->maxLength());
}

void TEntryQuestionForm::AnswerChanged() {
    TQuestion *question = Question();
    if (!question)
        return;
    if (m_clearErrorOnChange)
        SetErrorText(QString());
    if (!Loading())
        m_edited = true;
    if (!Loading() || m_storeWhileLoading || question->IsAnswerEmpty())
        question->SetAnswer(AnswerEdit->text());
    if (QuestionManager())
        QuestionManager()->NotifyActivity();
}

bool TEntryQuestionForm::HandleEnter(QKeyEvent *event, QWidget *edit) {
    if (!IsEnterKey(event) || !QuestionManager())
        return false;
    if (edit == AnswerEdit && Question() && Question()->Confirm)
        AnswerEditB->setFocus(Qt::OtherFocusReason);
    else
        NextBtnClick();
    return true;
}

void TEntryQuestionForm::WriteControl(const QString &controlName) {
    if (!m_screen)
        return;
    const QString prompt = controlName.isEmpty() ? QString() : QuestionCaption();
    JawsWriteControl(*m_screen, controlName, prompt, ErrorText());
}

QString TEntryQuestionForm::AccessibleDescription() const {
    const QString description = DescriptionLbl->caption();
    const QString error = ErrorText();
    if (error.isEmpty())
        return description;
    return description.isEmpty() ? error : description + QLatin1Char('\n') + error;
}

bool TEntryQuestionForm::Required() const {
    return Question() && Question()->Mandatory;
}

void TEntryQuestionForm::DescribeAnswerControls() {
    for (QWidget *edit : {static_cast<QWidget *>(AnswerEdit), static_cast<QWidget *>(AnswerEditB)})
        DescribeControl(edit, QuestionCaption(), AccessibleDescription(), Required());
}

void TEntryQuestionForm::ErrorTextChanged() {
    if (AnswerEdit)
        DescribeAnswerControls();
}

bool TEntryQuestionForm::FilterDecimalKey(QKeyEvent *event, TAnswerEdit *edit) {
    const QLocale locale;
    const QChar key = NumberKeyChar(TypedChar(event), locale);
    if (!key.isNull() &&
        !DecimalKeyAccepted(edit->text(), edit->cursorPosition(), edit->hasSelectedText(), key,
                            locale, Question()->MaxLength))
        return true;
    return InsertNumberKey(event, edit, key) || HandleEnter(event, edit);
}

bool TEntryQuestionForm::InsertNumberKey(QKeyEvent *event, TAnswerEdit *edit, QChar key) {
    if (key.isNull() || event->text() == QString(key))
        return false;
    edit->insert(QString(key));
    return true;
}

// The stored answer of a number that passed: without grouping and in the digits 0-9. A masked
// answer (the edit shows a substitute) is left alone.
void TEntryQuestionForm::StorePlainNumber(const QString &plain) {
    TQuestion &question = *Question();
    if (plain != AnswerEdit->text() && question.GetAnswer() == AnswerEdit->text())
        question.SetAnswer(plain);
}

bool TEntryQuestionForm::ValidateDecimal(bool rounding) {
    bool result = TQuestionForm::ValidateAnswers();
    TQuestion &question = *Question();
    const QLocale locale;
    const auto fail = [&](const QString &message) {
        SetErrorText(message);
        result = false;
    };
    if (question.Mandatory && AnswerEdit->text().trimmed().isEmpty()) {
        fail(LoadResString(Res::SValidation_Mandatory));
        UpdateScreenReader();
        return result;
    }
    const std::optional<QString> plain = PlainDecimalText(AnswerEdit->text(), locale);
    const auto value = plain ? ParseDecimal(*plain, locale) : std::nullopt;
    if (!value) {
        if (question.Mandatory || !AnswerEdit->text().isEmpty()) {
            fail(LoadResString(Res::SValidation_NotANumber));
            if (!rounding) {
                AnswerEdit->selectAll();
                AnswerEdit->setFocus(Qt::OtherFocusReason);
            }
        }
        UpdateScreenReader();
        return result;
    }
    StorePlainNumber(*plain);
    if (rounding && m_edited)
        AnswerEdit->setText(ShortestDecimal(*value, locale));
    if (question.MaxLength <= 0 && AnswerEdit->text().contains(locale.decimalPoint())) {
        // No decimals allowed: the amount is refused as typed, never cut or rounded.
        fail(LoadResString(Res::SValidation_NotInteger));
        AnswerEdit->selectAll();
        AnswerEdit->setFocus(Qt::OtherFocusReason);
    } else if (DecimalsAfterSeparator(AnswerEdit->text(), locale.decimalPoint()) <
               question.MinLength) {
        fail(MessageWithArgument(Res::SValidation_MinLength, QString::number(question.MinLength)));
    } else if (question.ValidateMin + question.ValidateMax != 0 && *value < question.ValidateMin) {
        fail(MessageWithArgument(Res::SValidation_Minimum,
                                 FormatHashDotHash(question.ValidateMin, locale)));
    } else if (question.ValidateMin + question.ValidateMax != 0 && *value > question.ValidateMax) {
        fail(MessageWithArgument(Res::SValidation_Maximum,
                                 FormatHashDotHash(question.ValidateMax, locale)));
    } else if (question.Confirm && AnswerEdit->text() != AnswerEditB->text()) {
        fail(LoadResString(Res::SValidation_Confirm));
    }
    if (rounding && m_edited)
        question.SetAnswer(ShortestDecimal(RoundHalfEven(*value, question.MaxLength), locale));
    UpdateScreenReader();
    return result;
}

void TEntryQuestionForm::SetUpDecimalEdits() {
    Layout().Place(AnswerEdit, QRect(70, 152, 121, 21));
    Layout().Place(AnswerEditB, QRect(70, 176, 121, 21));
    for (TAnswerEdit *edit : {AnswerEdit, AnswerEditB}) {
        edit->setText(QStringLiteral("0"));
        edit->KeyFilter = [this, edit](QKeyEvent *e) { return FilterDecimalKey(e, edit); };
        connect(edit, &TAnswerEdit::focused, this,
                [this, edit] { WriteControl(edit->objectName()); });
    }
    m_edited = false;
}

bool TEntryQuestionForm::ValidateStoredAnswer() {
    bool result = TQuestionForm::ValidateAnswers();
    const TQuestion &question = *Question();
    if (question.Mandatory && question.IsAnswerEmpty()) {
        SetErrorText(LoadResString(Res::SValidation_Mandatory));
        if (FocusToControl())
            FocusToControl()->setFocus(Qt::OtherFocusReason);
        result = false;
    } else if (question.Confirm && AnswerEdit->text() != AnswerEditB->text()) {
        SetErrorText(LoadResString(Res::SValidation_Confirm));
        result = false;
    }
    UpdateScreenReader();
    return result;
}
