// SPDX-License-Identifier: MIT
// Data-service figures, each with its baseline in the same run:
//   - BM_DecodeTable (decoder + ReadTable of a 10,000-row, 3-column table) against
//     BM_LengthPrefixedWalk (type bytes and lengths only, over the same bytes);
//   - BM_ConnectServerList1000 (connect, authenticate with the key offer, one encrypted
//     ServerList of 1,000 rows, disconnect; against zvdbserver) against BM_LoopbackFloor (the
//     same round trips with messages of the same sizes between two bare processes). The
//     counters give the client's and the server's CPU per exchange.
#include "ComClnt.h"
#include "PopupServerProcess.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
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

double processCpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

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
    const double serverStart = processCpuSeconds(server.processId());
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
        (processCpuSeconds(server.processId()) - serverStart) * 1e3 / n;
}
BENCHMARK(BM_ConnectServerList1000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// Message sizes of the exchange above: server first, then two requests with their answers.
struct Trips {
    qsizetype greeting, connect, connected, request, answer;
};

Trips exchangeSizes() {
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
    return {offer.Build(false, {}).size(), connect.Build(false, {}).size(),
            connected.Build(false, {}).size(), request.Build(true, {}).size(),
            answer.Build(true, {}).size()};
}

bool sendBytes(int fd, qsizetype size) {
    static const QByteArray zeros(1 << 20, '\0');
    while (size > 0) {
        const ssize_t n =
            ::send(fd, zeros.constData(),
                   static_cast<size_t>(std::min<qsizetype>(size, zeros.size())), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        size -= n;
    }
    return true;
}

bool receiveBytes(int fd, qsizetype size) {
    char buffer[65536];
    while (size > 0) {
        const ssize_t n =
            ::recv(fd, buffer, static_cast<size_t>(std::min<qsizetype>(size, sizeof buffer)), 0);
        if (n <= 0)
            return false;
        size -= n;
    }
    return true;
}

// A forked process that plays the server's side of the exchange with bare bytes.
class BarePeer {
public:
    explicit BarePeer(const Trips &t) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
            ::listen(m_listen, 4) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            for (;;) {
                const int fd = ::accept(m_listen, nullptr, nullptr);
                if (fd < 0)
                    ::_exit(1);
                (void)(sendBytes(fd, t.greeting) && receiveBytes(fd, t.connect) &&
                       sendBytes(fd, t.connected) && receiveBytes(fd, t.request) &&
                       sendBytes(fd, t.answer));
                ::close(fd);
            }
        }
        if (m_pid > 0)
            m_port = ntohs(address.sin_port);
    }
    ~BarePeer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_listen >= 0)
            ::close(m_listen);
    }
    int port() const { return m_port; }
    pid_t processId() const { return m_pid; }

private:
    int m_listen = -1;
    pid_t m_pid = -1;
    int m_port = 0;
};

bool bareExchange(int port, const Trips &t) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        receiveBytes(fd, t.greeting) && sendBytes(fd, t.connect) && receiveBytes(fd, t.connected) &&
        sendBytes(fd, t.request) && receiveBytes(fd, t.answer);
    if (fd >= 0)
        ::close(fd);
    return ok;
}

void BM_LoopbackFloor(benchmark::State &state) {
    const Trips trips = exchangeSizes();
    BarePeer peer(trips);
    if (peer.port() <= 0) {
        state.SkipWithError("the bare peer did not start");
        return;
    }
    const double clientStart = selfCpuSeconds();
    const double serverStart = processCpuSeconds(peer.processId());
    for (auto _ : state) {
        if (!bareExchange(peer.port(), trips)) {
            state.SkipWithError("the bare peer stopped answering");
            break;
        }
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["client_cpu_ms"] = (selfCpuSeconds() - clientStart) * 1e3 / n;
    state.counters["server_cpu_ms"] = (processCpuSeconds(peer.processId()) - serverStart) * 1e3 / n;
}
BENCHMARK(BM_LoopbackFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace
