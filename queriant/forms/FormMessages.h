// SPDX-License-Identifier: MIT
// Validation messages with their one argument filled in.
#pragma once

#include "ResourceStrings.h"

#include <QString>

// The translated text with its first "%s" or "%d" replaced by argument.
QString MessageWithArgument(const TResourceString &res, const QString &argument);
