#pragma once

#include <QStyledItemDelegate>

// Draws the Server Log's rows. The view measures one row for all of them (uniform sizes, so a
// long list is laid out without measuring every line), and Qt takes the newest line as that
// sample: a short newest line would cut every other row short. Every row is as wide as the
// longest line instead, so the view scrolls sideways only when a line is wider than it; a line
// longer than RowCharacters ends in "..." and shows whole in its tool tip, the clipboard and a
// saved file.
class ServerLogDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Characters of the view's font a row holds at most.
    static constexpr int RowCharacters = 240;

    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
