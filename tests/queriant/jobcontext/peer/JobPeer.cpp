// SPDX-License-Identifier: MIT
// Plays the client's side of a job section for the zvjob tests, with the client's own section
// code: reads the job details, reports them to the file named by ZVJOB_PEER_OUT, and unless
// ZVJOB_PEER_CANCEL is set writes an answer record built from them and ends with exit code 1.
#include "MemMappedFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

int main(int argc, char **argv) {
    if (argc != 2)
        return 2;
    TMemMappedFile section(QString::fromLocal8Bit(argv[1]));
    TJobDetails job;
    section.ReadJobDetails(job);

    QFile out(qEnvironmentVariable("ZVJOB_PEER_OUT"));
    if (!out.open(QIODevice::WriteOnly))
        return 3;
    out.write(QJsonDocument(QJsonObject{{"WorkStation", job.WorkStation},
                                        {"OmbrelServer", job.OmbrelServer},
                                        {"SpoolQueue", job.SpoolQueue},
                                        {"UserName", job.UserName},
                                        {"Document", job.Document},
                                        {"PrinterName", job.PrinterName},
                                        {"NumPages", job.NumPages}})
                  .toJson());
    if (qEnvironmentVariableIsSet("ZVJOB_PEER_CANCEL"))
        return 0;

    for (const QString &line :
         {job.WorkStation, job.UserName, job.Document, QString::number(job.NumPages)})
        section.AddRecordLine(line, 0);
    for (const QString &line : {QStringLiteral("CC_Static"), QStringLiteral("Sales\rK\u00f6ln"),
                                QStringLiteral("StaticNotifyIP"), QStringLiteral("127.0.0.1:S0")})
        section.AddRecordLine(line, 1);
    section.AddRecordLine(QString(), 2);
    section.WriteRecord();
    return 1;
}
