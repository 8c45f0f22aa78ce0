// SPDX-License-Identifier: MIT
// Lines per second into the file sink against a plain buffered write of the same formatted
// line, and the cost of an entry the filters drop.
#include "FileLog.h"
#include "Log.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The line the sink writes for LogInfo("Request %S took %D ms", "GETNEXTDESCRIPTOR", 42)
// with the client's default options.
QByteArray formattedLine() {
    TLogPrefixFields fields;
    fields.time = LogLocalTimeNow();
    fields.sourceName = QStringLiteral("Queriant.exe");
    return LogEscape(LogPrefix(0x21, fields, TLogLocaleInfo()) +
                     QStringLiteral("Request GETNEXTDESCRIPTOR took 42 ms")) +
           "\r\n";
}

void BM_FileSinkLines(benchmark::State &state) {
    QTemporaryDir dir;
    TClassData &log = TClassData::instance();
    log.setOptions(0x21);
    log.setSourceName(QStringLiteral("Queriant.exe"));
    TZvFileLog file(dir.filePath(QStringLiteral("client.log")));
    const QString verb = QStringLiteral("GETNEXTDESCRIPTOR");
    for (auto _ : state)
        LogInfo("Request %S took %D ms", verb, 42);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FileSinkLines);

void BM_PlainBufferedWrite(benchmark::State &state) {
    QTemporaryDir dir;
    FILE *f =
        std::fopen(QFile::encodeName(dir.filePath(QStringLiteral("plain.log"))).constData(), "ab");
    const QByteArray line = formattedLine();
    for (auto _ : state)
        std::fwrite(line.constData(), 1, size_t(line.size()), f);
    std::fclose(f);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainBufferedWrite);

// For comparison: the same line with one write call each, which is how the sink writes so
// that no line waits in a buffer when the process dies.
void BM_PlainUnbufferedWrite(benchmark::State &state) {
    QTemporaryDir dir;
    const int fd = ::open(QFile::encodeName(dir.filePath(QStringLiteral("plain.log"))).constData(),
                          O_WRONLY | O_CREAT | O_APPEND, 0600);
    const QByteArray line = formattedLine();
    for (auto _ : state)
        benchmark::DoNotOptimize(::write(fd, line.constData(), size_t(line.size())));
    ::close(fd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainUnbufferedWrite);

void BM_DroppedEntry(benchmark::State &state) {
    TClassData &log = TClassData::instance();
    log.setFilters(3);
    log.setCategories(lcGeneral);
    const QString text = QStringLiteral("not formatted");
    for (auto _ : state)
        LogInfo(lcZvCom, "Dropped %s %d", text, 1);
}
BENCHMARK(BM_DroppedEntry);

} // namespace

BENCHMARK_MAIN();
