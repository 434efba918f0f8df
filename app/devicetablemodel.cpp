// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/devicetablemodel.h"

#include <QApplication>
#include <QPalette>
#include <QStringList>

#include "app/plaintooltip.h"
#include "app/textbridge.h"
#include "protocol/ipv4.h"

namespace kavren::app {

namespace {

// A shared address is tinted red over the cell's own background, so the mark
// reads as a warning in light and dark palettes alike.
QColor markColour(const QColor& base) {
    const QColor red(220, 40, 40);
    constexpr double kShare = 0.4;
    const auto mix = [](int a, int b) { return static_cast<int>(a + (b - a) * kShare); };
    return QColor(mix(base.red(), red.red()), mix(base.green(), red.green()),
                  mix(base.blue(), red.blue()));
}

// Rows named in a tooltip; a default address shared by hundreds of devices
// would otherwise make one as tall as the screen.
constexpr std::size_t kRowsNamed = 4;

QString rowList(const DeviceGrid& grid, const std::vector<int>& rows) {
    QStringList named;
    for (std::size_t i = 0; i < rows.size() && i < kRowsNamed; ++i) {
        named << QStringLiteral("row %1 (%2)")
                     .arg(rows[i])
                     .arg(toQt(grid.cell(DeviceGrid::ColMac, rows[i])));
    }
    QString text = named.join(QStringLiteral(", "));
    if (rows.size() > kRowsNamed)
        text += QStringLiteral(" and %1 more").arg(rows.size() - kRowsNamed);
    return text;
}

}  // namespace

DeviceTableModel::DeviceTableModel(DeviceGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_rows(grid.rowCount() - 1) {
    m_grid.list().setObserver(this);
    m_grid.setHeadersChanged([this] { headersChanged(); });
}

DeviceTableModel::~DeviceTableModel() {
    m_grid.setHeadersChanged({});
    m_grid.list().setObserver(nullptr);
}

int DeviceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int DeviceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : DeviceGrid::kColCount;
}

QVariant DeviceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return toQt(m_grid.cell(index.column(), gridRow(index)));
        case Qt::BackgroundRole:
            if (const auto outcome = m_outcomes.find(gridRow(index));
                index.column() == DeviceGrid::ColRow && outcome != m_outcomes.end() &&
                outcome->second.first >= Accepted) {
                const bool success =
                    outcome->second.first == Accepted || outcome->second.first == Verified;
                return QBrush(success ? QColor(0xC8, 0xE6, 0xC9) : QColor(0xFF, 0xD5, 0x80));
            }
            {
                // The five fixed columns look like the header: they are labels,
                // not fields.
                const QPalette palette = QApplication::palette();
                const QColor base = index.column() < DeviceGrid::kFixedCols
                                        ? palette.color(QPalette::Button)
                                        : palette.color(QPalette::Base);
                if (addressMarks(index.column(), gridRow(index)) & (SharedAddress | SecondSender))
                    return QBrush(markColour(base));
                if (index.column() < DeviceGrid::kFixedCols)
                    return palette.brush(QPalette::Button);
                return {};
            }
        case Qt::ToolTipRole:
            if (const auto outcome = m_outcomes.find(gridRow(index));
                index.column() == DeviceGrid::ColRow && outcome != m_outcomes.end())
                return outcome->second.second;
            return addressToolTip(index.column(), gridRow(index));
        case Qt::AccessibleDescriptionRole: {
            // Heard on whichever cell of the row a reader stands: the tinted
            // row-number cell never takes the focus. An address cell adds
            // what its own mark says.
            QStringList said;
            if (const auto outcome = m_outcomes.find(gridRow(index)); outcome != m_outcomes.end())
                said << outcome->second.second;
            if (const QString address = addressToolTip(index.column(), gridRow(index));
                !address.isEmpty())
                said << address;
            return said.isEmpty() ? QVariant() : QVariant(said.join(QStringLiteral("; ")));
        }
        case OutcomeRole: {
            const auto outcome = m_outcomes.find(gridRow(index));
            return outcome == m_outcomes.end() ? NoOutcome : outcome->second.first;
        }
        case AddressMarkRole:
            return addressMarks(index.column(), gridRow(index));
        default:
            return {};
    }
}

