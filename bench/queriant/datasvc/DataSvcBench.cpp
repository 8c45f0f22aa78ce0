// SPDX-License-Identifier: MIT
// Data-service figures, each with its baseline in the same run:
//   - BM_DecodeTable (decoder + ReadTable of a 10,000-row, 3-column table) against
//     BM_LengthPrefixedWalk (type bytes and lengths only, over the same bytes);
//   - BM_ConnectServerList1000 (connect, authenticate with the key offer, one encrypted
//     ServerList of 1,000 rows, disconnect; against zvdbserver) against BM_LoopbackFloor (the
//     same round trips with messages of the same sizes between two bare processes). The
//     counters give the client's and the server's CPU per exchange.
#include "ComClnt.h"
#include "LoopbackPeer.h"
#include "PopupServerProcess.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int TableRows = 10000;
constexpr int ServerRows = 1000;

QByteArray tablePacket() {
    TZvComEncodePacket p(QStringLiteral("SpoolqList"));
    p.AddValue(TZvComInteger8('S'));
    p.AddValue(TZvComTableStart(3));
    p.AddCardinal(TableRows);
    p.AddString(QStringLiteral("server"));
    p.AddString(QStringLiteral("spoolq"));
    p.AddString(QStringLiteral("jobs"));
    for (int r = 0; r < TableRows; ++r) {
        p.AddString(QStringLiteral("PRINTSRV%1").arg(r, 5, 10, QLatin1Char('0')));
        p.AddString(QStringLiteral("Queue number %1").arg(r));
        p.AddCardinal(static_cast<quint32>(r));
    }
    return p.Build(false, {});
}

// The least any reader must do: step over each value by its type byte and length.
std::size_t lengthPrefixedWalk(const QByteArray &bytes) {
    static constexpr int Fixed[64] = {0, 1, 1, 2, 2, 4, 4, 4, 8, 8, 4, 4, 4, 4};
    const auto *p = reinterpret_cast<const std::uint8_t *>(bytes.constData()) + 13;
    const auto *end = reinterpret_cast<const std::uint8_t *>(bytes.constData()) + bytes.size();
    std::size_t values = 0;
    while (p < end) {
        const int code = *p & 0x3F;
        if ((*p & 0x80) || code == 0) {
            ++p;
        } else if (code == 10 || code == 11) {
            std::uint32_t length;
            std::memcpy(&length, p + 1, 4);
            p += 5 + length;
        } else {
            p += 1 + Fixed[code];
        }
        ++values;
    }
    return values;
}

