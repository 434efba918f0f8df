// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/findbar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace kavren::app {

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FindBar"));
    setAccessibleName(QStringLiteral("Find device"));
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 2, 1);
    layout->setSpacing(4);

    auto* label = new QLabel(QStringLiteral("Find:"), this);
    m_line = new QLineEdit(this);
    m_line->setObjectName(QStringLiteral("FindText"));
    m_line->setAccessibleName(QStringLiteral("Find device"));
    m_line->setAccessibleDescription(
        QStringLiteral("Part of a MAC address, name, version, DeviceIP or description"));
    label->setBuddy(m_line);
    m_next = new QToolButton(this);
    m_next->setObjectName(QStringLiteral("FindNext"));
    m_next->setText(QStringLiteral("Next"));
    m_next->setAccessibleName(QStringLiteral("Find next"));
    m_next->setToolTip(QStringLiteral("Find next (F3)"));
    m_previous = new QToolButton(this);
    m_previous->setObjectName(QStringLiteral("FindPrevious"));
    m_previous->setText(QStringLiteral("Previous"));
    m_previous->setAccessibleName(QStringLiteral("Find previous"));
    m_previous->setToolTip(QStringLiteral("Find previous (Shift+F3)"));
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("FindResult"));
    m_result->setTextFormat(Qt::PlainText);
    // Its text is what was found: that stays the name a screen reader reads.
    m_result->setAccessibleDescription(QStringLiteral("Find result"));
    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("FindClose"));
    m_close->setText(QStringLiteral("Close"));
    m_close->setAccessibleName(QStringLiteral("Close find bar"));
    m_close->setToolTip(QStringLiteral("Close (Esc)"));

    layout->addWidget(label);
    layout->addWidget(m_line, 1);
    layout->addWidget(m_next);
    layout->addWidget(m_previous);
    layout->addWidget(m_result, 1);
    layout->addWidget(m_close);

    connect(m_line, &QLineEdit::textEdited, this, &FindBar::textEdited);
    connect(m_next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(m_previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(m_close, &QToolButton::clicked, this, &FindBar::close);
    m_line->installEventFilter(this);
    hide();
}

FindBar::~FindBar() = default;

QString FindBar::text() const {
    return m_line->text();
}

void FindBar::open() {
    // Given its clear button only now: the button reads the style's icon
    // files, a cost the window's start would pay for a bar it hides.
    m_line->setClearButtonEnabled(true);
    show();
    raise();
    m_line->setFocus(Qt::ShortcutFocusReason);
    m_line->selectAll();
}

void FindBar::setResult(const QString& text) {
    m_result->setText(text);
}

QString FindBar::result() const {
    return m_result->text();
}

void FindBar::close() {
    hide();
    Q_EMIT closed();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_line && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (key->modifiers() & Qt::ShiftModifier)
                    Q_EMIT findPrevious();
                else
                    Q_EMIT findNext();
                return true;
            case Qt::Key_Escape:
                close();
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kavren::app
