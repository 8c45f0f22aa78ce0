// SPDX-License-Identifier: MIT
#include "ChoiceQuestionFrm.h"

#include "QuestionManager.h"

TQuestion *TChoiceQuestionForm::Question() const {
    return QuestionSet() ? QuestionSet()->First() : nullptr;
}

void TChoiceQuestionForm::CheckFormType(const char *formType, const TResourceString &error) const {
    if (QuestionSet()->FormType != formType)
        throw zv::ZvError(LoadResString(error));
}

QString TChoiceQuestionForm::DisplayText(const TQuestion &question, int i) {
    if (i < question.Captions.size() && !question.Captions[i].isEmpty())
        return QString::fromUtf8(question.Captions[i]);
    return ChoiceValue(question, i);
}

QString TChoiceQuestionForm::ChoiceValue(const TQuestion &question, int i) {
    return QString::fromUtf8(question.Choices.value(i));
}

bool TChoiceQuestionForm::ValidateMandatory() {
    bool result = TQuestionForm::ValidateAnswers();
    const TQuestion *question = Question();
    if (question && question->Mandatory && question->IsAnswerEmpty()) {
        SetErrorText(LoadResString(Res::SValidation_Mandatory));
        if (FocusToControl())
            FocusToControl()->setFocus(Qt::OtherFocusReason);
        result = false;
    }
    return result;
}

bool TChoiceQuestionForm::SingleClick() const {
    return QuestionManager() && QuestionManager()->SingleClick();
}

void TChoiceQuestionForm::ChoiceMade() {
    if (SingleClick())
        NextBtnClick();
}
