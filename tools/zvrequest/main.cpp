// SPDX-License-Identifier: MIT
// zvrequest: asks the popup client the questions of a request document and prints the answer
// document. Two ways:
//   zvrequest request.xml           creates a request section, runs "queriant /XpNotify" for
//                                   it, waits, and prints the answer document from the section
//   zvrequest --dbus request.xml    calls PresentData of the automation server on the session
//                                   bus, with a call time-out long enough for a user to answer
#include "RequestSection.h"

#include "ZvProcessInfo.h"
#include "ZvSharedSection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace {

constexpr int exitUsage = 2;
constexpr int exitFailure = 3;
constexpr int exitCallFailed = 4;

void printErr(const QString &text) {
    std::fprintf(stderr, "zvrequest: %s\n", qPrintable(text));
}

struct Options {
    QString requestFile;
    QString section;
    QString client;
    int timeoutSeconds = 0;
    bool dbus = false;
    bool keep = false;
};

bool parseOptions(const QCoreApplication &app, Options &options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Asks the popup client the questions of a request document and prints the answer "
        "document.\n"
        "Exit status: request-file job: the client's exit code (1 answered, 0 not); --dbus: 0 "
        "when PresentData answered, 4 when it failed (the error is printed); 2 for a usage "
        "error, 3 when the job could not be run."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("request"),
                                 QStringLiteral("Request document (UTF-8 or UTF-16)."));
    const QCommandLineOption dbus(QStringLiteral("dbus"),
                                  QStringLiteral("Call PresentData of the automation server "
                                                 "(com.zorvant.Queriant) on the session bus."));
    const QCommandLineOption section(
        QStringLiteral("section"),
        QStringLiteral("Request section name (default Local\\zvrequest.<pid>)."),
        QStringLiteral("name"));
    const QCommandLineOption client(
        QStringLiteral("queriant"),
        QStringLiteral("Client program (default: queriant next to zvrequest)."),
        QStringLiteral("path"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Seconds to wait for the answer; 0 waits for ever."), QStringLiteral("s"),
        QStringLiteral("0"));
    const QCommandLineOption keep(QStringLiteral("keep"),
                                  QStringLiteral("Leave the section in place afterwards."));
    parser.addOptions({dbus, section, client, timeout, keep});
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        printErr(QStringLiteral("give exactly one request document"));
        return false;
    }
    bool timeoutOk = false;
    options.requestFile = parser.positionalArguments().first();
    options.timeoutSeconds = parser.value(timeout).toInt(&timeoutOk);
    if (!timeoutOk || options.timeoutSeconds < 0 || options.timeoutSeconds > 86400 * 7) {
        printErr(QStringLiteral("--timeout takes a whole number of seconds, at most a week"));
        return false;
    }
    options.dbus = parser.isSet(dbus);
    options.section = parser.isSet(section) ? parser.value(section)
                                            : QStringLiteral("Local\\zvrequest.%1").arg(::getpid());
    options.client =
        parser.isSet(client) ? parser.value(client) : zv::moduleDir() + QStringLiteral("/queriant");
    options.keep = parser.isSet(keep);
    return true;
}

void printAnswer(const QString &answer) {
    std::fputs(answer.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

int callPresentData(const Options &options, const QString &request) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        printErr(QStringLiteral("no session bus: ") + bus.lastError().message());
        return exitFailure;
    }
    QDBusInterface popup(QStringLiteral("com.zorvant.Queriant"), QStringLiteral("/PopupGUI"),
                         QStringLiteral("com.zorvant.IPopupGUI"), bus);
    // The reply comes when the user has answered: far longer than the bus default of 25 s.
    popup.setTimeout(options.timeoutSeconds > 0 ? options.timeoutSeconds * 1000
                                                : std::numeric_limits<int>::max());
    const QDBusReply<QString> reply = popup.call(QStringLiteral("PresentData"), request);
    if (!reply.isValid()) {
        printErr(QStringLiteral("PresentData failed: %1: %2")
                     .arg(reply.error().name(), reply.error().message()));
        return exitCallFailed;
    }
    printAnswer(reply.value());
    return 0;
}

int runRequestFileJob(const Options &options, const QString &request) {
    std::unique_ptr<zv::ZvSharedSection> section;
    try {
        const QByteArray image = zvrequest::encodeWideText(request, zv::kSectionSize);
        bool created = false;
        section = zv::ZvSharedSection::create(options.section, 0, &created);
        std::memcpy(section->data(), image.constData(), size_t(image.size()));
    } catch (const std::exception &e) {
        printErr(QString::fromLocal8Bit(e.what()));
        return exitFailure;
    }
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    client.start(options.client, {QStringLiteral("/XpNotify"), options.section});
    int exitCode = exitFailure;
    if (!client.waitForStarted(-1)) {
        printErr(QStringLiteral("cannot start %1: %2").arg(options.client, client.errorString()));
    } else if (!client.waitForFinished(options.timeoutSeconds > 0 ? options.timeoutSeconds * 1000
                                                                  : -1)) {
        printErr(QStringLiteral("the client did not end in time"));
        client.kill();
        client.waitForFinished(-1);
    } else if (client.exitStatus() != QProcess::NormalExit) {
        printErr(QStringLiteral("the client crashed"));
    } else {
        exitCode = client.exitCode();
        try {
            const QString answer =
                zvrequest::decodeWideText(QByteArray(section->data(), section->size()));
            std::printf("exit code: %d\n", exitCode);
            if (answer.isEmpty())
                std::printf("answer document: none\n");
            else
                printAnswer(answer);
        } catch (const std::exception &e) {
            printErr(QString::fromLocal8Bit(e.what()));
            exitCode = exitFailure;
        }
    }
    if (!options.keep)
        zv::ZvSharedSection::unlink(options.section);
    return exitCode;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseOptions(app, options))
        return exitUsage;
    QFile file(options.requestFile);
    if (!file.open(QIODevice::ReadOnly)) {
        printErr(QStringLiteral("cannot read %1: %2").arg(options.requestFile, file.errorString()));
        return exitFailure;
    }
    const QString request = zvrequest::decodeRequestFile(file.readAll());
    return options.dbus ? callPresentData(options, request) : runRequestFileJob(options, request);
}
