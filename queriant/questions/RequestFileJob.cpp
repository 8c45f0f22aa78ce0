// SPDX-License-Identifier: MIT
#include "RequestFileJob.h"

#include "Log.h"
#include "MemMappedFile.h"
#include "SecureWipe.h"

#include <exception>

namespace {

QString exceptionText(const std::exception &e) {
    if (const auto *error = dynamic_cast<const zv::ZvError *>(&e))
        return error->message();
    return QString::fromLocal8Bit(e.what());
}

} // namespace

TRequestFileJob::TRequestFileJob() = default;

TRequestFileJob::~TRequestFileJob() = default;

void TRequestFileJob::SetUpJob(TQuestionManager &manager) {
    LoadQuestionFile(manager);
}

void TRequestFileJob::EndJob(TQuestionManager &manager) {
    WriteQuestionFile(manager);
}

void TRequestFileJob::LoadQuestionFile(TQuestionManager &manager) {
    FQuestionFile.reset();
    const QString &sectionName = manager.JobStart().SectionName;
    if (sectionName.isEmpty())
        throw zv::ZvError(QStringLiteral("No request file named on the command line"));
    auto file = std::make_unique<TMemMappedFile>(sectionName);
    file->Open();
    QString request = file->ReadWideText();
    // The request may carry default answers: nothing of it stays in the section.
    file->Reset();
    FQuestionFile = std::move(file);
    try {
        manager.LoadGuiQuestions(request);
    } catch (...) {
        zv::SecureWipe(request);
        throw;
    }
    zv::SecureWipe(request);
}

void TRequestFileJob::WriteQuestionFile(TQuestionManager &manager) noexcept {
    if (!FQuestionFile)
        return;
    try {
        QString answer = manager.FQuestionXML.GetXML();
        try {
            FQuestionFile->WriteWideText(answer);
        } catch (...) {
            zv::SecureWipe(answer);
            throw;
        }
        zv::SecureWipe(answer);
        FQuestionFile->Close();
    } catch (const std::exception &e) {
        LogError("Ignored exception when writing QuestionXML");
        LogError("%s", exceptionText(e));
    }
    // Unmapping cannot fail here, so there is nothing to report when freeing.
    FQuestionFile.reset();
}
