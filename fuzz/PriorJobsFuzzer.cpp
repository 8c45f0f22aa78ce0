// SPDX-License-Identifier: MIT
// The prior-jobs section that every client process reads and rewrites: whatever it holds, the
// entries before any damage are read without passing its end, written back and read again the
// same; the remembered answers of each decrypt without reading past them.
//
// Input: the section's first bytes (the rest of the 16,384 is zero).
#include "FuzzSupport.h"

#include "AesUse.h"
#include "PrintJobDetails.h"

#include <cstring>

namespace {

bool SameJob(const TPrintJobDetails &a, const TPrintJobDetails &b) {
    return a.PrintServerName == b.PrintServerName && a.QuestionGroupName == b.QuestionGroupName &&
           a.DocName == b.DocName &&
           std::memcmp(&a.JobReceived, &b.JobReceived, sizeof a.JobReceived) == 0 &&
           a.LastUserResponse == b.LastUserResponse && a.LastQuestions == b.LastQuestions &&
           a.LastAnswers() == b.LastAnswers();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const bool initialised = (TAesUse::Init(), true);
    (void)initialised;
    QByteArray section = fuzz::Bytes(data, std::min<std::size_t>(size, MemFileSize));
    section.append(MemFileSize - section.size(), '\0');

    std::vector<std::unique_ptr<TPrintJobDetails>> jobs;
    try {
        TSectionReader reader(section);
        const qint32 count = reader.ReadInteger();
        for (qint32 i = 0; i < count; ++i)
            jobs.push_back(ReadPriorJob(reader));
    } catch (const EMemMappedFileError &) {
    }
    for (const auto &job : jobs)
        (void)job->GetLastAnswers();

    QByteArray written(MemFileSize, '\0');
    TSectionWriter writer(written.data(), written.size());
    writer.WriteInteger(qint32(jobs.size()));
    for (const auto &job : jobs)
        WritePriorJob(writer, *job);

    TSectionReader reader(written);
    fuzz::Check(reader.ReadInteger() == qint32(jobs.size()), "entry count differs");
    for (const auto &job : jobs)
        fuzz::Check(SameJob(*ReadPriorJob(reader), *job), "entry differs after a write and a read");
    return 0;
}
