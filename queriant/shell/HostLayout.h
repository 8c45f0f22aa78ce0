// SPDX-License-Identifier: MIT
// Placement decisions of the host window: a dialog's place in the job and the window's
// position on its monitor.
#pragma once

#include "Questions.h"

#include <QPoint>
#include <QRect>
#include <QSize>

class TQuestionManager;

// First of several, single, last of several, otherwise middle; first match wins.
TFormMode FormModeFor(const TQuestionManager &manager, const TQuestionSet *set);

// Top-left corner that centres a client area of that size on the monitor (halves rounded
// toward zero), in the monitor's coordinates plus its origin.
QPoint CentredOrigin(const QRect &monitor, const QSize &client);
