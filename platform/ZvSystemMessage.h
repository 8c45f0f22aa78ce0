// SPDX-License-Identifier: MIT
// Text of an operating-system error number, for messages that quote the system's reason.
#pragma once

#include <QString>

namespace zv {

// The system's text for an errno value ("No such file or directory"); empty when the system
// has none for it. Result-code texts of the component layer are in ZvComRuntime.h.
QString systemErrorMessage(int errnoValue);

} // namespace zv
