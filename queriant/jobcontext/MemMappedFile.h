// SPDX-License-Identifier: MIT
// A named 16,384-byte shared-memory section opened by name (never created here) and read or
// written sequentially from a cursor, with the job-details and answer-record layouts.
#pragma once

#include "SectionCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace zv {
class ZvSharedSection;
}

// The job as the component that holds it describes it.
struct TJobDetails {
    QString WorkStation;
    QString OmbrelServer;
    QString SpoolQueue;
    QString UserName;
    // UserName as read, to restore it when a logon answer is emptied.
    QString ReceivedUserName;
    QString Document;
    QString PrinterName;
    int NumPages = 0;

    bool operator==(const TJobDetails &) const = default;
};

class TMemMappedFile {
public:
    explicit TMemMappedFile(const QString &mapName);
    ~TMemMappedFile();
    TMemMappedFile(const TMemMappedFile &) = delete;
    TMemMappedFile &operator=(const TMemMappedFile &) = delete;

    const QString &MapName() const { return FMapName; }
    bool IsOpen() const { return View() != nullptr; }

    // Maps the existing section whole; the cursor starts at its first byte.
    void Open();
    // Nothing when not open.
    void Close();

    qint32 ReadInteger();
    QByteArray ReadText();
    QString ReadWideText();
    double ReadDouble();
    QByteArray ReadBytes(qsizetype count);
    void WriteInteger(qint32 value);
    void WriteText(QByteArrayView text);
    void WriteWideText(const QString &text);
    void WriteDouble(double value);
    void WriteBytes(const char *bytes, qsizetype count);

    // Zeroes the whole section and moves the cursor to its start.
    void Reset();
    qsizetype CursorPos() const { return FCursor; }

    // Opens, reads the job-details layout and closes. Failures are logged, not passed on;
    // the fields read before a failure keep their values.
    void ReadJobDetails(TJobDetails &record);

    // Builds an answer record: section 0 header lines, 1 question pairs, 2 the trailer text.
    void ClearRecord();
    void AddRecordLine(const QString &text, int section);
    // Opens, writes the encrypted record from offset 0 and closes. Failures reach the caller;
    // a record that does not fit the section fails before anything is written.
    void WriteRecord();

private:
    char *View() const;
    TSectionReader Reader() const;
    TSectionWriter Writer() const;

    QString FMapName;
    std::unique_ptr<zv::ZvSharedSection> FSection;
    qsizetype FCursor = 0;
    QList<QByteArray> FHeaderLines;
    QList<QByteArray> FPairLines;
    QByteArray FTrailerText;
};
