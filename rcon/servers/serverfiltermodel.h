#pragma once

#include <QSortFilterProxyModel>

// The server list as shown: sorted by ServerListModel::SortRole, only the rows of the group
// chosen (all when none is), and only those whose name, map or address holds the filter text
// (without regard to case).
class ServerFilterModel final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit ServerFilterModel(QObject *parent = nullptr);

    void setFilterText(const QString &text);
    // Empty: every group.
    void setGroup(const QString &group);
    const QString &group() const { return m_group; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_text;
    QString m_group;
};
