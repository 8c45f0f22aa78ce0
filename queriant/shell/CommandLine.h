// SPDX-License-Identifier: MIT
// What a command line asks of the process before any job runs: register or remove the
// automation server, print help or the version, or run a job in the run mode it selects.
#pragma once

#include "JobStart.h"

#include <QString>
#include <QStringList>

enum class TStartAction { Run, RegServer, UnregServer, Help, Version };

// parameters: the command line without the program path. The registration switches win over
// everything else, then --help and --version; anything else runs a job.
TStartAction StartActionFromParameters(const QStringList &parameters);

// The text --help prints.
QString UsageText();
