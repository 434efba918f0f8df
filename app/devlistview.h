// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTableView>

namespace kavren::app {

class DeviceTableModel;

// The device grid on screen: 18-pixel rows, the header row fixed, columns 0-4
// never current, editing only where the grid's switch allows. It reports
// every change of the current cell, and a click on the current cell while
// editing is off, as a cell selection; moving the current cell itself, as
// Qt does when rows under it are removed, counts too.
class DevListView final : public QTableView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DevListView)

public:
    static constexpr int kRowHeight = 18;

    explicit DevListView(QWidget* parent = nullptr);
    ~DevListView() override;

    void setDeviceModel(DeviceTableModel* model);
    // Makes (col, gridRow) the current cell without reporting a selection:
    // the grid's starting cell.
    void setCurrentCellQuietly(int col, int gridRow);
    // Column widths as the grid holds them, each widened just enough where
    // the view's face would cut a header or a full-length device text.
    void applyColumnWidths();
    // Fits a column to the longest text it holds, header included: what a
    // double click on the header divider after it does.
    void fitColumnToTexts(int col);

Q_SIGNALS:
    // col and row are grid coordinates (row 1 is the first device row).
    void cellSelected(int col, int row);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

private:
    bool isFixedAt(const QPoint& pos) const;
    void onRowCountChanged(int oldCount, int newCount);
    void fitRowNumbers(int modelRows);
    // The width a column needs to show `text` whole in a cell, and `title`
    // whole in its header, with the view's fonts and style.
    int widthFor(const QString& text) const;
    int headerWidthFor(const QString& title) const;
    const QString& widestDeviceText(int col) const;
    void onCurrentChanged(const QModelIndex& current);

    DeviceTableModel* m_model = nullptr;
    bool m_quiet = false;
    // Digits of the largest row number the row-number column was fitted to,
    // and the width it was given then (0: the grid's own width).
    int m_rowNumberDigits = 0;
    int m_rowNumberWidth = 0;
    // The widest MAC and address texts in the face of `fontKey`.
    struct WidestTexts {
        QString fontKey;
        QString mac;
        QString address;
    };
    mutable WidestTexts m_widest;
};

}  // namespace kavren::app
