#include "rcon/cli/servertargets.h"

#include "rcon/protocol/a2s.h"
#include "rcon/protocol/serverquery.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace ServerTargets {

namespace {

// How a server is told apart from another: its host, in any case, and its port.
QString identity(const QString &host, int port) {
    return ServerQuery::serverKey(host.toLower(), quint16(port));
}

QString shownName(const SavedServer &server) {
    const QString &name = !server.label.trimmed().isEmpty()      ? server.label
                          : !server.lastName.trimmed().isEmpty() ? server.lastName
                                                                 : server.address;
    // One line whatever was typed or sent: the name begins every line of the server's output.
    return A2s::rowText(name.trimmed().toUtf8());
}

// The saved servers whose label, last name or address is the name; exactly, else in any case.
QList<const SavedServer *> named(const QList<SavedServer> &saved, const QString &name) {
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        QList<const SavedServer *> found;
        for (const SavedServer &server : saved) {
            const auto is = [&](const QString &text) {
                return !text.isEmpty() && text.trimmed().compare(name.trimmed(), sensitivity) == 0;
            };
            if (is(server.label) || is(server.lastName) || is(server.address))
                found.append(&server);
        }
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QList<const SavedServer *> inGroup(const QList<SavedServer> &saved, const QString &group) {
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        QList<const SavedServer *> found;
        for (const SavedServer &server : saved) {
            if (!server.group.isEmpty() &&
                server.group.trimmed().compare(group.trimmed(), sensitivity) == 0)
                found.append(&server);
        }
        if (!found.isEmpty())
            return found;
    }
    return {};
}

} // namespace

bool needSaved(const QList<ServerChoice> &choices) {
    return std::any_of(choices.cbegin(), choices.cend(), [](const ServerChoice &choice) {
        return choice.kind != ServerChoice::Kind::Host;
    });
}

bool resolve(const QList<ServerChoice> &choices, const QList<SavedServer> &saved,
             QList<ServerTarget> &targets, QString &error) {
    targets.clear();
    QSet<QString> taken;
    const auto add = [&](ServerTarget target) {
        if (!taken.contains(identity(target.host, target.port))) {
            taken.insert(identity(target.host, target.port));
            targets.append(std::move(target));
        }
    };
    const auto addSaved = [&](const SavedServer &server) {
        add(ServerTarget{shownName(server), server.host, server.port, true});
    };

    for (const ServerChoice &choice : choices) {
        switch (choice.kind) {
        case ServerChoice::Kind::Host:
            add(ServerTarget{ServerQuery::serverKey(choice.value, quint16(choice.port)),
                             choice.value, choice.port, false});
            break;
        case ServerChoice::Kind::Saved: {
            const QList<const SavedServer *> found = named(saved, choice.value);
            if (found.isEmpty()) {
                error = QStringLiteral("no saved server is called \"%1\"").arg(choice.value);
                return false;
            }
            if (found.size() > 1) {
                QStringList addresses;
                for (const SavedServer *server : found)
                    addresses.append(server->address);
                error = QStringLiteral("\"%1\" names %2 saved servers (%3): give its address")
                            .arg(choice.value)
                            .arg(found.size())
                            .arg(addresses.join(QStringLiteral(", ")));
                return false;
            }
            addSaved(*found.constFirst());
            break;
        }
        case ServerChoice::Kind::Group: {
            const QList<const SavedServer *> found = inGroup(saved, choice.value);
            if (found.isEmpty()) {
                error = QStringLiteral("no saved server in the group \"%1\"").arg(choice.value);
                return false;
            }
            for (const SavedServer *server : found)
                addSaved(*server);
            break;
        }
        case ServerChoice::Kind::All:
            if (saved.isEmpty()) {
                error = QStringLiteral("--all: no saved servers (the Servers window keeps them)");
                return false;
            }
            for (const SavedServer &server : saved)
                addSaved(server);
            break;
        }
    }

    // Two servers under one name (the same label twice) are told apart by their addresses.
    QHash<QString, int> uses;
    for (const ServerTarget &target : std::as_const(targets))
        ++uses[target.name];
    for (ServerTarget &target : targets) {
        const QString address = ServerQuery::serverKey(target.host, quint16(target.port));
        if (uses.value(target.name) > 1 && target.name != address)
            target.name += QStringLiteral(" (%1)").arg(address);
    }
    return true;
}

} // namespace ServerTargets
