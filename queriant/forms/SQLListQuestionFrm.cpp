// SPDX-License-Identifier: MIT
#include "SQLListQuestionFrm.h"

#include "ChoiceGrid.h"
#include "DesignLayout.h"
#include "QuestionManager.h"

TSQLListQuestionForm::TSQLListQuestionForm(QWidget *parent)
    : TListQuestionForm(parent, FormType::SqlList) {
    setObjectName(QStringLiteral("SQLListQuestionForm"));
    Layout().SetWidth(ListDG, 506);
}

void TSQLListQuestionForm::RefreshChoices() {
    if (QuestionManager())
        QuestionManager()->RefreshSqlList(Question());
}