QVariant DeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return toQt(m_grid.cell(section, 0));
    if (role == Qt::SizeHintRole)
        return QSize(m_grid.columnWidth(section), 18);
    // The row-number column shows no header; a screen reader still names it.
    if (role == Qt::AccessibleTextRole && section == DeviceGrid::ColRow)
        return QStringLiteral("Row number");
    return {};
}

Qt::ItemFlags DeviceTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() < DeviceGrid::kFixedCols)
        return Qt::ItemIsEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // The grid-wide editing switch follows the row selected last; only the
    // current cell is ever edited, so the switch alone decides.
    if (m_grid.editing())
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool DeviceTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    if (index.column() == DeviceGrid::ColNewPassword) {
        const auto password = passwordFromQt(value.toString());
        if (!password)
            return false;
        m_grid.setCell(index.column(), gridRow(index), *password);
        return true;
    }
    m_grid.setCell(index.column(), gridRow(index), fromQt(value.toString()));
    return true;
}

void DeviceTableModel::setSourceSubnet(std::optional<Subnet> subnet) {
    if (subnet == m_subnet)
        return;
    m_subnet = subnet;
    if (m_rows > 0) {
        Q_EMIT dataChanged(index(0, DeviceGrid::ColDeviceIp),
                           index(m_rows - 1, DeviceGrid::ColDeviceIp));
    }
}

int DeviceTableModel::addressMarks(int col, int row) const {
    if ((col != DeviceGrid::ColDeviceIp && col != DeviceGrid::ColIp && col != DeviceGrid::ColMac) ||
        !m_grid.isDeviceRow(row) || row >= m_grid.rowCount() - 1)
        return NoMark;
    if (col == DeviceGrid::ColMac)
        return m_grid.list().rivalSenders(row).empty() ? NoMark : SecondSender;
    const devices::AddressIndex& addresses = m_grid.list().addresses();
    const std::optional<protocol::Ipv4Address> reported = m_grid.list().device(row).deviceIp;
    if (col == DeviceGrid::ColIp) {
        // Unchanged, the new address only repeats the DeviceIP cell's mark.
        const auto toTake = m_grid.list().addressToTake(row);
        if (!toTake || toTake == reported)
            return NoMark;
        return addresses.reportedByOther(*toTake, row) ? SharedAddress : NoMark;
    }
    if (!reported) {
        // Only a device put together by hand has no address; it cannot
        // share one, but it did not answer from it either.
        return m_grid.list().firstSender(row) != 0 ? ForeignSender : NoMark;
    }
    int marks = addresses.reportedByOther(*reported, row) ? SharedAddress : NoMark;
    if (m_subnet && !devices::sameSubnet(*reported, m_subnet->first, m_subnet->second))
        marks |= OutsideSubnet;
    if (const std::uint32_t sender = m_grid.list().firstSender(row);
        sender != 0 && reported->value() != sender)
        marks |= ForeignSender;
    return marks;
}

