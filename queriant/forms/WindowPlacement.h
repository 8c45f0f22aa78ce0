// SPDX-License-Identifier: MIT
// Where a top-level window goes. Under X11 the client places its windows itself; a Wayland
// compositor places every top-level window and ignores the position a client asks for, so
// there the request is not made at all.
#pragma once

#include <QPoint>

class QWidget;

// False on Wayland: the compositor decides where windows go.
bool ClientPlacesWindows();
// Moves the window's frame to origin where the client may place windows.
void PlaceTopLevel(QWidget &window, const QPoint &origin);
