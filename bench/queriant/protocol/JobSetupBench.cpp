// SPDX-License-Identifier: MIT
// Setting up a job with 100 question descriptors: INITNEWJOB and GETNEXTDESCRIPTOR until the
// end marker. Three views of the same work:
// - the message work alone (build and encrypt each request, decrypt, split and parse each
//   answer), through the pure message functions and through TPopupProtocol::ProcessData;
// - a floor for that work: the same bytes copied, run through OpenSSL's AES-128-CBC and cut at
//   every separator, with no parsing;
// - the whole set-up on loopback against zvpopupd: connect, key exchange, INITNEWJOB and the
//   descriptors (skipped when zvpopupd was not built), and as its floor the same number of
//   round trips with messages of the same sizes between two bare processes;
// - the same set-up as the first and only job of a new client process, as the client runs it:
//   it then also pays for what a process sets up once (the cipher library, the locale).
// The answers are framed and encrypted here from the wire format, not by the client's encoder.
#include "LoopbackPeer.h"
#include "PopupMessages.h"
#include "PopupProtocol.h"
#include "PopupServerProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <openssl/evp.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int DescriptorCount = 100;
constexpr int TransactionNumber = 4711;
const QString BenchQueue = QStringLiteral("Bench");

const TCtrChain::SessionKey BenchKey = {0x52, 0x0b, 0xe8, 0x37, 0x9c, 0x61, 0xf4, 0x2d,
                                        0x86, 0x1f, 0xa3, 0x7e, 0xc5, 0x40, 0xd9, 0x13};

// One descriptor in the order the server sends its values (after the command word).
struct DescriptorValues {
    QString name, prompt, description, type, maxLength, max, min, mandatory, defaultAnswer;
    QStringList list;
    QString options, category;
};

// Every question kind in turn, with lists and bounds of a realistic size.
DescriptorValues descriptorValues(int k) {
    static const char *const types[] = {"costcenter", "string",       "integer",     "float",
                                        "money",      "list",         "phonenumber", "sqllist",
                                        "balloon",    "guestaccounts"};
    static const char *const options[] = {"0", "257", "32", "96", "2", "4"};
    const QString type = QString::fromLatin1(types[k % 10]);
    DescriptorValues d;
    d.name = QStringLiteral("Q%1").arg(k, 3, 10, QLatin1Char('0'));
    d.prompt = QStringLiteral("Question %1 of the job").arg(k + 1);
    d.description =
        QStringLiteral("Answer this so that the job can be charged correctly (%1)").arg(type);
    d.type = type;
    d.maxLength = QStringLiteral("40");
    d.max = QStringLiteral("1000.5");
    d.min = QStringLiteral("0.25");
    d.mandatory = k % 3 == 0 ? QStringLiteral("1") : QStringLiteral("0");
    if (type == QLatin1String("list") || type == QLatin1String("guestaccounts"))
        d.list = {QStringLiteral("First choice"), QStringLiteral("Second choice"),
                  QStringLiteral("Third choice"), QStringLiteral("Fourth choice"),
                  QStringLiteral("Fifth choice")};
    if (type == QLatin1String("sqllist")) {
        d.defaultAnswer = QStringLiteral("Printers");
        d.list = {QStringLiteral("Building A"), QStringLiteral("staticusername")};
    } else if (type == QLatin1String("string")) {
        d.defaultAnswer = QStringLiteral("staticusername");
    }
    d.options = QString::fromLatin1(options[k % 6]);
    d.category = QStringLiteral("Category%1").arg(k % 7);
    return d;
}

QStringList wireValues(const DescriptorValues &d) {
    return {
        d.name,    d.prompt,  d.description, d.type,          d.maxLength,
        d.max,     d.min,     d.mandatory,   d.defaultAnswer, d.list.join(QStringLiteral("\r\n")),
        d.options, d.category};
}

QStringList initNewJobValues() {
    return {QString::number(TransactionNumber),
            QStringLiteral("1"),
            QString(),
            QString(),
            QStringLiteral("3"),
            QStringLiteral("Bench questions")};
}

