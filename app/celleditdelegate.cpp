// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/celleditdelegate.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/devicetablemodel.h"

namespace kavren::app {

namespace {

constexpr const char* kColProperty = "kavrenGridCol";
constexpr const char* kRowProperty = "kavrenGridRow";

}  // namespace

CellEditDelegate::CellEditDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

CellEditDelegate::~CellEditDelegate() = default;

QWidget* CellEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                        const QModelIndex& index) const {
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("CellEditor"));
    editor->setFrame(false);
    const int col = index.column();
    const int row = DeviceTableModel::gridRow(index);
    // The cell it edits, for the final check on Esc.
    editor->setProperty(kColProperty, col);
    editor->setProperty(kRowProperty, row);
    // textEdited, not textChanged: only the user's own changes count, not the
    // editor being filled with the cell's text.
    connect(editor, &QLineEdit::textEdited, this,
            [this, col, row](const QString& text) { Q_EMIT textTaken(col, row, text); });
    return editor;
}

void CellEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    const QString text = index.data(Qt::EditRole).toString();
    // The cell follows the editor while the user types; writing the same text
    // back would only move the cursor to the end.
    if (line->text() != text)
        line->setText(text);
}

void CellEditDelegate::setModelData(QWidget* editor, QAbstractItemModel* /*model*/,
                                    const QModelIndex& index) const {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        Q_EMIT textTaken(index.column(), DeviceTableModel::gridRow(index), line->text());
    }
}

bool CellEditDelegate::eventFilter(QObject* object, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* line = qobject_cast<QLineEdit*>(object);
        if (line && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers().testFlag(Qt::ControlModifier)) {
            const QVariant col = line->property(kColProperty);
            const QVariant row = line->property(kRowProperty);
            if (col.isValid() && row.isValid())
                Q_EMIT textForSelection(col.toInt(), row.toInt(), line->text());
        }
    }
    // Esc ends editing without handing the text back, but the cell already
    // holds what was typed (it follows every keystroke), so it keeps it; the
    // final length check runs as when leaving the cell.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (auto* line = qobject_cast<QLineEdit*>(object)) {
            const QVariant col = line->property(kColProperty);
            const QVariant row = line->property(kRowProperty);
            if (col.isValid() && row.isValid())
                Q_EMIT textTaken(col.toInt(), row.toInt(), line->text());
        }
    }
    // A message box (a length warning) or a menu taking the focus does not end
    // editing: the editor stays open with the text as typed, and the cell
    // already holds that text.
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            return false;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

}  // namespace kavren::app
