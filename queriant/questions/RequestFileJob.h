// SPDX-License-Identifier: MIT
// The job source of a request-file job (switch XpNotify): the request document waits in the
// shared-memory section named by the second command-line parameter, and the answer document
// goes back into the same section when the job ends.
#pragma once

#include "QuestionManager.h"

#include <memory>

class TMemMappedFile;

class TRequestFileJob : public TJobSource {
public:
    TRequestFileJob();
    ~TRequestFileJob() override;

    void SetUpJob(TQuestionManager &manager) override;
    void EndJob(TQuestionManager &manager) override;

    // Reads the request from the section named by the second parameter, clears the section
    // (it stays mapped for the answer) and loads the request into the manager.
    void LoadQuestionFile(TQuestionManager &manager);
    // Writes the answer document into the section and releases it; never throws.
    void WriteQuestionFile(TQuestionManager &manager) noexcept;

private:
    std::unique_ptr<TMemMappedFile> FQuestionFile;
};
