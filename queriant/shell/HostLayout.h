// SPDX-License-Identifier: MIT
// Placement of the host window on its monitor.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Top-left corner that centres a client area of that size on the monitor (halves rounded
// toward zero), in the monitor's coordinates plus its origin.
QPoint CentredOrigin(const QRect &monitor, const QSize &client);
