#include "rcon/players/playertablemodel.h"

#include <limits>

PlayerTableModel::PlayerTableModel(QObject *parent)
    : QAbstractTableModel(parent) {}

void PlayerTableModel::setPlayers(QList<PlayerRow> players) {
    beginResetModel();
    m_players = std::move(players);
    endResetModel();
}

int PlayerTableModel::rowOfUser(int userId) const {
    for (qsizetype row = 0; row < m_players.size(); ++row) {
        if (m_players.at(row).userId == userId)
            return int(row);
    }
    return -1;
}

int PlayerTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_players.size());
}

int PlayerTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlayerTableModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_players.size())
        return {};
    const PlayerRow &player = m_players.at(index.row());
    const auto column = Column(index.column());
    if (role == Qt::TextAlignmentRole) {
        const bool number = column == UserId || column == Frags || column == Time ||
                            column == Ping || column == Loss;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole && role != SortRole)
        return {};
    const bool sorting = role == SortRole;
    switch (column) {
    case Name:
        return sorting ? QVariant(player.name.toCaseFolded()) : QVariant(player.name);
    case UserId:
        return player.userId;
    case UniqueId:
        return player.uniqueId;
    case Frags:
        // An HLTV proxy has no frags: it sorts below every player.
        if (player.isHltv)
            return sorting ? QVariant(std::numeric_limits<int>::min()) : QVariant(QString());
        return player.frags;
    case Time:
        return sorting ? QVariant(player.seconds) : QVariant(player.time);
    case Ping:
        return player.ping;
    case Loss:
        return player.loss;
    case Address:
        return player.address;
    case ColumnCount:
        break;
    }
    return {};
}

QVariant PlayerTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[ColumnCount] = {"Name", "User ID", "Unique ID", "Frags",
                                                    "Time", "Ping",    "Loss",      "Address"};
    if (section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(titles[section]);
}
