#pragma once

#include <QStyledItemDelegate>

// Paints a cell of the Players table as plain text on the row's background: the style's full
// item painting costs several times as much per cell, and a refresh repaints many cells.
class PlayerCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
