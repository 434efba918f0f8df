// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QDialog;

namespace kavren::app {

// What the two dialogs share as windows: a fixed-size dialog border with a
// close control but no minimise, maximise or help button, modal, in the
// button-face colour, with the given caption and client size.
void setUpDialogFrame(QDialog& dialog, const QString& objectName, const QString& caption,
                      int clientWidth, int clientHeight);

// Places the dialog in the middle of its screen; called each time it shows.
void centreOnScreen(QDialog& dialog);

}  // namespace kavren::app
