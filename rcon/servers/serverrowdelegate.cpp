#include "rcon/servers/serverrowdelegate.h"

#include "rcon/servers/serverlistmodel.h"

#include <QPainter>
#include <QPainterPath>

void ServerRowDelegate::initStyleOption(QStyleOptionViewItem *option,
                                        const QModelIndex &index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(ServerListModel::SilentRole).toBool()) {
        const QColor grey = option->palette.color(QPalette::Disabled, QPalette::Text);
        option->palette.setColor(QPalette::Text, grey);
        option->palette.setColor(
            QPalette::HighlightedText,
            option->palette.color(QPalette::Disabled, QPalette::HighlightedText));
    }
}

void ServerRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (index.column() != ServerListModel::Lock ||
        !index.data(ServerListModel::JoinPasswordRole).toBool())
        return;
    // A padlock as tall as the text, in the middle of the cell.
    const qreal height = option.fontMetrics.height() * 0.8;
    const qreal width = height * 0.75;
    const QRectF cell = option.rect;
    const QPointF corner(cell.center().x() - width / 2, cell.center().y() - height / 2);
    const QRectF body(corner.x(), corner.y() + height * 0.45, width, height * 0.55);
    const QRectF shackle(corner.x() + width * 0.2, corner.y(), width * 0.6, height * 0.7);
    const bool selected = option.state & QStyle::State_Selected;
    const bool silent = index.data(ServerListModel::SilentRole).toBool();
    QColor ink = option.palette.color(silent ? QPalette::Disabled : QPalette::Active,
                                      selected ? QPalette::HighlightedText : QPalette::Text);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(ink, qMax<qreal>(1.2, height / 9)));
    painter->setBrush(Qt::NoBrush);
    painter->drawArc(shackle, 0, 180 * 16);
    painter->drawLine(QPointF(shackle.left(), shackle.center().y()),
                      QPointF(shackle.left(), body.top()));
    painter->drawLine(QPointF(shackle.right(), shackle.center().y()),
                      QPointF(shackle.right(), body.top()));
    painter->setBrush(ink);
    painter->drawRoundedRect(body, 1.5, 1.5);
    painter->restore();
}
