// SPDX-License-Identifier: MIT
// Request documents of the automation caller and the request file: loaded into questions,
// answered, saved and serialised; the answer document loads again into the same questions,
// carries every answer and the outcome.
//
// Input: the document, as bytes (UTF-8 or UTF-16, with or without a byte-order mark).
#include "FuzzSupport.h"

#include "QuestionManager.h"

#include <array>

namespace {

const std::array<QString, 5> Answers = {
    QString(), QStringLiteral("<none>"), QStringLiteral("a & b <c> \"d\" 'e' ]]>"),
    QStringLiteral("Gr\u00fc\u00dfe \u0668\u0660\u066b\u0665"), QStringLiteral("  spaced  ")};

// A question node below another question would be freed when the outer answer is written.
bool HasNestedQuestion(const TQuestionManager &manager) {
    for (int i = 0; i < manager.QuestionCount(); ++i)
        for (pugi::xml_node up = manager.Question(i)->XmlNode.parent(); up; up = up.parent())
            if (std::string_view(up.name()) == "question")
                return true;
    return false;
}

QString ResponseText(int kind) {
    switch (kind) {
    case rkCancelled:
        return QStringLiteral("usercancel");
    case rkAnswered:
        return QStringLiteral("userresponse");
    default:
        return QStringLiteral("usertimeout");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray request = fuzz::Bytes(data, size);
    TQuestionManager manager({QStringLiteral("-Embedding")});
    try {
        manager.LoadGuiQuestions(request);
    } catch (const zv::ZvError &) {
        fuzz::Check(manager.QuestionCount() == 0 && manager.QuestionSetCount() == 0,
                    "a failed load keeps questions");
        return 0;
    }
    fuzz::Check(!HasNestedQuestion(manager), "a question loaded from inside another question");

    for (int i = 0; i < manager.QuestionCount(); ++i)
        manager.Question(i)->SetAnswer(Answers[std::size_t(i) % Answers.size()]);
    const int kind = int(size % 3);
    manager.SaveAnswersToXML(kind);
    if (manager.FQuestionXML.IsEmpty()) {
        fuzz::Check(manager.QuestionCount() == 0, "questions without a document");
        return 0;
    }
    const QString answer = manager.FQuestionXML.GetXML();
    fuzz::Check(answer.startsWith(QChar(0xFEFF)), "answer text without byte-order mark");

    TQuestionManager again({QStringLiteral("-Embedding")});
    again.LoadGuiQuestions(answer);
    fuzz::Check(again.QuestionSetCount() == manager.QuestionSetCount(), "set count changed");
    fuzz::Check(again.QuestionCount() == manager.QuestionCount(), "question count changed");
    for (int i = 0; i < again.QuestionCount(); ++i) {
        const TQuestion &before = *manager.Question(i);
        const TQuestion &after = *again.Question(i);
        fuzz::Check(after.Prompt == before.Prompt && after.FormType == before.FormType &&
                        after.Choices == before.Choices && after.MaxLength == before.MaxLength,
                    "question reads differently after saving");
        const QString written = Answers[std::size_t(i) % Answers.size()];
        const std::vector<pugi::xml_node> answers =
            again.FQuestionXML.SelectNodes(after.XmlNode, QStringLiteral("answer"));
        if (written == QStringLiteral("<none>"))
            fuzz::Check(answers.empty(), "answer kept for <none>");
        else
            fuzz::Check(again.FQuestionXML.GetChildText(after.XmlNode, QStringLiteral("answer")) ==
                            written,
                        "answer lost", written.toUtf8());
    }
    if (manager.QuestionSetCount() > 0)
        fuzz::Check(again.FQuestionXML.GetTexts(QStringLiteral("(//questionsets)[1]/response"))
                        .startsWith(ResponseText(kind)),
                    "outcome not written");
    return 0;
}
