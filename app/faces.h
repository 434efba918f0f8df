// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

namespace kavren::app {

// The one list of faces the window asks for by name: every widget that
// sets a face takes it from here.

// Makes the faces that travel with the program known to Qt: the Windows
// build carries Liberation Sans (Arial's widths) in its resources and
// Liberation Sans Narrow (Arial Narrow's) beside the executable, so its
// window is laid out the same on every machine, and the dialogs fall back
// to Liberation Sans where the system's own face is missing. Elsewhere the
// package depends on the faces and this finds nothing to do. Called once,
// after the application object exists and before the first window.
void registerEmbeddedFaces();

// The form's face at `pixelSize`, the caption face of every widget.
QFont formFont(int pixelSize);

// The grid's narrow face, one pixel below the form's.
QFont gridFont();

}  // namespace kavren::app
