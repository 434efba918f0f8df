// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kavren::app {

// The confirmation dialog: lists the settings about to be sent and takes the
// device's current password. It holds no logic beyond emptying the password
// box whenever it is dismissed without OK (Cancel, Esc or the close control),
// so a window closed in doubt never confirms.
class TPwdDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPwdDlg)

public:
    explicit TPwdDlg(QWidget* parent = nullptr);
    ~TPwdDlg() override;

    // The form's widgets keep the names the window code and the tests look
    // them up by; they are owned by the dialog.
    QLabel* Label1 = nullptr;
    QLineEdit* Password = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPlainTextEdit* CfgList = nullptr;
    // "Use this password for the remaining devices": shown, unticked, only
    // while a run of several devices offers it; the dialog grows to hold it.
    QCheckBox* RunPassword = nullptr;

    void offerRunPassword(bool offer);

public Q_SLOTS:
    void CancelBtnClick();
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The first tab stop of CfgList, just past the widest padded header.
    void fitTabStop();
    bool m_tabStopFitted = false;
};

}  // namespace kavren::app
