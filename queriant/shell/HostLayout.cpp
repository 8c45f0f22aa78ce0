// SPDX-License-Identifier: MIT
#include "HostLayout.h"

QPoint CentredOrigin(const QRect &monitor, const QSize &client) {
    return monitor.topLeft() +
           QPoint((monitor.width() - client.width()) / 2, (monitor.height() - client.height()) / 2);
}
