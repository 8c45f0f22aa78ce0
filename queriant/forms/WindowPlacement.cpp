// SPDX-License-Identifier: MIT
#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QWidget>

bool ClientPlacesWindows() {
    // "wayland", "wayland-egl", "wayland-brcm", ...
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void PlaceTopLevel(QWidget &window, const QPoint &origin) {
    if (ClientPlacesWindows())
        window.move(origin);
}
