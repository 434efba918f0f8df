// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogprompts.h"

#include <QByteArray>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <utility>

#include "app/cfgdlg.h"
#include "app/pwddlg.h"
#include "app/textbridge.h"
#include "usecases/configuration.h"
#include "wording/wording.h"

namespace kavren::app {

DialogPrompts::DialogPrompts(TPwdDlg& pwdDlg, TCfgDlg& cfgDlg,
                             std::function<void(std::string_view)> plainMessage)
    : m_pwdDlg(pwdDlg), m_cfgDlg(cfgDlg), m_plainMessage(std::move(plainMessage)) {}

std::string_view updateStopText(usecases::UpdateStop reason) {
    switch (reason) {
        case usecases::UpdateStop::AddressError:
            return wording::kAddressError;
        case usecases::UpdateStop::Cancelled:
            return wording::kCancelled;
        case usecases::UpdateStop::PasswordNotLatin1:
            return wording::kPasswordCharsetError;
    }
    return {};
}

void DialogPrompts::stopped(usecases::UpdateStop reason) {
    if (m_plainMessage)
        m_plainMessage(updateStopText(reason));
}

std::string DialogPrompts::confirm(const devices::DeviceList& list, int row) {
    return confirm(wording::confirmationCaption(list, row), wording::confirmationLines(list, row));
}

std::optional<std::vector<int>> DialogPrompts::selectDevices(const devices::DeviceList& list) {
    std::vector<std::string> items;
    for (int row = 1; row <= list.size(); ++row)
        items.push_back(wording::selectionItem(list, row));
    return selectDevices(items);
}

std::string DialogPrompts::confirm(std::string_view caption,
                                   const std::vector<std::string>& lines) {
    m_pwdDlg.setWindowTitle(toQt(caption));
    m_pwdDlg.CfgList->clear();
    for (const std::string& line : lines)
        m_pwdDlg.CfgList->appendPlainText(toQt(line));
    m_pwdDlg.exec();

    // Handed over as UTF-8, which loses nothing: the update turns it into
    // the device's bytes with the rule every password source shares, and
    // refuses what does not fit. The temporary copy is zeroed before it is
    // released.
    QByteArray utf8 = m_pwdDlg.Password->text().toUtf8();
    std::string password(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    utf8.fill('\0');
    return password;
}

void DialogPrompts::offerRunPassword(bool offer) {
    m_pwdDlg.offerRunPassword(offer);
}

bool DialogPrompts::runPasswordTaken() const {
    return !m_pwdDlg.RunPassword->isHidden() && m_pwdDlg.RunPassword->isChecked();
}

void DialogPrompts::clearPassword() {
    m_pwdDlg.Password->clear();
}

std::optional<std::vector<int>> DialogPrompts::selectDevices(
    const std::vector<std::string>& items) {
    QListWidget& list = *m_cfgDlg.DevSelList;
    // Emptied on every way out, so each showing starts from a fresh,
    // unticked list.
    struct ListEmptier {
        QListWidget& list;
        ~ListEmptier() { list.clear(); }
    } const emptier{list};

    list.clear();
    for (const std::string& text : items) {
        auto* item = new QListWidgetItem(toQt(text), &list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (m_cfgDlg.exec() != QDialog::Accepted)
        return std::nullopt;

    std::vector<int> ticked;
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->checkState() == Qt::Checked)
            ticked.push_back(i);
    }
    return ticked;
}

}  // namespace kavren::app
