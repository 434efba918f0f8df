#include "app/devicetablemodel.h"

#include <QApplication>
#include <QPalette>

#include "app/textbridge.h"

namespace kavren::app {

DeviceTableModel::DeviceTableModel(DeviceGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_rows(grid.rowCount() - 1) {
    m_grid.setObserver(this);
}

DeviceTableModel::~DeviceTableModel() {
    m_grid.setObserver(nullptr);
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
            // The five fixed columns look like the header: they are labels,
            // not fields.
            if (index.column() < DeviceGrid::kFixedCols) {
                return QApplication::palette().brush(QPalette::Button);
            }
            return {};
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
    m_grid.setCell(index.column(), gridRow(index), fromQt(value.toString()));
    return true;
}

void DeviceTableModel::gridReset() {
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
    if (m_rows > 0) {
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, DeviceGrid::kColCount - 1));
    }
}

void DeviceTableModel::rowsAppended(int firstRow, int lastRow) {
    // Rows firstRow..lastRow-1 were the trailing row and new rows; lastRow is
    // the new trailing row. One insertion covers a whole batch.
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
}

void DeviceTableModel::cellChanged(int col, int row) {
    if (row < 1 || row > m_rows)
        return;
    const QModelIndex changed = indexOf(col, row);
    Q_EMIT dataChanged(changed, changed);
}

void DeviceTableModel::headersChanged() {
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, DeviceGrid::kColCount - 1);
    Q_EMIT columnWidthsChanged();
}

}  // namespace kavren::app
