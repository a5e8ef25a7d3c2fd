#pragma once

#include <QStyledItemDelegate>

// Paints a row of the server list: a server that did not answer its last question greyed (its
// values are old), and a padlock in the lock column of one that needs a join password.
class ServerRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
