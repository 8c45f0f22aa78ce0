// SPDX-License-Identifier: MIT
// Runs the benchmarks in a sandbox; started as "--echo-service ADDRESS" it is instead the
// echo service that the bus benchmark compares the task host with.
#include "BenchRun.h"
#include "BenchSandbox.h"
#include "EchoService.h"

#include <QCoreApplication>

#include <cstring>

void stopBusEnvironment();

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--echo-service") == 0)
        return runEchoService(QString::fromLocal8Bit(argv[2]));
    BenchSandbox sandbox;
    const int result = RunBenchmarks(argc, argv);
    stopBusEnvironment();
    return result;
}
