// SPDX-License-Identifier: MIT
// zvpopupd: a popup server on the loopback interface for tests and the demo.
//
//   zvpopupd --scenario FILE [--port N] [--key-bits B] [--exponent E] [--key PEM]
//            [--hex-digits bytes|bare] [--fault KIND[:ARG]] [--fault-verb VERB]
//            [--fault-from N] [--log FILE]
//
// Prints "PORT <n>" on standard output once it listens (--port 0, the default, picks a free
// port). Fault kinds: silent (never answer), header:N (N bytes, then nothing), close-mid-body,
// wrong-length (says 10 bytes more than it sends), lowercase-id, bad-id (another identifier),
// drip:MS (one byte per MS), garbage (random bytes instead of the answer), late:MS (the whole
// answer after MS).
// --hex-digits bare sends the public key's numbers without leading zero digits (65537 as
// 10001, an odd count), as some servers do; bytes (the default) sends whole bytes.
#include "PopupServer.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

int usage(const char *message) {
    std::fprintf(stderr, "zvpopupd: %s\n", message);
    std::fprintf(stderr,
                 "usage: zvpopupd --scenario FILE [--port N] [--key-bits B] [--exponent E]"
                 " [--key PEM] [--hex-digits bytes|bare] [--fault KIND[:ARG]] [--fault-verb VERB]"
                 " [--fault-from N] [--log FILE]\n");
    return 2;
}

bool parseFault(const QString &text, FaultPlan &plan) {
    const QString kind = text.section(QLatin1Char(':'), 0, 0);
    const QString argument = text.section(QLatin1Char(':'), 1);
    plan.argument = argument.toInt();
    if (kind == QLatin1String("silent"))
        plan.kind = Fault::Silent;
    else if (kind == QLatin1String("header"))
        plan.kind = Fault::HeaderBytes;
    else if (kind == QLatin1String("close-mid-body"))
        plan.kind = Fault::CloseMidBody;
    else if (kind == QLatin1String("wrong-length"))
        plan.kind = Fault::WrongLength;
    else if (kind == QLatin1String("lowercase-id"))
        plan.kind = Fault::LowerCaseId;
    else if (kind == QLatin1String("bad-id"))
        plan.kind = Fault::BadId;
    else if (kind == QLatin1String("drip"))
        plan.kind = Fault::Drip;
    else if (kind == QLatin1String("garbage"))
        plan.kind = Fault::Garbage;
    else if (kind == QLatin1String("late"))
        plan.kind = Fault::Late;
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString scenarioPath, keyPath, logPath;
    int port = 0, bits = 1024;
    unsigned exponent = 65537;
    bool bareHex = false;
    FaultPlan fault;
    for (qsizetype k = 0; k < args.size(); ++k) {
        const QString &a = args[k];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage("a popup server for tests and the demo");
            return 0;
        }
        if (k + 1 >= args.size())
            return usage("missing value after an option");
        const QString value = args[++k];
        if (a == QLatin1String("--scenario"))
            scenarioPath = value;
        else if (a == QLatin1String("--port"))
            port = value.toInt();
        else if (a == QLatin1String("--key-bits"))
            bits = value.toInt();
        else if (a == QLatin1String("--exponent"))
            exponent = value.toUInt();
        else if (a == QLatin1String("--key"))
            keyPath = value;
        else if (a == QLatin1String("--hex-digits")) {
            if (value != QLatin1String("bytes") && value != QLatin1String("bare"))
                return usage("--hex-digits takes bytes or bare");
            bareHex = value == QLatin1String("bare");
        } else if (a == QLatin1String("--fault")) {
            if (!parseFault(value, fault))
                return usage("unknown fault");
        } else if (a == QLatin1String("--fault-verb"))
            fault.verb = value;
        else if (a == QLatin1String("--fault-from"))
            fault.fromRequest = value.toInt();
        else if (a == QLatin1String("--log"))
            logPath = value;
        else
            return usage("unknown option");
    }
    if (scenarioPath.isEmpty())
        return usage("--scenario is required");

    QString error;
    Scenario scenario = Scenario::load(scenarioPath, error);
    if (!error.isEmpty())
        return usage(error.toLocal8Bit().constData());
    std::FILE *log = stderr;
    if (!logPath.isEmpty() && !(log = std::fopen(logPath.toLocal8Bit().constData(), "a")))
        return usage("cannot open the log file");

    PopupServer server(std::move(scenario), fault, log);
    server.setBareHex(bareHex);
    if (!server.makeKey(bits, exponent, keyPath, error))
        return usage(error.toLocal8Bit().constData());
    const int listening = server.listenOnLoopback(port, error);
    if (listening < 0)
        return usage(error.toLocal8Bit().constData());
    std::printf("PORT %d\n", listening);
    std::fflush(stdout);
    server.run();
    return 1;
}
