// SPDX-License-Identifier: MIT
#include "LogonQuestionFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"
#include "FormLook.h"
#include "JAWS.h"
#include "QuestionManager.h"
#include "ResourceStrings.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>

namespace {

constexpr int RowTops[TLogonQuestionForm::RowCount] = {104, 160, 216};
constexpr int EditLeft = 160;
constexpr int ConfirmOffset = 24;

} // namespace

TLogonQuestionForm::TLogonQuestionForm(QWidget *parent) : TQuestionForm(parent) {
    setObjectName(QStringLiteral("LogonQuestionForm"));
    QuestionLbl->hide();
    Layout().SetWidth(ErrorLbl, 378);
    for (int row = 0; row < RowCount; ++row) {
        const QString n = QString::number(row + 1);
        auto *prompt = new TAlignLabel(MainPanel);
        prompt->setObjectName(QStringLiteral("Prompt%1Lbl").arg(n));
        prompt->setPen(Qt::NoPen);
        prompt->setMargin(0);
        prompt->setVAlign(vtMiddle);
        prompt->hide();
        Layout().Place(prompt, QRect(16, RowTops[row], 137, 21));

        auto *edit = new TAnswerEdit(MainPanel);
        edit->setObjectName(QStringLiteral("AnswerEdit%1").arg(n));
        edit->hide();
        Layout().Place(edit, QRect(EditLeft, RowTops[row], 193, 21));
        auto *confirm = new TAnswerEdit(MainPanel);
        confirm->setObjectName(QStringLiteral("AnswerEdit%1B").arg(n));
        confirm->hide();
        Layout().Place(confirm, QRect(EditLeft, RowTops[row] + ConfirmOffset, 193, 21));

        auto *description = new TAlignLabel(MainPanel);
        description->setObjectName(QStringLiteral("Description%1Lbl").arg(n));
        description->setPen(Qt::NoPen);
        description->setWordWrap(true);
        FormLook::SetTextColor(description, FormLook::DescriptionColor());
        description->hide();
        Layout().Place(description, QRect(369, RowTops[row], 157, 48), akLeft | akTop | akRight);

        PromptLbl[row] = prompt;
        AnswerEditRow[row] = edit;
        AnswerEditRowB[row] = confirm;
        DescriptionRowLbl[row] = description;

        connect(edit, &QLineEdit::textChanged, this, [this, row] { rowChanged(row); });
        connect(edit, &TAnswerEdit::focused, this, [this, row, edit] { rowFocused(row, edit); });
        connect(confirm, &TAnswerEdit::focused, this,
                [this, row, confirm] { rowFocused(row, confirm); });
        edit->KeyFilter = [this, row](QKeyEvent *e) { return rowKey(row, false, e); };
        if (row < RowCount - 1)
            confirm->KeyFilter = [this, row](QKeyEvent *e) { return rowKey(row, true, e); };
    }
}

void TLogonQuestionForm::PresentQuestions() {
    TQuestionForm::PresentQuestions();
    DescriptionLbl->hide();
    m_rightEdge = 0;
    if (FirstQuestionToAsk() >= 0 && FirstQuestionToAsk() < RowCount)
        SetFocusToControl(AnswerEditRow[FirstQuestionToAsk()]);
    for (int row = 0; row < RowCount && row < QuestionSet()->Count(); ++row)
        setUpRow(row, *QuestionSet()->Question(row));

    const int left = m_rightEdge + 16;
    const int descriptionWidth = width() - left - 8;
    for (TAlignLabel *description : DescriptionRowLbl) {
        QRect r = Layout().Rect(description);
        r.setLeft(left);
        r.setWidth(descriptionWidth);
        Layout().SetRect(description, r);
    }
    if (RightToLeftLayout()) {
        qApp->setLayoutDirection(Qt::RightToLeft);
        ApplyRightToLeft();
        for (int row = 0; row < RowCount; ++row) {
            PromptLbl[row]->setAlignment(taRightJustify);
            DescriptionRowLbl[row]->setAlignment(taRightJustify);
        }
    }
    describeRows();
    JawsWriteScreen(TJawsScreen::Logon, TitleLbl->caption());
}

