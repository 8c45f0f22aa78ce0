// SPDX-License-Identifier: MIT
// The loopback benchmark starts zvpopupd with QProcess, which wants an application object.
// With --one-job-setup PORT the program is the client process of one job set-up instead.
#include "BenchRun.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>

int OneJobSetup(int port);

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--one-job-setup") == 0)
        return OneJobSetup(std::atoi(argv[2]));
    return RunBenchmarks(argc, argv);
}
