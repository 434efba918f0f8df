// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/anchoredplacement.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace kavren::app {

AnchoredPlacement::AnchoredPlacement(QWidget* form, QSize storedSize)
    : QObject(form), m_form(form), m_stored(storedSize) {
    m_form->setMinimumSize(storedSize);
    m_form->installEventFilter(this);
}

AnchoredPlacement::~AnchoredPlacement() = default;

void AnchoredPlacement::place(QWidget* widget, const QRect& stored, int anchors) {
    m_placed.push_back({widget, stored, anchors});
    widget->setGeometry(stored);
}

void AnchoredPlacement::dockAtBottom(QWidget* bar, QWidget* host) {
    m_bar = bar;
    m_barHost = host;
    // Showing or hiding the bar changes the host's place.
    bar->installEventFilter(this);
}

void AnchoredPlacement::apply() {
    const int dx = std::max(0, m_form->width() - m_stored.width());
    const int dy = std::max(0, m_form->height() - m_stored.height());
    for (const Placed& p : m_placed) {
        if (!p.widget)
            continue;
        QRect r = p.stored;
        if (p.anchors & Right) {
            if (p.anchors & Left)
                r.setWidth(r.width() + dx);
            else
                r.translate(dx, 0);
        }
        if (p.anchors & Bottom) {
            if (p.anchors & Top)
                r.setHeight(r.height() + dy);
            else
                r.translate(0, dy);
        }
        if (p.widget == m_barHost && m_bar && !m_bar->isHidden()) {
            const int barHeight = m_bar->sizeHint().height();
            m_bar->setGeometry(r.left(), r.bottom() + 1 - barHeight, r.width(), barHeight);
            r.setHeight(r.height() - barHeight);
        }
        p.widget->setGeometry(r);
    }
}

bool AnchoredPlacement::eventFilter(QObject* watched, QEvent* event) {
    const bool formResized = watched == m_form && event->type() == QEvent::Resize;
    const bool barToggled =
        watched == m_bar && m_bar &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent);
    if (formResized || barToggled)
        apply();
    return QObject::eventFilter(watched, event);
}

}  // namespace kavren::app
