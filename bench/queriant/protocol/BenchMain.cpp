// SPDX-License-Identifier: MIT
// The loopback benchmark starts zvpopupd with QProcess, which wants an application object.
// With --one-job-setup PORT the program is the client process of one job set-up instead.
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

int OneJobSetup(int port);

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--one-job-setup") == 0)
        return OneJobSetup(std::atoi(argv[2]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
