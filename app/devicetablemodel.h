// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "app/devicegrid.h"

namespace kavren::app {

// The device grid as a Qt table: grid row 0 (the headers) becomes the
// horizontal header, grid row r (r >= 1) becomes model row r - 1. The device
// list stays the only store of texts; this adapter keeps nothing but the row count
// the view last heard of, so that every change can be announced with the
// begin/end pairs Qt expects even though the grid reports it afterwards.
class DeviceTableModel final : public QAbstractTableModel, private devices::DeviceListObserver {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeviceTableModel)

public:
    explicit DeviceTableModel(DeviceGrid& grid, QObject* parent = nullptr);
    ~DeviceTableModel() override;

    // How an address cell is marked (AddressMarkRole): another listed device
    // reports the same address, or the device lies outside the chosen
    // adapter's subnet; the MAC cell: replies with that MAC came from more
    // than one sender; the DeviceIP cell: the reply came from another
    // address than the one it reports (one host may answer for several
    // devices, so that is told, not tinted). The colour is
    // Qt::BackgroundRole, the words Qt::ToolTipRole.
    enum AddressMark : int {
        NoMark = 0,
        SharedAddress = 1,
        OutsideSubnet = 2,
        SecondSender = 4,
        ForeignSender = 8,
    };
    static constexpr int AddressMarkRole = Qt::UserRole + 1;

    // The outcome of a row's last update (OutcomeRole), tinted on the row
    // number in colours apart from the address marks' red, and told in its
    // tooltip and accessible description.
    // NoAnswer: no result message within the wait. Verified and
    // NotVerified: the device was looked for again after "Setting OK".
    enum Outcome : int {
        NoOutcome = 0,
        Sent = 1,
        Accepted = 2,
        Refused = 3,
        NoAnswer = 4,
        Verified = 5,
        NotVerified = 6
    };
    static constexpr int OutcomeRole = Qt::UserRole + 2;
    void setOutcome(int gridRow, Outcome outcome, const QString& text);

    static int gridRow(const QModelIndex& index) { return index.row() + 1; }
    QModelIndex indexOf(int col, int gridRow) const { return index(gridRow - 1, col); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The chosen adapter's address and net mask, against which device
    // addresses are checked; nothing checks nothing.
    using Subnet = std::pair<protocol::Ipv4Address, protocol::Ipv4Address>;
    void setSourceSubnet(std::optional<Subnet> subnet);

Q_SIGNALS:
    // The header texts or widths changed (set-up).
    void columnWidthsChanged();

private:
    // DeviceListObserver: device n is grid row n, model row n - 1.
    void listCleared() override;
    void devicesAppended(int first, int last) override;
    void fieldChanged(devices::DeviceField field, int device) override;
    void headersChanged();

    int addressMarks(int col, int row) const;
    QString addressToolTip(int col, int row) const;
    void announceAddressMarks();

    DeviceGrid& m_grid;
    std::map<int, std::pair<Outcome, QString>> m_outcomes;  // by grid row
    std::optional<Subnet> m_subnet;
    int m_rows;  // model rows the view knows of: grid rows minus the header
};

}  // namespace kavren::app
