#pragma once

#include "rcon/protocol/a2s.h"
#include "rcon/protocol/serverquery.h"
#include "rcon/servers/savedservers.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QList>

#include <optional>

// The saved servers, one row each, with what each last told about itself: its name, map,
// players, ping, join password, VAC and game, and when it last answered. A server that stops
// answering keeps its last values and is marked silent, with since when.
//
// Qt::DisplayRole gives the text shown, SortRole what a column sorts by (numbers as numbers),
// SilentRole whether the row shows old values (greyed), JoinPasswordRole whether the server
// needs a join password, GroupRole the row's group, and Qt::AccessibleTextRole what a screen
// reader says: for the name column the row as a whole (name, map, players, and that it needs a
// join password when it does).
class ServerListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Name,
        Address,
        Map,
        Players,
        Ping,
        Lock,
        Vac,
        Game,
        LastAnswer,
        Group,
        ColumnCount
    };
    enum Role {
        SortRole = Qt::UserRole,
        SilentRole,
        JoinPasswordRole,
        GroupRole,
        KeyRole,
    };

    enum class State {
        NotAsked,     // not asked yet, or no answer yet to the first question
        Answering,    // its last answer was to the last question
        Silent,       // no answer to the last question
        HostNotFound, // its name did not become an address
        SendFailed,   // nothing could be sent to it
        BadAddress,   // its address cannot be read: never asked
    };

    struct Row {
        SavedServer saved;
        std::optional<ServerAddress> address;
        QString key; // the address's key; the address as typed when it cannot be read
        std::optional<A2s::ServerInfo> info;
        int pingMs = -1;
        QDateTime lastAnswer;
        State state = State::NotAsked;
        QDateTime troubleSince; // since when it has not answered
    };

    explicit ServerListModel(QObject *parent = nullptr);

    // The rows become these servers, in this order; what was known of a server still listed
    // is kept.
    void setServers(const QList<SavedServer> &servers);
    const Row &row(int index) const { return m_rows.at(index); }
    int rowOfKey(const QString &key) const { return m_rowOfKey.value(key, -1); }

    // What the list calls the server: its own name once it answered in this run, else
    // SavedServer::displayName() (the label, the name it last answered with, the address).
    static QString nameOf(const Row &row);

    // An info answer; the row becomes answering.
    void applyInfo(const QString &key, const A2s::ServerInfo &info, int pingMs,
                   const QDateTime &when);
    // A question's end that brought no answer (Answered is ignored: its info came first).
    void applyOutcome(const QString &key, ServerQuery::Outcome outcome, const QDateTime &when);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString text(const Row &row, int column) const;
    QVariant sortValue(const Row &row, int column) const;
    QString accessibleText(const Row &row, int column) const;
    void rowChanged(int index);

    QList<Row> m_rows;
    QHash<QString, int> m_rowOfKey;
};
