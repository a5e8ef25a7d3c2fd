#include "rcon/players/playertablemodel.h"

#include <limits>
#include <utility>

PlayerTableModel::PlayerTableModel(QObject *parent)
    : QAbstractTableModel(parent) {}

namespace {

bool sameCell(const PlayerRow &a, const PlayerRow &b, int column) {
    switch (column) {
    case PlayerTableModel::Name:
        return a.name == b.name;
    case PlayerTableModel::UserId:
        return a.userId == b.userId;
    case PlayerTableModel::UniqueId:
        return a.uniqueId == b.uniqueId;
    case PlayerTableModel::Frags:
        return a.frags == b.frags && a.isHltv == b.isHltv;
    case PlayerTableModel::Time:
        return a.time == b.time;
    case PlayerTableModel::Ping:
        return a.ping == b.ping;
    case PlayerTableModel::Loss:
        return a.loss == b.loss;
    case PlayerTableModel::Address:
        return a.address == b.address;
    default:
        return true;
    }
}

} // namespace

void PlayerTableModel::setPlayers(QList<PlayerRow> players) {
    bool sameRows = players.size() == m_players.size();
    for (qsizetype row = 0; sameRows && row < players.size(); ++row)
        sameRows = players.at(row).userId == m_players.at(row).userId;
    if (!sameRows) {
        beginResetModel();
        m_players = std::move(players);
        endResetModel();
        return;
    }
    // The same players as before: only the cells that changed are told of, so the view keeps
    // its selection and scroll position and repaints only those.
    const QList<PlayerRow> old = std::exchange(m_players, std::move(players));
    for (int row = 0; row < int(m_players.size()); ++row) {
        int first = -1;
        int last = -1;
        for (int column = 0; column < ColumnCount; ++column) {
            if (sameCell(old.at(row), m_players.at(row), column))
                continue;
            if (first < 0)
                first = column;
            last = column;
        }
        if (first >= 0)
            emit dataChanged(index(row, first), index(row, last), {Qt::DisplayRole, SortRole});
    }
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
