// SPDX-License-Identifier: MIT
#include "FloatQuestionFrm.h"

TFloatQuestionForm::TFloatQuestionForm(QWidget *parent)
    : TEntryQuestionForm(parent, FormType::Float, TJawsScreen::Float) {
    setObjectName(QStringLiteral("FloatQuestionForm"));
    SetUpDecimalEdits();
}

QString TFloatQuestionForm::DataTypeError() const {
    // This one failure is not translated.
    return QStringLiteral("Question datatype must be a dtFloat type");
}

bool TFloatQuestionForm::ValidateAnswers() {
    return ValidateDecimal(true);
}
