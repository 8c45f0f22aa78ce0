// SPDX-License-Identifier: MIT
// Facts about the running process: where its executable lives, and debugger output.
#pragma once

#include <QString>

namespace zv {

// Full path of the running executable (the equivalent of the module file name).
QString modulePath();
// Folder of the running executable, without a trailing slash.
QString moduleDir();

// Debugger output: one line to standard error in a single write, so lines from several
// threads or processes never interleave. Under systemd it lands in the journal.
void debugOutput(const QString &line);

} // namespace zv
