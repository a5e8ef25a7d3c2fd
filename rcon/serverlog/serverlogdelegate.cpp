#include "rcon/serverlog/serverlogdelegate.h"

QSize ServerLogDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setWidth(option.fontMetrics.averageCharWidth() * RowCharacters);
    return size;
}
