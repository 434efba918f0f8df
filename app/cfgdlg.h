// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QFrame;
class QListWidget;
class QPushButton;

namespace kavren::app {

// The selection dialog: one check-box item per device row. Judged by its
// result alone; OK is QDialog::Accepted, everything else cancels.
class TCfgDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCfgDlg)

public:
    explicit TCfgDlg(QWidget* parent = nullptr);
    ~TCfgDlg() override;

    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QFrame* Bevel1 = nullptr;
    QListWidget* DevSelList = nullptr;

public Q_SLOTS:
    void OKBtnClick();
    void CancelBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace kavren::app