QString DeviceTableModel::addressToolTip(int col, int row) const {
    const int marks = addressMarks(col, row);
    if (marks == NoMark)
        return {};
    const auto address = col == DeviceGrid::ColIp ? m_grid.list().addressToTake(row)
                                                  : m_grid.list().device(row).deviceIp;
    const std::vector<int> others =
        address ? m_grid.list().addresses().rowsReporting(*address, row) : std::vector<int>();
    QStringList lines;
    if (col == DeviceGrid::ColMac) {
        QStringList senders{toQt(protocol::Ipv4Address(m_grid.list().firstSender(row)).text())};
        for (const std::uint32_t rival : m_grid.list().rivalSenders(row))
            senders << toQt(protocol::Ipv4Address(rival).text());
        const QString last = senders.takeLast();
        lines << QStringLiteral(
                     "replies with this MAC came from %1 and %2: another host may be answering "
                     "in this device's place")
                     .arg(senders.join(QStringLiteral(", ")), last);
    } else if (col == DeviceGrid::ColIp) {
        lines << QStringLiteral("already reported by %1").arg(rowList(m_grid, others));
    } else {
        if (marks & SharedAddress)
            lines << QStringLiteral("also reported by %1").arg(rowList(m_grid, others));
        if (marks & OutsideSubnet) {
            lines << QStringLiteral(
                         "outside the subnet of %1 (%2): an update will not reach it without "
                         "Control Packet Force Broadcast")
                         .arg(toQt(m_subnet->first.text()), toQt(m_subnet->second.text()));
        }
        if (marks & ForeignSender) {
            lines << QStringLiteral("the reply came from %1, not from this address")
                         .arg(toQt(protocol::Ipv4Address(m_grid.list().firstSender(row)).text()));
        }
    }
    // Shown as plain text whatever it holds: QToolTip would take a text that
    // looks like markup for rich text.
    return plainToolTip(lines.join(QLatin1Char('\n')));
}

void DeviceTableModel::announceAddressMarks() {
    // Rows whose marks another row's arrival or change turned on or off.
    for (const int row : m_grid.list().takeAddressMarkChanges()) {
        if (row < 1 || row > m_rows)
            continue;
        Q_EMIT dataChanged(indexOf(DeviceGrid::ColDeviceIp, row), indexOf(DeviceGrid::ColIp, row));
    }
}

void DeviceTableModel::setOutcome(int gridRow, Outcome outcome, const QString& text) {
    m_outcomes[gridRow] = {outcome, text};
    const QModelIndex cell = indexOf(DeviceGrid::ColRow, gridRow);
    Q_EMIT dataChanged(cell, cell);
}

void DeviceTableModel::listCleared() {
    // A cleared list renumbers its devices: their marks go with them.
    m_outcomes.clear();
    // Removing the rows (rather than resetting the model) lets the view move
    // its current cell up to the first row by itself, which is the selection
    // the grid itself reports after a clear.
    const int rows = m_grid.rowCount() - 1;
    if (m_rows > rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    } else if (m_rows < rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    // Clearing forgot every mark with the rows.
    m_grid.list().takeAddressMarkChanges();
    if (m_rows > 0) {
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, DeviceGrid::kColCount - 1));
    }
}

void DeviceTableModel::devicesAppended(int first, int last) {
    // Grid rows first..last were the trailing row and new rows; last + 1 is
    // the new trailing row. One insertion covers a whole batch.
    const int firstRow = first;
    const int lastRow = last + 1;
    const int oldRows = m_rows;
    const int rows = m_grid.rowCount() - 1;
    if (rows > oldRows) {
        beginInsertRows({}, oldRows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    const int firstChanged = firstRow - 1;
    const int lastChanged = std::min(oldRows, lastRow) - 1;
    if (firstChanged >= 0 && firstChanged <= lastChanged) {
        Q_EMIT dataChanged(index(firstChanged, 0), index(lastChanged, DeviceGrid::kColCount - 1));
    }
    announceAddressMarks();
}

void DeviceTableModel::fieldChanged(devices::DeviceField field, int device) {
    if (device < 1 || device > m_rows)
        return;
    const QModelIndex changed = indexOf(DeviceGrid::columnOf(field), device);
    Q_EMIT dataChanged(changed, changed);
    announceAddressMarks();
}

void DeviceTableModel::headersChanged() {
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, DeviceGrid::kColCount - 1);
    Q_EMIT columnWidthsChanged();
}

}  // namespace kavren::app
