// SPDX-License-Identifier: MIT
// The texts the last-answer store and the popup server exchange about a job's questions, and
// the clock rule of the multipart check. Every text is one entry per question, in question-list
// order, each followed by CR.
#pragma once

#include "Questions.h"

#include <QByteArray>
#include <QByteArrayList>

#include <memory>
#include <vector>

using TQuestionList = std::vector<std::unique_ptr<TQuestion>>;

// The questions' names.
QByteArray GetQuestionNames(const TQuestionList &questions);
// The questions' answers; the caller wipes the result.
QByteArray GetAnswers(const TQuestionList &questions);
// The questions' last answers, with "Removed" for a question named "password" (trimmed, any
// case); the caller wipes the result.
QByteArray GetLastAnswersForVerify(const TQuestionList &questions);

// The lines of a stored answer text: every CR and every LF ends a line (so CR LF leaves an
// empty line between), and a break at the end adds no empty line. The caller wipes the lines.
QByteArrayList SplitAnswerLines(const QByteArray &text);

// Whole seconds between two job times (days since 30 December 1899), either way round.
qint64 WholeSecondsBetween(double from, double to);