void TLogonQuestionForm::setUpRow(int row, TQuestion &question) {
    if (QuestionSet()->FormType != FormType::Logon)
        throw zv::ZvError(LoadResString(Res::Ex_DataTypeMustBeString));
    PromptLbl[row]->setCaption(question.Prompt);
    PromptLbl[row]->show();
    DescriptionRowLbl[row]->setCaption(question.Description);
    if (!QuestionSet()->Caption.isEmpty())
        TitleLbl->setCaption(QuestionLbl->caption());

    TAnswerEdit *edit = AnswerEditRow[row];
    if (question.Secure())
        edit->setEchoMode(QLineEdit::Password);
    edit->setText(question.Modified ? question.GetMaskedAnswer() : question.DefaultAnswer);
    if (question.MaxLength > 0)
        edit->setMaxLength(question.MaxLength);
    const int tenW = QFontMetrics(edit->font()).horizontalAdvance(QStringLiteral("WWWWWWWWWW"));
    const int editWidth = std::min(tenW * (question.MaxLength / 10 + 1), 193);
    Layout().SetWidth(edit, editWidth);
    m_rightEdge = std::max(m_rightEdge, EditLeft + editWidth);
    edit->show();

    if (question.Confirm) {
        TAnswerEdit *confirm = AnswerEditRowB[row];
        confirm->setMaxLength(edit->maxLength());
        Layout().SetWidth(confirm, editWidth);
        confirm->setText(edit->text());
        confirm->setEchoMode(edit->echoMode());
        confirm->setVisible(edit->isVisibleTo(this));
    }
    if (!FocusToControl())
        SetFocusToControl(edit);
}

void TLogonQuestionForm::rowChanged(int row) {
    if (!QuestionSet() || row >= QuestionSet()->Count())
        return;
    TQuestion *question = QuestionSet()->Question(row);
    if (!Loading() || question->IsAnswerEmpty())
        question->SetAnswer(AnswerEditRow[row]->text());
    if (QuestionManager())
        QuestionManager()->NotifyActivity();
}

void TLogonQuestionForm::rowFocused(int row, TAnswerEdit *edit) {
    for (int i = 0; i < RowCount; ++i)
        DescriptionRowLbl[i]->setVisible(i == row);
    writeControl(edit->objectName(), PromptLbl[row]->caption());
}

void TLogonQuestionForm::focusRowOrFinish(int row) {
    if (QuestionSet()->Count() < row + 2)
        NextBtnClick();
    else
        AnswerEditRow[row + 1]->setFocus(Qt::OtherFocusReason);
}

bool TLogonQuestionForm::rowKey(int row, bool confirm, QKeyEvent *event) {
    if (!IsEnterKey(event) || !QuestionManager() || !QuestionSet())
        return false;
    const TQuestion *question = QuestionSet()->Question(row);
    if (!confirm && question && question->Confirm)
        AnswerEditRowB[row]->setFocus(Qt::OtherFocusReason);
    else
        focusRowOrFinish(row);
    return true;
}

bool TLogonQuestionForm::ValidateAnswers() {
    bool result = TQuestionForm::ValidateAnswers();
    const int rows = std::min(RowCount, QuestionSet()->Count());
    bool missing = false;
    for (int row = 0; row < rows && !missing; ++row) {
        const TQuestion *question = QuestionSet()->Question(row);
        if (question->Mandatory && question->IsAnswerEmpty()) {
            missing = true;
            SetFocusToControl(AnswerEditRow[row]);
        }
    }
    if (missing) {
        SetErrorText(LoadResString(Res::SValidation_Mandatory));
        FocusToControl()->setFocus(Qt::OtherFocusReason);
        result = false;
    } else {
        bool differ = false;
        for (int row = 0; row < rows; ++row) {
            if (QuestionSet()->Question(row)->Confirm &&
                AnswerEditRow[row]->text() != AnswerEditRowB[row]->text()) {
                SetFocusToControl(AnswerEditRowB[row]);
                differ = true;
            }
        }
        if (differ) {
            SetErrorText(LoadResString(Res::SValidation_Confirm));
            FocusToControl()->setFocus(Qt::OtherFocusReason);
            result = false;
        }
    }
    writeControl(QString(), QString());
    return result;
}

void TLogonQuestionForm::writeControl(const QString &name, const QString &prompt) {
    JawsWriteControl(TJawsScreen::Logon, name, prompt, ErrorText());
}

void TLogonQuestionForm::describeRows() {
    const QString error = ErrorText();
    for (int row = 0; row < RowCount; ++row) {
        QString description = DescriptionRowLbl[row]->caption();
        if (!error.isEmpty())
            description = description.isEmpty() ? error : description + QLatin1Char('\n') + error;
        const bool required = QuestionSet() && row < QuestionSet()->Count() &&
                              QuestionSet()->Question(row)->Mandatory;
        for (TAnswerEdit *edit : {AnswerEditRow[row], AnswerEditRowB[row]})
            DescribeControl(edit, PromptLbl[row]->caption(), description, required);
    }
}

void TLogonQuestionForm::ErrorTextChanged() {
    if (AnswerEditRow[0])
        describeRows();
}
