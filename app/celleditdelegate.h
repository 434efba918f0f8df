// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

namespace kavren::app {

// The in-place editor of the device grid. The grid takes over the editor's
// text after every change and once more when editing ends; both are
// reported through textTaken, which is where the length warnings come from.
class CellEditDelegate final : public QStyledItemDelegate {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CellEditDelegate)

public:
    explicit CellEditDelegate(QObject* parent = nullptr);
    ~CellEditDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

Q_SIGNALS:
    // col and row are grid coordinates (row 1 is the first device row).
    void textTaken(int col, int row, const QString& text) const;
    // Ctrl+Enter: the editor's text is for every selected cell of its column.
    // Raised before the editor closes and hands its own cell the text.
    void textForSelection(int col, int row, const QString& text) const;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
};

}  // namespace kavren::app
