// SPDX-License-Identifier: MIT
// zvdbserver: a database server of the data-service protocol on the loopback interface, for
// tests and the demo.
//
//   zvdbserver --data FILE [--port N] [--key-bits B] [--no-encryption]
//              [--fault KIND[:ARG]] [--fault-verb VERB] [--log FILE]
//
// Prints "PORT <n>" on standard output once it listens (--port 0, the default, picks a free
// port). Fault kinds: foreign-id (an answer with another packet id first), verb-case (the verb
// in other letter case), error:TEXT (an error status), close-mid (half an answer, then close),
// long-length (a length field of 0x500000), drip:MS (one byte per MS milliseconds),
// auth-error:TEXT (an error packet instead of the authentication packet), auth-refused (the
// client's answer to the challenge refused).
#include "DbServer.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

int usage(const char *message) {
    std::fprintf(stderr, "zvdbserver: %s\n", message);
    std::fprintf(stderr, "usage: zvdbserver --data FILE [--port N] [--key-bits B] [--no-encryption]"
                         " [--fault KIND[:ARG]] [--fault-verb VERB] [--log FILE]\n");
    return 2;
}

bool parseFault(const QString &text, DbFaultPlan &plan) {
    const QString kind = text.section(QLatin1Char(':'), 0, 0);
    plan.argument = text.section(QLatin1Char(':'), 1);
    const struct {
        const char *name;
        DbFault fault;
    } kinds[] = {{"foreign-id", DbFault::ForeignId},
                 {"verb-case", DbFault::VerbCase},
                 {"error", DbFault::Error},
                 {"close-mid", DbFault::CloseMid},
                 {"long-length", DbFault::LongLength},
                 {"drip", DbFault::Drip},
                 {"auth-error", DbFault::AuthError},
                 {"auth-refused", DbFault::AuthRefused}};
    for (const auto &k : kinds) {
        if (kind == QLatin1String(k.name)) {
            plan.kind = k.fault;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString dataPath, logPath;
    int port = 0, bits = 1024;
    bool offerEncryption = true;
    DbFaultPlan fault;
    for (qsizetype k = 0; k < args.size(); ++k) {
        const QString &a = args[k];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage("a database server for tests and the demo");
            return 0;
        }
        if (a == QLatin1String("--no-encryption")) {
            offerEncryption = false;
            continue;
        }
        if (k + 1 >= args.size())
            return usage("missing value after an option");
        const QString value = args[++k];
        if (a == QLatin1String("--data"))
            dataPath = value;
        else if (a == QLatin1String("--port"))
            port = value.toInt();
        else if (a == QLatin1String("--key-bits"))
            bits = value.toInt();
        else if (a == QLatin1String("--fault")) {
            if (!parseFault(value, fault))
                return usage("unknown fault");
        } else if (a == QLatin1String("--fault-verb"))
            fault.verb = value;
        else if (a == QLatin1String("--log"))
            logPath = value;
        else
            return usage("unknown option");
    }
    if (dataPath.isEmpty())
        return usage("--data is required");
    // The client's arithmetic takes moduli of at most 1024 bits.
    if (bits < 256 || bits > 1024)
        return usage("--key-bits must be 256 to 1024");

    QString error;
    DbData data = DbData::load(dataPath, error);
    if (!error.isEmpty())
        return usage(error.toLocal8Bit().constData());
    std::FILE *log = stderr;
    if (!logPath.isEmpty() && !(log = std::fopen(logPath.toLocal8Bit().constData(), "a")))
        return usage("cannot open the log file");

    DbServer server(std::move(data), fault, offerEncryption, log);
    if (offerEncryption && !server.makeKey(bits, error))
        return usage(error.toLocal8Bit().constData());
    const int listening = server.listenOnLoopback(port, error);
    if (listening < 0)
        return usage(error.toLocal8Bit().constData());
    std::printf("PORT %d\n", listening);
    std::fflush(stdout);
    server.run();
    return 1;
}
