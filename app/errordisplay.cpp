// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/errordisplay.h"

#include <QApplication>
#include <QMessageBox>

#include "app/textbridge.h"

namespace kavren::app {

std::string errorDisplayText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

void showErrorDisplay(std::string_view message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    toQt(errorDisplayText(message)), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ErrorDisplay"));
    box.setTextFormat(Qt::PlainText);
    // Owned by the application, not by a window: every window of the program
    // is blocked while it is up, and focus returns where it was afterwards.
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void showCurrentException() {
    try {
        throw;
    } catch (const std::exception& error) {
        showErrorDisplay(error.what());
    } catch (...) {
        showErrorDisplay({});
    }
}

}  // namespace kavren::app