void BM_DecodeTable(benchmark::State &state) {
    const QByteArray bytes = tablePacket();
    for (auto _ : state) {
        TZvComDecodePacket d(bytes);
        d.ReadStatus();
        auto table = d.ReadTable();
        benchmark::DoNotOptimize(table->RowCount());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DecodeTable)->Unit(benchmark::kMicrosecond);

void BM_LengthPrefixedWalk(benchmark::State &state) {
    const QByteArray bytes = tablePacket();
    for (auto _ : state)
        benchmark::DoNotOptimize(lengthPrefixedWalk(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_LengthPrefixedWalk)->Unit(benchmark::kMicrosecond);

double selfCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString serverData(const QTemporaryDir &dir) {
    const QString path = dir.filePath(QStringLiteral("servers.json"));
    QByteArray json = "{\"servers\": [";
    for (int k = 0; k < ServerRows; ++k)
        json += (k ? "," : "") + QStringLiteral("{\"server\": \"BENCHSRV%1\", \"service\": "
                                                "\"ZvPopupSvr\", \"number\": %2}")
                                     .arg(k, 4, 10, QLatin1Char('0'))
                                     .arg(k)
                                     .toUtf8();
    json += "]}";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size())
        return QString();
    return path;
}

void BM_ConnectServerList1000(benchmark::State &state) {
    QTemporaryDir dir;
    const QString data = serverData(dir);
    zvtest::PopupServerProcess server(
        QStringLiteral(ZV_BENCH_BIN_DIR "/zvdbserver"),
        {QStringLiteral("--data"), data, QStringLiteral("--log"), QStringLiteral("/dev/null")});
    if (data.isEmpty() || server.port() == 0) {
        state.SkipWithError("zvdbserver did not start");
        return;
    }
    const QString port = QString::number(server.port());
    const double clientStart = selfCpuSeconds();
    const double serverStart = ProcessCpuSeconds(server.processId());
    for (auto _ : state) {
        TZvComClient client(QStringLiteral("BENCH"), 10, port, QStringLiteral("ZvDatabaseSvr"),
                            QStringLiteral("Database Server"), QStringLiteral("127.0.0.1"));
        auto request = std::make_unique<TZvComEncodePacket>(QStringLiteral("ServerList"));
        request->AddCardinal(0);
        const auto table = client.Query(std::move(request));
        if (table->RowCount() != ServerRows || !client.Encryption()) {
            state.SkipWithError("unexpected answer");
            break;
        }
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["client_cpu_ms"] = (selfCpuSeconds() - clientStart) * 1e3 / n;
    state.counters["server_cpu_ms"] =
        (ProcessCpuSeconds(server.processId()) - serverStart) * 1e3 / n;
}
BENCHMARK(BM_ConnectServerList1000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// The exchange above as bare bytes of the same sizes: the server speaks first, then two
// requests with their answers.
RoundTrips exchangeTrips() {
    TZvComEncodePacket offer(QStringLiteral("AUTHENTICATE"));
    offer.AddInteger(1);
    offer.AddInteger(1);
    offer.AddBinary(QByteArray(3, '\1'));
    offer.AddBinary(QByteArray(128, '\1'));
    TZvComEncodePacket connect(QStringLiteral("CONNECT"));
    connect.AddString(TZvComClient::MachineName());
    connect.AddString(QStringLiteral("BENCH"));
    connect.AddInteger(1);
    connect.AddInteger(1);
    connect.AddBinary(QByteArray(128, '\1'));
    TZvComEncodePacket connected(QStringLiteral("CONNECT"));
    connected.AddValue(TZvComInteger8('S'));
    TZvComEncodePacket request(QStringLiteral("ServerList"));
    request.AddCardinal(0);
    TZvComEncodePacket answer(QStringLiteral("ServerList"));
    answer.AddValue(TZvComInteger8('S'));
    answer.AddValue(TZvComTableStart(3));
    answer.AddCardinal(ServerRows);
    for (const char *c : {"server", "service", "number"})
        answer.AddString(QString::fromLatin1(c));
    for (int k = 0; k < ServerRows; ++k) {
        answer.AddString(QStringLiteral("BENCHSRV%1").arg(k, 4, 10, QLatin1Char('0')));
        answer.AddString(QStringLiteral("ZvPopupSvr"));
        answer.AddString(QString::number(k));
    }
    RoundTrips t;
    t.requests = {QByteArray(), connect.Build(false, {}), request.Build(true, {})};
    t.answers = {offer.Build(false, {}), connected.Build(false, {}), answer.Build(true, {})};
    return t;
}

void BM_LoopbackFloor(benchmark::State &state) {
    const RoundTrips trips = exchangeTrips();
    EchoPeer peer(trips);
    QByteArray buffer(trips.answers.last().size(), '\0');
    if (peer.port() <= 0) {
        state.SkipWithError("the bare peer did not start");
        return;
    }
    const double clientStart = selfCpuSeconds();
    const double serverStart = ProcessCpuSeconds(peer.processId());
    for (auto _ : state) {
        if (!roundTrips(peer.port(), trips, buffer)) {
            state.SkipWithError("the bare peer stopped answering");
            break;
        }
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["client_cpu_ms"] = (selfCpuSeconds() - clientStart) * 1e3 / n;
    state.counters["server_cpu_ms"] = (ProcessCpuSeconds(peer.processId()) - serverStart) * 1e3 / n;
}
BENCHMARK(BM_LoopbackFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace
