// SPDX-License-Identifier: MIT
// Creates the dialog that shows a question set of a given form type.
#pragma once

#include "QuestionFrm.h"

#include <QString>

#include <memory>

// The dialog for formType (exact, case-sensitive keyword), or nullptr when no dialog shows
// that form type. Free the result with TQuestionForm::CloseForm.
std::unique_ptr<TQuestionForm> CreateQuestionForm(const QString &formType, QWidget *parent);
