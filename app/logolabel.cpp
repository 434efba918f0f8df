// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logolabel.h"

#include <QMouseEvent>
#include <QPixmap>

namespace kavren::app {

LogoLabel::LogoLabel(QWidget* parent) : QLabel(parent) {
    // Decoded by Qt's GIF support: the one frame, with colour index 48 left
    // transparent so the window's background shows through.
    setPixmap(QPixmap(QStringLiteral(":/kavren/logo.gif")));
    setScaledContents(true);
    setCursor(Qt::PointingHandCursor);
}

LogoLabel::~LogoLabel() = default;

void LogoLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

}  // namespace kavren::app
