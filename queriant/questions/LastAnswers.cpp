// SPDX-License-Identifier: MIT
#include "LastAnswers.h"

#include "SecureWipe.h"

#include <cmath>

namespace {

template <typename Text> QByteArray joinWithCR(const TQuestionList &questions, Text text) {
    QByteArray out;
    for (const auto &question : questions) {
        QByteArray entry = text(*question);
        out += entry;
        out += '\r';
        zv::SecureWipe(entry);
    }
    return out;
}

QByteArray wipedUtf8(QString text) {
    QByteArray bytes = text.toUtf8();
    zv::SecureWipe(text);
    return bytes;
}

} // namespace

QByteArray GetQuestionNames(const TQuestionList &questions) {
    return joinWithCR(questions, [](const TQuestion &q) { return q.Name.toUtf8(); });
}

QByteArray GetAnswers(const TQuestionList &questions) {
    return joinWithCR(questions, [](const TQuestion &q) { return wipedUtf8(q.GetAnswer()); });
}

QByteArray GetLastAnswersForVerify(const TQuestionList &questions) {
    return joinWithCR(questions, [](const TQuestion &q) {
        if (q.Name.trimmed().compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            return QByteArray("Removed");
        return wipedUtf8(q.GetLastAnswer());
    });
}

QByteArrayList SplitAnswerLines(const QByteArray &text) {
    QByteArrayList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(text.mid(start, i - start));
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

qint64 WholeSecondsBetween(double from, double to) {
    return qint64(std::fabs(to - from) * 86400.0);
}
