// SPDX-License-Identifier: MIT
#include "StringQuestionFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"
#include "QuestionManager.h"
#include "ResourceStrings.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>

TStringQuestionForm::TStringQuestionForm(QWidget *parent)
    : TEntryQuestionForm(parent, FormType::String, TJawsScreen::String) {
    setObjectName(QStringLiteral("StringQuestionForm"));
    m_clearErrorOnChange = true;
    Layout().Place(AnswerEdit, QRect(70, 152, 193, 21));
    AnswerMemo = new TAnswerMemo(MainPanel);
    AnswerMemo->setObjectName(QStringLiteral("AnswerMemo"));
    AnswerMemo->hide();
    Layout().Place(AnswerMemo, QRect(70, 152, 321, 121), akLeft | akTop | akBottom);
    Layout().Place(AnswerEditB, QRect(70, 176, 193, 21));
    setTabOrder(AnswerEdit, AnswerMemo);
    setTabOrder(AnswerMemo, AnswerEditB);
    Layout().SetRect(DescriptionLbl, QRect(70, 63, 427, 50));
    // The question sits under the description, just above the answer.
    Layout().SetRect(QuestionLbl, QRect(70, 114, 427, 34));

    AnswerMemo->KeyFilter = [this](QKeyEvent *e) { return memoKey(e); };
    connect(AnswerMemo, &QPlainTextEdit::textChanged, this, &TStringQuestionForm::memoChanged);
    for (QWidget *control :
         {static_cast<QWidget *>(AnswerEdit), static_cast<QWidget *>(AnswerEditB),
          static_cast<QWidget *>(AnswerMemo)}) {
        const QString name = control->objectName();
        const auto write = [this, name] { WriteControl(name); };
        if (auto *edit = qobject_cast<TAnswerEdit *>(control))
            connect(edit, &TAnswerEdit::focused, this, write);
        else
            connect(AnswerMemo, &TAnswerMemo::focused, this, write);
    }
}

QString TStringQuestionForm::DataTypeError() const {
    return LoadResString(Res::Ex_DataTypeMustBeString);
}

int TStringQuestionForm::EditWidthFor(int maxLength, const QFont &font) {
    int width = QFontMetrics(font).horizontalAdvance(QString(maxLength, QLatin1Char('W'))) +
                QFontInfo(font).pointSize();
    if (maxLength <= 64 && width > 400)
        width = 400;
    return width;
}

bool TStringQuestionForm::UsesMemo(int maxLength, int width) {
    return maxLength > 80 || width > 400;
}

void TStringQuestionForm::FillAnswerControls() {
    const TQuestion &question = *Question();
    const int width = EditWidthFor(question.MaxLength, AnswerEdit->font());
    if (UsesMemo(question.MaxLength, width)) {
        AnswerEdit->hide();
        AnswerMemo->show();
        Layout().SetTop(DescriptionLbl, 64);
        AnswerMemo->setMaxLength(question.MaxLength);
        AnswerMemo->setPlainText(InitialText(question));
        SetFocusToControl(AnswerMemo);
        return;
    }
    // Without a length limit the edit keeps its design width.
    if (question.MaxLength > 0) {
        Layout().SetWidth(AnswerEdit, width);
        AnswerEdit->setMaxLength(question.MaxLength);
    }
    if (Layout().Rect(AnswerEdit).width() > 200) {
        const QRect confirm = Layout().Rect(AnswerEditB);
        Layout().SetTop(DescriptionLbl, confirm.bottom() + 1 + 8);
        Layout().SetRect(QuestionLbl, QRect(70, 64, 427, 84));
    }
    AnswerEdit->show();
    AnswerMemo->hide();
    TEntryQuestionForm::FillAnswerControls();
}

void TStringQuestionForm::memoChanged() {
    TQuestion *question = Question();
    if (!question)
        return;
    SetErrorText(QString());
    if (!Loading() || question->IsAnswerEmpty()) {
        QString text = AnswerMemo->toPlainText();
        question->SetAnswer(text.replace(QLatin1Char('\n'), QLatin1String("\r\n")));
    }
    if (QuestionManager())
        QuestionManager()->NotifyActivity();
}

bool TStringQuestionForm::memoKey(QKeyEvent *event) {
    if (!IsEnterKey(event) || !QuestionManager())
        return false;
    NextBtnClick();
    return true;
}

void TStringQuestionForm::DescribeAnswerControls() {
    TEntryQuestionForm::DescribeAnswerControls();
    DescribeControl(AnswerMemo, QuestionCaption(), AccessibleDescription(), Required());
}

bool TStringQuestionForm::ValidateAnswers() {
    return ValidateStoredAnswer();
}
