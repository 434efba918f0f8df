// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace kavren::app {

// Asks for the first of consecutive addresses, and optionally a mask and a
// gateway for every row, for "Fill Addresses…" of the grid's context menu.
// It only asks: the grid's commands check and fill.
class FillAddressesDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FillAddressesDlg)

public:
    explicit FillAddressesDlg(QWidget* parent = nullptr);
    ~FillAddressesDlg() override;

    QLineEdit* First = nullptr;
    QLineEdit* Mask = nullptr;
    QLineEdit* Gateway = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

}  // namespace kavren::app
