#include "rcon/serverlog/serverlogdelegate.h"

#include "rcon/serverlog/serverlogmodel.h"

QSize ServerLogDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    int width = 0;
    if (const auto *model = qobject_cast<const ServerLogModel *>(index.model())) {
        for (const int row : model->longestRows()) {
            if (row >= 0)
                width =
                    qMax(width, QStyledItemDelegate::sizeHint(option, model->index(row)).width());
        }
    }
    size.setWidth(qMin(width, option.fontMetrics.averageCharWidth() * RowCharacters));
    return size;
}
