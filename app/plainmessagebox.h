// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <string_view>

class QLabel;
class QPushButton;

namespace kavren::app {

// The program's own notices (length warnings, the version text, the update
// commands' notices): no icon, the application title as caption, one "OK"
// that is both the default (Enter) and the cancel (Esc) button, centred on the
// screen, text wrapped at words to half the screen's width, shown literally.
class PlainMessageBox final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlainMessageBox)

public:
    explicit PlainMessageBox(std::string_view text, QWidget* parent = nullptr);
    ~PlainMessageBox() override;

    // Shows the box modally and returns when it is dismissed.
    static void show(std::string_view text);

    // Tabs expanded to stops every eight characters, as the box shows them.
    static QString expandTabs(const QString& text);

    QLabel* textLabel() const { return m_text; }
    QPushButton* okButton() const { return m_ok; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_text = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace kavren::app
