#include "rcon/servers/serverfiltermodel.h"

#include "rcon/servers/serverlistmodel.h"

ServerFilterModel::ServerFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent) {
    setSortRole(ServerListModel::SortRole);
    setDynamicSortFilter(true);
}

void ServerFilterModel::setFilterText(const QString &text) {
    if (m_text == text.trimmed())
        return;
    m_text = text.trimmed();
    invalidateRowsFilter();
}

void ServerFilterModel::setGroup(const QString &group) {
    if (m_group == group)
        return;
    m_group = group;
    invalidateRowsFilter();
}

bool ServerFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const {
    const QAbstractItemModel *source = sourceModel();
    if (!m_group.isEmpty() && source->index(sourceRow, 0, sourceParent)
                                      .data(ServerListModel::GroupRole)
                                      .toString()
                                      .compare(m_group, Qt::CaseInsensitive) != 0)
        return false;
    if (m_text.isEmpty())
        return true;
    for (const int column :
         {ServerListModel::Name, ServerListModel::Map, ServerListModel::Address}) {
        if (source->index(sourceRow, column, sourceParent)
                .data()
                .toString()
                .contains(m_text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
