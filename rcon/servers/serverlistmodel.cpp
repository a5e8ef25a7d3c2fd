#include "rcon/servers/serverlistmodel.h"

#include <utility>

namespace {

QString when(const QDateTime &time) {
    if (time.date() == QDate::currentDate())
        return time.toString(QStringLiteral("HH:mm:ss"));
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

int humans(const A2s::ServerInfo &info) {
    return qMax(0, info.players - info.bots);
}

QString botsText(int bots) {
    return bots == 1 ? QStringLiteral("1 bot") : QStringLiteral("%1 bots").arg(bots);
}

} // namespace

ServerListModel::ServerListModel(QObject *parent)
    : QAbstractTableModel(parent) {}

void ServerListModel::setServers(const QList<SavedServer> &servers) {
    QHash<QString, Row> known;
    for (Row &row : m_rows)
        known.insert(row.key, std::move(row));
    beginResetModel();
    m_rows.clear();
    m_rowOfKey.clear();
    for (const SavedServer &saved : servers) {
        Row row;
        row.address = saved.endpoint();
        row.key = row.address ? row.address->key() : saved.address;
        if (known.contains(row.key))
            row = known.take(row.key);
        row.saved = saved;
        row.address = saved.endpoint();
        if (!row.address)
            row.state = State::BadAddress;
        m_rowOfKey.insert(row.key, int(m_rows.size()));
        m_rows.append(std::move(row));
    }
    endResetModel();
}

QString ServerListModel::nameOf(const Row &row) {
    if (row.info && !row.info->name.trimmed().isEmpty())
        return row.info->name.trimmed();
    return row.saved.displayName();
}

void ServerListModel::applyInfo(const QString &key, const A2s::ServerInfo &info, int pingMs,
                                const QDateTime &time) {
    const int index = rowOfKey(key);
    if (index < 0)
        return;
    Row &row = m_rows[index];
    row.info = info;
    row.pingMs = pingMs;
    row.lastAnswer = time;
    row.state = State::Answering;
    row.troubleSince = {};
    rowChanged(index);
}

void ServerListModel::applyOutcome(const QString &key, ServerQuery::Outcome outcome,
                                   const QDateTime &time) {
    const int index = rowOfKey(key);
    if (index < 0 || outcome == ServerQuery::Outcome::Answered)
        return;
    Row &row = m_rows[index];
    const State state = outcome == ServerQuery::Outcome::HostNotFound ? State::HostNotFound
                        : outcome == ServerQuery::Outcome::SendFailed ? State::SendFailed
                                                                      : State::Silent;
    if (!row.troubleSince.isValid())
        row.troubleSince = time;
    row.state = state;
    rowChanged(index);
}

void ServerListModel::rowChanged(int index) {
    Q_EMIT dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

int ServerListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ServerListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString ServerListModel::text(const Row &row, int column) const {
    const A2s::ServerInfo *info = row.info ? &*row.info : nullptr;
    switch (column) {
    case Name:
        return nameOf(row);
    case Address:
        return row.saved.address;
    case Map:
        return info ? info->map : QString();
    case Players: {
        if (!info)
            return {};
        QString players = QStringLiteral("%1/%2").arg(humans(*info)).arg(info->maxPlayers);
        if (info->bots > 0)
            players += QStringLiteral(" (%1)").arg(botsText(info->bots));
        return players;
    }
    case Ping:
        return row.pingMs >= 0 ? QStringLiteral("%1 ms").arg(row.pingMs) : QString();
    case Lock:
        return {}; // drawn as a padlock
    case Vac:
        return info && info->vac ? QStringLiteral("VAC") : QString();
    case Game:
        return info ? info->game : QString();
    case LastAnswer:
        switch (row.state) {
        case State::NotAsked:
            return row.lastAnswer.isValid() ? when(row.lastAnswer) : QString();
        case State::Answering:
            return when(row.lastAnswer);
        case State::Silent:
            return QStringLiteral("no answer since ") + when(row.troubleSince);
        case State::HostNotFound:
            return QStringLiteral("host not found since ") + when(row.troubleSince);
        case State::SendFailed:
            return QStringLiteral("cannot be asked since ") + when(row.troubleSince);
        case State::BadAddress:
            return QStringLiteral("not a server address");
        }
        return {};
    case Group:
        return row.saved.group;
    default:
        return {};
    }
}

QVariant ServerListModel::sortValue(const Row &row, int column) const {
    switch (column) {
    case Players:
        // By players, then by room for more.
        return row.info ? qint64(humans(*row.info)) * 100000 + row.info->maxPlayers : qint64(-1);
    case Ping:
        return row.pingMs >= 0 ? row.pingMs : std::numeric_limits<int>::max();
    case Lock:
        return row.info && row.info->joinPassword;
    case LastAnswer:
        return row.lastAnswer.isValid() ? row.lastAnswer.toMSecsSinceEpoch() : qint64(0);
    default:
        return text(row, column).toCaseFolded();
    }
}

QString ServerListModel::accessibleText(const Row &row, int column) const {
    switch (column) {
    case Name: {
        QStringList parts{nameOf(row)};
        if (row.info) {
            if (!row.info->map.isEmpty())
                parts.append(QStringLiteral("map ") + row.info->map);
            QString players =
                QStringLiteral("%1 of %2 players").arg(humans(*row.info)).arg(row.info->maxPlayers);
            if (row.info->bots > 0)
                players += QStringLiteral(" and ") + botsText(row.info->bots);
            parts.append(players);
            if (row.info->joinPassword)
                parts.append(QStringLiteral("needs a join password"));
        }
        if (row.state != State::Answering && row.state != State::NotAsked)
            parts.append(text(row, LastAnswer));
        return parts.join(QStringLiteral(", "));
    }
    case Lock:
        if (!row.info)
            return {};
        return row.info->joinPassword ? QStringLiteral("needs a join password")
                                      : QStringLiteral("no join password");
    case Vac:
        return row.info && row.info->vac ? QStringLiteral("VAC secured") : QString();
    default:
        return text(row, column);
    }
}

QVariant ServerListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case Qt::ToolTipRole:
        if (index.column() == Lock && row.info && row.info->joinPassword)
            return QStringLiteral("Needs a join password");
        if (index.column() == Name && !row.saved.label.isEmpty())
            return row.saved.label;
        return {};
    case Qt::AccessibleTextRole:
        return accessibleText(row, index.column());
    case SortRole:
        return sortValue(row, index.column());
    case SilentRole:
        return row.state != State::Answering && row.state != State::NotAsked;
    case JoinPasswordRole:
        return row.info && row.info->joinPassword;
    case GroupRole:
        return row.saved.group;
    case KeyRole:
        return row.key;
    default:
        return {};
    }
}

QVariant ServerListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[ColumnCount] = {
        "Name", "Address", "Map", "Players", "Ping", "Lock", "VAC", "Game", "Last answer", "Group",
    };
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}
