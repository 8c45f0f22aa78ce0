// SPDX-License-Identifier: MIT
// Runs the benchmarks in a sandbox; started as "--echo-service ADDRESS" it is instead the
// echo service that the bus benchmark compares the task host with.
#include "BenchSandbox.h"
#include "EchoService.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstring>

void stopBusEnvironment();

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--echo-service") == 0)
        return runEchoService(QString::fromLocal8Bit(argv[2]));
    BenchSandbox sandbox;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopBusEnvironment();
    return 0;
}
