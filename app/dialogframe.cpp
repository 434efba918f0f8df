// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogframe.h"

#include <QDialog>
#include <QPalette>
#include <QScreen>

namespace kavren::app {

void setUpDialogFrame(QDialog& dialog, const QString& objectName, const QString& caption,
                      int clientWidth, int clientHeight) {
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(caption);
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    dialog.setFixedSize(clientWidth, clientHeight);
    dialog.setModal(true);
    dialog.setBackgroundRole(QPalette::Button);
    dialog.setAutoFillBackground(true);
}

void centreOnScreen(QDialog& dialog) {
    if (const QScreen* screen = dialog.screen()) {
        QRect frame = dialog.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        dialog.move(frame.topLeft());
    }
}

}  // namespace kavren::app
