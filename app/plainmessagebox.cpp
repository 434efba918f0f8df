// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/plainmessagebox.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/textbridge.h"

namespace kavren::app {

PlainMessageBox::PlainMessageBox(std::string_view text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PlainMessage"));
    setWindowTitle(QApplication::applicationDisplayName());
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    m_text = new QLabel(expandTabs(toQt(text)), this);
    m_text->setObjectName(QStringLiteral("Text"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen)
        m_text->setMaximumWidth(screen->availableGeometry().width() / 2);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OKBtn"));
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    // QDialog already turns Esc into reject(); OK is the only way out besides,
    // so it is the cancel button as well.
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

PlainMessageBox::~PlainMessageBox() = default;

void PlainMessageBox::show(std::string_view text) {
    PlainMessageBox box(text);
    box.exec();
}

QString PlainMessageBox::expandTabs(const QString& text) {
    QString out;
    out.reserve(text.size());
    qsizetype column = 0;
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\t')) {
            const qsizetype spaces = 8 - column % 8;
            out.append(QString(spaces, QLatin1Char(' ')));
            column += spaces;
        } else {
            out.append(ch);
            column = (ch == QLatin1Char('\n')) ? 0 : column + 1;
        }
    }
    return out;
}

void PlainMessageBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the window that asked for it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    m_ok->setFocus();
}

}  // namespace kavren::app
