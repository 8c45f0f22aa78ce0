// SPDX-License-Identifier: MIT
// Runs the benchmarks the command line selects; the exit code for main.
#pragma once

int RunBenchmarks(int &argc, char **argv);
