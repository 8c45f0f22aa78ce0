// SPDX-License-Identifier: MIT
// A request of 10,000 questions (about 10 MB) taken through a whole automation job's document
// work: load, answer every question, save the answers and serialise the document. The baseline
// is pugixml alone doing the same on the same bytes: parse, add an answer to every question and
// write the document out.
#include "QuestionManager.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <string>

namespace {

constexpr int kQuestions = 10000;

// The request of the large round-trip test, as the UTF-8 bytes of a request file.
const QByteArray &largeRequest() {
    static const QByteArray request = [] {
        QString body;
        body.reserve(11 * 1024 * 1024);
        const QString padding(900, u'p');
        body += QStringLiteral("<questionsets>");
        for (int i = 0; i < kQuestions; ++i)
            body += "<questionset><formtype>stringform</formtype><title>Set " + QString::number(i) +
                    "</title><question><prompt>Question " + QString::number(i) +
                    "</prompt><description>" + padding +
                    "</description><id>stringform</id></question></questionset>";
        body += QStringLiteral("</questionsets>");
        return body.toUtf8();
    }();
    return request;
}

void BM_RequestRoundTrip(benchmark::State &state) {
    const QByteArray &request = largeRequest();
    const QStringList automation{QStringLiteral("-Embedding")};
    qsizetype outputSize = 0;
    for (auto _ : state) {
        TQuestionManager manager(automation);
        manager.LoadGuiQuestions(request);
        if (manager.QuestionCount() != kQuestions) {
            state.SkipWithError("the request did not load all questions");
            break;
        }
        for (int i = 0; i < kQuestions; ++i)
            manager.Question(i)->SetAnswer(QString::number(i));
        manager.SaveAnswersToXML(rkAnswered);
        const QString answers = manager.FQuestionXML.GetXML();
        outputSize = answers.size();
        benchmark::DoNotOptimize(answers.constData());
    }
    state.SetBytesProcessed(state.iterations() * request.size());
    state.counters["request_bytes"] = double(request.size());
    state.counters["answer_chars"] = double(outputSize);
}
BENCHMARK(BM_RequestRoundTrip)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_PugixmlRoundTrip(benchmark::State &state) {
    const QByteArray &request = largeRequest();
    size_t outputSize = 0;
    for (auto _ : state) {
        pugi::xml_document document;
        if (!document.load_buffer(request.constData(), size_t(request.size()))) {
            state.SkipWithError("pugixml did not parse the request");
            break;
        }
        int i = 0;
        for (pugi::xml_node set : document.child("questionsets").children("questionset"))
            set.child("question").append_child("answer").text().set(std::to_string(i++).c_str());
        std::string text;
        struct Writer : pugi::xml_writer {
            std::string *out;
            void write(const void *data, size_t size) override {
                out->append(static_cast<const char *>(data), size);
            }
        } writer;
        writer.out = &text;
        document.save(writer, "", pugi::format_raw);
        outputSize = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * request.size());
    state.counters["answer_chars"] = double(outputSize);
}
BENCHMARK(BM_PugixmlRoundTrip)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
