#pragma once

#include "rcon/protocol/statusparser.h"

#include <QAbstractTableModel>
#include <QList>

// The players of the last good status reply, one row each. Qt::DisplayRole gives the text
// shown; SortRole gives what a column sorts by (numbers as numbers, the time in seconds).
class PlayerTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, UserId, UniqueId, Frags, Time, Ping, Loss, Address, ColumnCount };
    static constexpr int SortRole = Qt::UserRole;

    explicit PlayerTableModel(QObject *parent = nullptr);

    void setPlayers(QList<PlayerRow> players);
    const QList<PlayerRow> &players() const { return m_players; }
    // The row of the player with this user id, or -1.
    int rowOfUser(int userId) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<PlayerRow> m_players;
};
