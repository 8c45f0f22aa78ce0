// SPDX-License-Identifier: MIT
#include "MoneyQuestionFrm.h"

#include "ResourceStrings.h"

TMoneyQuestionForm::TMoneyQuestionForm(QWidget *parent)
    : TEntryQuestionForm(parent, FormType::Money, TJawsScreen::Money) {
    setObjectName(QStringLiteral("MoneyQuestionForm"));
    SetUpDecimalEdits();
}

QString TMoneyQuestionForm::DataTypeError() const {
    return LoadResString(Res::Ex_DataTypeMustBeMoney);
}

bool TMoneyQuestionForm::ValidateAnswers() {
    return ValidateDecimal(false);
}
