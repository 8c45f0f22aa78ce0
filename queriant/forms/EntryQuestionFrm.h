// SPDX-License-Identifier: MIT
// What the one-question entry dialogs (string, integer, float, money, phone) share: the answer
// edit and its confirm edit, filling them from the question without writing the masked text
// back, storing typed text as the answer, Enter moving on, and telling screen readers which
// control has the focus.
#pragma once

#include "AnswerEdit.h"
#include "JAWS.h"
#include "QuestionFrm.h"

#include <optional>

class TEntryQuestionForm : public TQuestionForm {
    Q_OBJECT

public:
    TAnswerEdit *AnswerEdit = nullptr;
    TAnswerEdit *AnswerEditB = nullptr;

protected:
    // formType: the keyword the dialog shows; screen: its screen-reader file, if any.
    TEntryQuestionForm(QWidget *parent, const char *formType, std::optional<TJawsScreen> screen);

    // Base, form-type check, description, answer controls, focus, right-to-left, screen file.
    void PresentQuestions() override;

    TQuestion *Question() const;
    // The failure raised when the set is of another form type.
    virtual QString DataTypeError() const = 0;
    // Fills the answer controls from the question.
    virtual void FillAnswerControls();
    virtual QString InitialText(const TQuestion &question) const;
    // Shows the confirm edit under the answer edit for questions with Confirm.
    void ShowConfirmEdit(const TQuestion &question);

    // Change of the answer edit: the text becomes the answer, except that loading never
    // overwrites a stored answer (a secure one shows masked) unless m_storeWhileLoading.
    virtual void AnswerChanged();
    // Enter in the answer edit or the confirm edit; true when consumed.
    bool HandleEnter(QKeyEvent *event, QWidget *edit);
    void WriteControl(const QString &controlName);
    void UpdateScreenReader() { WriteControl(QString()); }
    void ErrorTextChanged() override;
    // Accessible name and description of every answer control.
    virtual void DescribeAnswerControls();
    QString AccessibleDescription() const;
    // The answer is mandatory.
    bool Required() const;

    // Float and money: the typing filter of a decimal edit, and the checks in order. With
    // rounding (float) the answer is stored rounded to MaxLength decimals once edited.
    void SetUpDecimalEdits();
    bool FilterDecimalKey(QKeyEvent *event, TAnswerEdit *edit);
    // A key that stands for another character (a digit of another script, a decimal separator
    // the keyboard lacks) is typed as that character; true when it was.
    bool InsertNumberKey(QKeyEvent *event, TAnswerEdit *edit, QChar key);
    void StorePlainNumber(const QString &plain);
    bool ValidateDecimal(bool rounding);
    // String and phone: mandatory looks at the stored answer (blanks count), then the confirm.
    bool ValidateStoredAnswer();

    bool m_clearErrorOnChange = false;
    // Phone and guest card: the text filled in while loading is stored as the answer too.
    bool m_storeWhileLoading = false;
    bool m_confirmChangeIsActivity = true;
    // Float: the user changed the answer edit outside loading.
    bool m_edited = false;

private:
    QByteArray m_formType;
    std::optional<TJawsScreen> m_screen;
};