// An answer as the server writes it: identifier and version, 0x0C, six length digits, 0x0C,
// then the command word and every value each followed by 0x0C, the body padded (PKCS #7) and
// encrypted with AES-128-CBC from a zero vector under the session key XOR the key mask.
QByteArray serverAnswer(const QString &verb, const QStringList &values) {
    QByteArray body = verb.toUtf8() + popup::Separator;
    for (const QString &v : values)
        body += v.toUtf8() + popup::Separator;
    std::uint8_t key[16];
    for (int k = 0; k < 16; ++k)
        key[k] = BenchKey[k] ^ TCtrChain::KeyMask[k];
    const std::uint8_t iv[16] = {};
    QByteArray cipher(body.size() + 16, '\0');
    int first = 0, last = 0;
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    auto *out = reinterpret_cast<unsigned char *>(cipher.data());
    EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr, key, iv);
    EVP_EncryptUpdate(ctx, out, &first, reinterpret_cast<const unsigned char *>(body.constData()),
                      static_cast<int>(body.size()));
    EVP_EncryptFinal_ex(ctx, out + first, &last);
    EVP_CIPHER_CTX_free(ctx);
    cipher.truncate(first + last);
    const QByteArray length = QByteArray::number(popup::HeaderSize + cipher.size());
    return "ZVPOPUP1005" + QByteArray(1, popup::Separator) + length.rightJustified(6, '0') +
           popup::Separator + cipher;
}

// The requests the client sends and the answers it receives, in order.
struct JobSetupExchange {
    QList<QPair<QString, QStringList>> requests;
    QList<QByteArray> answers;
};

const JobSetupExchange &jobSetupExchange() {
    static const JobSetupExchange exchange = [] {
        JobSetupExchange e;
        const QString next = QStringLiteral("GETNEXTDESCRIPTOR");
        e.requests.append({QStringLiteral("INITNEWJOB"),
                           {QStringLiteral("WS-0042"), QStringLiteral("printsrv01"), BenchQueue,
                            QStringLiteral("alice"), QStringLiteral("Quarterly report.pdf")}});
        e.answers.append(serverAnswer(QStringLiteral("INITNEWJOB"), initNewJobValues()));
        for (int k = 0; k <= DescriptorCount; ++k) {
            e.requests.append({next, {QString::number(TransactionNumber)}});
            e.answers.append(k < DescriptorCount
                                 ? serverAnswer(next, wireValues(descriptorValues(k)))
                                 : serverAnswer(next, {}));
        }
        return e;
    }();
    return exchange;
}

// Builds every request and parses every answer with the pure functions; the descriptor count.
int parseJobSetup(const JobSetupExchange &e, const popup::TDescriptorContext &context) {
    const QByteArray prefix = popup::HeaderPrefix(popup::ProtocolVersion);
    popup::TJobSettings job;
    QList<popup::TQuestionDescriptor> descriptors;
    for (qsizetype k = 0; k < e.answers.size(); ++k) {
        const QByteArray request = popup::MakePacket(
            prefix, popup::RequestText(e.requests[k].first, e.requests[k].second), &BenchKey);
        benchmark::DoNotOptimize(request.constData());
        const popup::TResponse answer = popup::SplitResponse(e.answers[k], &BenchKey);
        if (k == 0) {
            popup::ParseInitNewJob(answer.Fields, job);
            continue;
        }
        popup::TQuestionDescriptor d;
        if (!popup::ParseDescriptor(answer.Fields, context, d))
            break;
        descriptors.append(d);
    }
    return static_cast<int>(descriptors.size());
}

