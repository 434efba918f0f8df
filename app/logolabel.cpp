// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logolabel.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPixmap>

namespace kavren::app {

LogoLabel::LogoLabel(QWidget* parent) : QLabel(parent) {
    setScaledContents(true);
    choosePicture();
    setCursor(Qt::PointingHandCursor);
}

LogoLabel::~LogoLabel() = default;

void LogoLabel::choosePicture() {
    // Decoded by Qt's GIF support: the one frame, with colour index 48 left
    // transparent so the window's background shows through. The box stretches
    // the picture to its size in device pixels, so on a scaled screen a
    // larger source keeps the logo sharp.
    const qreal ratio = devicePixelRatioF();
    if (ratio == m_pictureRatio)
        return;
    m_pictureRatio = ratio;
    setPixmap(QPixmap(ratio > 1 ? QStringLiteral(":/kavren/logo@2x.gif")
                                : QStringLiteral(":/kavren/logo.gif")));
}

void LogoLabel::paintEvent(QPaintEvent* event) {
    // The window may have moved to a screen of another scale meanwhile.
    choosePicture();
    QLabel::paintEvent(event);
}

void LogoLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

}  // namespace kavren::app
