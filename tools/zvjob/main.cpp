// SPDX-License-Identifier: MIT
// zvjob: plays the component that holds a print job. It creates the job-details section,
// writes the job into it, starts the client with the section's name, waits for it, and reports
// the client's exit code and the decrypted answer record.
#include "JobSection.h"

#include "ZvProcessInfo.h"
#include "ZvSharedSection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <openssl/crypto.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int exitUsage = 2;
constexpr int exitFailure = 3;

void printErr(const QString &text) {
    std::fprintf(stderr, "zvjob: %s\n", qPrintable(text));
}

QJsonValue recordToJson(const std::optional<zvjob::AnswerRecord> &record) {
    if (!record)
        return QJsonValue::Null;
    QJsonArray lines;
    for (const QByteArray &line : record->lines)
        lines.append(QString::fromUtf8(line));
    // The client writes four header lines, then one name/answer pair per question.
    QJsonArray header;
    for (qsizetype k = 0; k < 4 && k < record->lines.size(); ++k)
        header.append(lines[k]);
    QJsonArray answers;
    for (qsizetype k = 4; k + 1 < record->lines.size(); k += 2)
        answers.append(QJsonObject{{QStringLiteral("name"), lines[k]},
                                   {QStringLiteral("value"), lines[k + 1]}});
    return QJsonObject{{QStringLiteral("lines"), lines},
                       {QStringLiteral("header"), header},
                       {QStringLiteral("answers"), answers},
                       {QStringLiteral("trailer"), QString::fromUtf8(record->trailer)}};
}

void printText(int exitCode, const std::optional<zvjob::AnswerRecord> &record) {
    std::printf("exit code: %d\n", exitCode);
    if (!record) {
        std::printf("answer record: none\n");
        return;
    }
    std::printf("answer record:\n");
    for (const QByteArray &line : record->lines) {
        // A cost-center answer carries its category before a CR; show it visibly.
        QByteArray shown = line;
        shown.replace('\r', "\\r");
        std::printf("  %s\n", shown.constData());
    }
    std::printf("trailer: %s\n", record->trailer.constData());
}

struct Options {
    zvjob::JobFields job;
    QString section;
    QString client;
    int timeoutSeconds = 0;
    bool json = false;
    bool keep = false;
};