void BM_JobSetupMessages(benchmark::State &state) {
    const JobSetupExchange &e = jobSetupExchange();
    popup::TDescriptorContext context;
    context.ProcessUserName = QStringLiteral("alice");
    if (parseJobSetup(e, context) != DescriptorCount) {
        state.SkipWithError("the answers did not parse into 100 descriptors");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(parseJobSetup(e, context));
    state.SetItemsProcessed(state.iterations() * DescriptorCount);
}
BENCHMARK(BM_JobSetupMessages)->Unit(benchmark::kMicrosecond);

// The client object's own path: its packet builder and ProcessData, which also looks up the
// descriptor context (locale, translation, user name) for every descriptor.
int processJobSetup(const JobSetupExchange &e, TPopupProtocol &p) {
    p.Descriptors.clear();
    for (qsizetype k = 0; k < e.answers.size(); ++k) {
        benchmark::DoNotOptimize(
            p.MakePacket(popup::RequestText(e.requests[k].first, e.requests[k].second))
                .constData());
        const TPopupVerb verb = k == 0 ? TPopupVerb::InitNewJob : TPopupVerb::GetNextDescriptor;
        if (!p.ProcessData(verb, e.answers[k]))
            break;
    }
    return static_cast<int>(p.Descriptors.size());
}

void BM_JobSetupProcessData(benchmark::State &state) {
    const JobSetupExchange &e = jobSetupExchange();
    TPopupProtocol p;
    p.SessionKey = BenchKey;
    p.EncryptionOn = true;
    if (processJobSetup(e, p) != DescriptorCount) {
        state.SkipWithError("the answers did not parse into 100 descriptors");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(processJobSetup(e, p));
    state.SetItemsProcessed(state.iterations() * DescriptorCount);
}
BENCHMARK(BM_JobSetupProcessData)->Unit(benchmark::kMicrosecond);

// The least any client must do with these bytes: copy each request and answer, run it through
// AES-128-CBC and find its separators.
void BM_JobSetupCopyFloor(benchmark::State &state) {
    const JobSetupExchange &e = jobSetupExchange();
    QList<QByteArray> requests;
    const QByteArray prefix = popup::HeaderPrefix(popup::ProtocolVersion);
    for (const auto &r : e.requests)
        requests.append(
            popup::MakePacket(prefix, popup::RequestText(r.first, r.second), &BenchKey));
    const TCtrChain chain(BenchKey);
    const std::uint8_t iv[16] = {};
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    QByteArray buffer(popup::MaxMessageSize, '\0');
    auto *bytes = reinterpret_cast<unsigned char *>(buffer.data());
    const auto cipherInPlace = [&](const QByteArray &message, int encrypt) {
        std::memcpy(bytes, message.constData(), static_cast<std::size_t>(message.size()));
        const int body = static_cast<int>(message.size()) - popup::HeaderSize;
        int produced = 0;
        EVP_CipherInit_ex(ctx, EVP_aes_128_cbc(), nullptr, chain.Key.data(), iv, encrypt);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        EVP_CipherUpdate(ctx, bytes + popup::HeaderSize, &produced, bytes + popup::HeaderSize,
                         body);
        int fields = 0;
        for (const void *at = bytes;
             (at = std::memchr(at, popup::Separator,
                               static_cast<std::size_t>(bytes + message.size() -
                                                        static_cast<const unsigned char *>(at))));
             at = static_cast<const unsigned char *>(at) + 1)
            ++fields;
        return fields;
    };
    for (auto _ : state) {
        int fields = 0;
        for (qsizetype k = 0; k < e.answers.size(); ++k) {
            fields += cipherInPlace(requests[k], 1);
            fields += cipherInPlace(e.answers[k], 0);
        }
        benchmark::DoNotOptimize(fields);
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetItemsProcessed(state.iterations() * DescriptorCount);
}
BENCHMARK(BM_JobSetupCopyFloor)->Unit(benchmark::kMicrosecond);

// --- loopback ---------------------------------------------------------------------------

QJsonObject scenarioDescriptor(const DescriptorValues &d) {
    QJsonObject o{{QStringLiteral("name"), d.name},
                  {QStringLiteral("prompt"), d.prompt},
                  {QStringLiteral("description"), d.description},
                  {QStringLiteral("type"), d.type},
                  {QStringLiteral("maxLength"), d.maxLength.toInt()},
                  {QStringLiteral("max"), d.max.toDouble()},
                  {QStringLiteral("min"), d.min.toDouble()},
                  {QStringLiteral("mandatory"), d.mandatory.toInt()},
                  {QStringLiteral("options"), d.options.toInt()},
                  {QStringLiteral("category"), d.category}};
    if (!d.defaultAnswer.isEmpty())
        o.insert(QStringLiteral("default"), d.defaultAnswer);
    if (!d.list.isEmpty())
        o.insert(QStringLiteral("list"), QJsonArray::fromStringList(d.list));
    return o;
}

bool writeScenario(const QString &path) {
    QJsonArray descriptors;
    for (int k = 0; k < DescriptorCount; ++k)
        descriptors.append(scenarioDescriptor(descriptorValues(k)));
    const QJsonObject queue{{QStringLiteral("transaction"), TransactionNumber},
                            {QStringLiteral("options"), 3},
                            {QStringLiteral("group"), QStringLiteral("Bench questions")},
                            {QStringLiteral("descriptors"), descriptors}};
    const QJsonObject root{{QStringLiteral("version"), popup::ProtocolVersion},
                           {QStringLiteral("queues"), QJsonObject{{BenchQueue, queue}}}};
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(root).toJson()) > 0;
}

// zvpopupd with the 100-descriptor scenario for the length of one benchmark run.
class PopupServerProcess {
public:
    PopupServerProcess() {
        const QString program = QStringLiteral(ZV_BENCH_BIN_DIR "/zvpopupd");
        const QString scenario = m_dir.filePath(QStringLiteral("bench.json"));
        if (!QFile::exists(program) || !writeScenario(scenario))
            return;
        m_server = std::make_unique<zvtest::PopupServerProcess>(
            program, QStringList{QStringLiteral("--scenario"), scenario, QStringLiteral("--log"),
                                 QStringLiteral("/dev/null")});
    }
    int port() const { return m_server ? m_server->port() : 0; }
    // User and system time the server has used so far; -1 when /proc cannot tell.
    double cpuSeconds() const { return m_server ? ProcessCpuSeconds(m_server->processId()) : -1; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<zvtest::PopupServerProcess> m_server;
};

int loopbackJobSetup(int port) {
    TPopupProtocol p;
    p.Address = QStringLiteral("127.0.0.1");
    p.Port = port;
    p.TimeOut = 5;
    p.Connect();
    p.NegotiateSessionKey();
    p.BC_InitNewJob(QStringLiteral("WS-0042"), QStringLiteral("printsrv01"), BenchQueue,
                    QStringLiteral("alice"), QStringLiteral("Quarterly report.pdf"));
    p.LoadDescriptors();
    p.Close();
    return static_cast<int>(p.Descriptors.size());
}

double elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

void BM_JobSetupLoopback(benchmark::State &state) {
    PopupServerProcess server;
    if (server.port() <= 0) {
        state.SkipWithError("zvpopupd is not built or did not start");
        return;
    }
    try {
        if (loopbackJobSetup(server.port()) != DescriptorCount) {
            state.SkipWithError("the server did not send 100 descriptors");
            return;
        }
        std::vector<double> jobs;
        const double serverBefore = server.cpuSeconds();
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(loopbackJobSetup(server.port()));
            jobs.push_back(elapsedMs(start));
        }
        // The server's share: on an idle machine a job takes about client plus server CPU.
        // Single jobs show what the mean of a run hides: the typical job and the fastest.
        // A label rather than counters, so that the CSV report keeps one set of columns; no
        // commas, which would split its CSV field.
        const double serverAfter = server.cpuSeconds();
        if (serverBefore >= 0 && serverAfter >= 0 && !jobs.empty()) {
            std::sort(jobs.begin(), jobs.end());
            state.SetLabel(
                QStringLiteral("server CPU %1 ms per job; job median %2 ms best %3 ms")
                    .arg((serverAfter - serverBefore) * 1000 / static_cast<double>(jobs.size()), 0,
                         'f', 2)
                    .arg(jobs[jobs.size() / 2], 0, 'f', 2)
                    .arg(jobs.front(), 0, 'f', 2)
                    .toStdString());
        }
    } catch (const zv::ZvError &error) {
        state.SkipWithError(error.message().toUtf8().constData());
    }
    state.SetItemsProcessed(state.iterations() * DescriptorCount);
}
BENCHMARK(BM_JobSetupLoopback)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// One job in a new process of this program (see OneJobSetup): the time of the job alone, as
// the process measured it, without starting the program.
void BM_JobSetupLoopbackNewProcess(benchmark::State &state) {
    PopupServerProcess server;
    if (server.port() <= 0) {
        state.SkipWithError("zvpopupd is not built or did not start");
        return;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const QStringList args{QStringLiteral("--one-job-setup"), QString::number(server.port())};
    for (auto _ : state) {
        QProcess child;
        child.start(self, args);
        const bool done = child.waitForFinished(30000) && child.exitCode() == 0;
        const QByteArray answer = child.readAllStandardOutput().trimmed();
        bool ok = false;
        const double ms = answer.startsWith("JOB ") ? answer.mid(4).toDouble(&ok) : 0;
        if (!done || !ok) {
            state.SkipWithError("the client process did not set up its job");
            break;
        }
        state.SetIterationTime(ms / 1000);
    }
    state.SetItemsProcessed(state.iterations() * DescriptorCount);
}
BENCHMARK(BM_JobSetupLoopbackNewProcess)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

// --- loopback floor ---------------------------------------------------------------------

// Requests and answers of a set-up, the key exchange included, as byte strings of the sizes
// the client and server send.
RoundTrips setUpRoundTrips() {
    const JobSetupExchange &e = jobSetupExchange();
    const QByteArray prefix = popup::HeaderPrefix(popup::ProtocolVersion);
    const QByteArray modulusHex(256, 'A');
    RoundTrips r;
    r.requests.append(
        popup::MakePacket(prefix, popup::RequestText(QStringLiteral("GETPUBLICKEY"), {}), nullptr));
    r.answers.append(QByteArray(popup::HeaderSize + 20 + modulusHex.size() + 7, 'k'));
    r.requests.append(popup::MakePacket(
        prefix,
        popup::RequestText(QStringLiteral("SETSESSIONKEY"), {QString::fromLatin1(modulusHex)}),
        nullptr));
    r.answers.append(QByteArray(popup::HeaderSize + 16, 's'));
    for (qsizetype k = 0; k < e.answers.size(); ++k) {
        r.requests.append(popup::MakePacket(
            prefix, popup::RequestText(e.requests[k].first, e.requests[k].second), &BenchKey));
        r.answers.append(e.answers[k]);
    }
    return r;
}

void BM_LoopbackRoundTripFloor(benchmark::State &state) {
    const RoundTrips trips = setUpRoundTrips();
    EchoPeer peer(trips);
    QByteArray buffer(popup::MaxMessageSize, '\0');
    if (peer.port() <= 0 || !roundTrips(peer.port(), trips, buffer)) {
        state.SkipWithError("the loopback peer did not answer");
        return;
    }
    for (auto _ : state) {
        if (!roundTrips(peer.port(), trips, buffer)) {
            state.SkipWithError("the loopback peer stopped answering");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * DescriptorCount);
}
BENCHMARK(BM_LoopbackRoundTripFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

// The child side of BM_JobSetupLoopbackNewProcess: one job set-up, its time on standard output.
int OneJobSetup(int port) {
    try {
        const auto start = std::chrono::steady_clock::now();
        if (loopbackJobSetup(port) != DescriptorCount)
            return 1;
        std::printf("JOB %.3f\n", elapsedMs(start));
        return 0;
    } catch (const zv::ZvError &) {
        return 1;
    }
}
