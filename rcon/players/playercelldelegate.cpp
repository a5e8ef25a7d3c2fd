#include "rcon/players/playercelldelegate.h"

#include <QPainter>

void PlayerCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const {
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                               : QPalette::Inactive;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    else if (option.features & QStyleOptionViewItem::Alternate)
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::AlternateBase));

    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return;
    constexpr int Margin = 4;
    const QRect room = option.rect.adjusted(Margin, 0, -Margin, 0);
    const auto alignment =
        Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()) | Qt::AlignVCenter;
    painter->save();
    painter->setFont(option.font);
    painter->setPen(
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    // A name may hold line breaks: the cell shows one line.
    QString line = text;
    line.replace(QLatin1Char('\n'), QChar(0x21B5));
    painter->drawText(room, int(alignment) | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(line, Qt::ElideRight, room.width()));
    painter->restore();
}