// Fills options from the command line; returns false (after printing why) on a usage error.
bool parseOptions(const QCoreApplication &app, Options &options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates a job-details section, starts the popup client for it and reports the "
        "client's exit code and the decrypted answer record.\n"
        "Exit status: the client's exit code (1 answered, 0 not), 2 for a usage error, 3 when "
        "the job could not be run."));
    parser.addHelpOption();
    const QCommandLineOption workStation(QStringLiteral("workstation"),
                                         QStringLiteral("Workstation the job came from."),
                                         QStringLiteral("name"), QStringLiteral("WS1"));
    const QCommandLineOption server(QStringLiteral("print-server"),
                                    QStringLiteral("Print server holding the job."),
                                    QStringLiteral("name"), QStringLiteral("localhost"));
    const QCommandLineOption queue(QStringLiteral("queue"),
                                   QStringLiteral("Queue the job was printed to."),
                                   QStringLiteral("name"), QStringLiteral("Queue1"));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("User the job is charged to."),
                                  QStringLiteral("name"), qEnvironmentVariable("USER"));
    const QCommandLineOption document(QStringLiteral("document"), QStringLiteral("Document name."),
                                      QStringLiteral("name"), QStringLiteral("Document.pdf"));
    const QCommandLineOption printer(QStringLiteral("printer"), QStringLiteral("Printer name."),
                                     QStringLiteral("name"), QStringLiteral("Printer1"));
    const QCommandLineOption pages(QStringLiteral("pages"), QStringLiteral("Number of pages."),
                                   QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption section(QStringLiteral("section"),
                                     QStringLiteral("Section name (default Local\\zvjob.<pid>)."),
                                     QStringLiteral("name"));
    const QCommandLineOption client(
        QStringLiteral("queriant"),
        QStringLiteral("Client program (default: queriant next to zvjob)."),
        QStringLiteral("path"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Seconds to wait for the client; 0 waits for ever."), QStringLiteral("s"),
        QStringLiteral("0"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Report as one JSON object."));
    const QCommandLineOption keep(QStringLiteral("keep"),
                                  QStringLiteral("Leave the section in place afterwards."));
    parser.addOptions({workStation, server, queue, user, document, printer, pages, section, client,
                       timeout, json, keep});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        printErr(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());
        return false;
    }
    bool pagesOk = false;
    bool timeoutOk = false;
    options.job = {parser.value(workStation),
                   parser.value(server),
                   parser.value(queue),
                   parser.value(user),
                   parser.value(document),
                   parser.value(printer),
                   parser.value(pages).toInt(&pagesOk)};
    options.timeoutSeconds = parser.value(timeout).toInt(&timeoutOk);
    if (!pagesOk || !timeoutOk || options.timeoutSeconds < 0 ||
        options.timeoutSeconds > 86400 * 7) {
        printErr(
            QStringLiteral("--pages and --timeout take whole numbers (--timeout at most a week)"));
        return false;
    }
    options.section = parser.isSet(section) ? parser.value(section)
                                            : QStringLiteral("Local\\zvjob.%1").arg(::getpid());
    options.client =
        parser.isSet(client) ? parser.value(client) : zv::moduleDir() + QStringLiteral("/queriant");
    options.json = parser.isSet(json);
    options.keep = parser.isSet(keep);
    return true;
}

// Runs the client on the section; its exit code, or nullopt when it could not run to its end.
std::optional<int> runClient(const Options &options) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(options.client, {options.section});
    if (!process.waitForStarted(-1)) {
        printErr(QStringLiteral("cannot start %1: %2").arg(options.client, process.errorString()));
        return std::nullopt;
    }
    const int waitMs = options.timeoutSeconds > 0 ? options.timeoutSeconds * 1000 : -1;
    if (!process.waitForFinished(waitMs)) {
        printErr(QStringLiteral("the client did not end within %1 s; killed")
                     .arg(options.timeoutSeconds));
        process.kill();
        process.waitForFinished(-1);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        printErr(QStringLiteral("the client crashed"));
        return std::nullopt;
    }
    return process.exitCode();
}

int runJob(const Options &options) {
    bool created = false;
    auto section = zv::ZvSharedSection::create(options.section, 0600, &created);
    if (!created) {
        printErr(QStringLiteral("section %1 already exists").arg(options.section));
        return exitFailure;
    }
    std::optional<int> exitCode;
    QByteArray image;
    try {
        const QByteArray fields = zvjob::encodeJobFields(options.job, section->size());
        std::memcpy(section->data(), fields.constData(), size_t(fields.size()));
        exitCode = runClient(options);
        image = QByteArray(section->data(), section->size());
    } catch (...) {
        zv::ZvSharedSection::unlink(options.section);
        throw;
    }
    section.reset();
    if (!options.keep)
        zv::ZvSharedSection::unlink(options.section);
    if (!exitCode)
        return exitFailure;

    std::optional<zvjob::AnswerRecord> record = zvjob::decodeAnswerRecord(image);
    OPENSSL_cleanse(image.data(), size_t(image.size()));
    if (options.json) {
        const QJsonObject report{{QStringLiteral("exitCode"), *exitCode},
                                 {QStringLiteral("section"), options.section},
                                 {QStringLiteral("answerRecord"), recordToJson(record)}};
        std::printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
    } else {
        printText(*exitCode, record);
    }
    return *exitCode;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zvjob"));
    Options options;
    if (!parseOptions(app, options))
        return exitUsage;
    try {
        return runJob(options);
    } catch (const std::exception &e) {
        printErr(QString::fromUtf8(e.what()));
        return exitFailure;
    }
}
