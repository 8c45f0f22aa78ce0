// SPDX-License-Identifier: MIT
// The main of benchmarks that need no more than an application object.
#include "BenchRun.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
