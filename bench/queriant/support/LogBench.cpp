// SPDX-License-Identifier: MIT
// Lines per second into the file sink against a plain buffered write of the same formatted
// line, and the cost of an entry the filters drop.
//
// The client logs from its GUI thread, inside the Qt event loop, where the sink collects the
// lines of one turn and writes them together: BM_FileSinkLines measures that, with every line
// logged in one turn (the buffer goes out at its bound). BM_FileSinkLinesPerTurn/n turns the
// loop after every n lines, and BM_FileSinkLinesNoLoop is a thread without a loop, where every
// line is written at once; both are for information.
#include "FileLog.h"
#include "Log.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

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

// Runs body inside a turn of a Qt event loop.
template <typename Body> void inEventLoop(Body body) {
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        body();
        loop.quit();
    });
    loop.exec();
}

// Logs the benchmark's line; every linesPerTurn lines (0: never) the event loop turns.
void logLines(benchmark::State &state, int linesPerTurn) {
    QTemporaryDir dir;
    TClassData &log = TClassData::instance();
    log.setOptions(0x21);
    log.setSourceName(QStringLiteral("Queriant.exe"));
    TZvFileLog file(dir.filePath(QStringLiteral("client.log")));
    const QString verb = QStringLiteral("GETNEXTDESCRIPTOR");
    int inTurn = 0;
    for (auto _ : state) {
        LogInfo("Request %S took %D ms", verb, 42);
        if (linesPerTurn > 0 && ++inTurn == linesPerTurn) {
            QCoreApplication::processEvents();
            inTurn = 0;
        }
    }
    file.flush();
    state.SetItemsProcessed(state.iterations());
}

void BM_FileSinkLines(benchmark::State &state) {
    inEventLoop([&] { logLines(state, 0); });
}
BENCHMARK(BM_FileSinkLines);

void BM_FileSinkLinesPerTurn(benchmark::State &state) {
    inEventLoop([&] { logLines(state, int(state.range(0))); });
}
BENCHMARK(BM_FileSinkLinesPerTurn)->Arg(1)->Arg(10);

void BM_FileSinkLinesNoLoop(benchmark::State &state) {
    logLines(state, 0);
}
BENCHMARK(BM_FileSinkLinesNoLoop);

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
