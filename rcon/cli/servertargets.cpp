#include "rcon/cli/servertargets.h"

#include "rcon/protocol/a2s.h"
#include "rcon/protocol/serverquery.h"
#include "rcon/servers/savedservers.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace ServerTargets {

namespace {

// Of several saved servers a name fits in any case, the one it fits exactly, if only one does.
QList<SavedServer> exactly(const QList<SavedServer> &found, const QString &name) {
    QList<SavedServer> exact;
    for (const SavedServer &server : found) {
        if (server.label.trimmed() == name.trimmed() || server.lastName == name.trimmed() ||
            server.address == name.trimmed())
            exact.append(server);
    }
    return exact.size() == 1 ? exact : found;
}

// A name or a group as one field of a line: no tab, no line break.
QString field(const QString &text) {
    return A2s::rowText(text.trimmed().toUtf8());
}

} // namespace

QByteArray listing(const SavedServers &saved) {
    QString text;
    for (const SavedServer &server : saved.servers()) {
        text += QStringList{field(server.displayName()), field(server.address), field(server.group)}
                    .join(QLatin1Char('\t')) +
                QLatin1Char('\n');
    }
    return text.toUtf8();
}

bool needSaved(const QList<ServerChoice> &choices) {
    return std::any_of(choices.cbegin(), choices.cend(), [](const ServerChoice &choice) {
        return choice.kind != ServerChoice::Kind::Host;
    });
}

bool resolve(const QList<ServerChoice> &choices, const SavedServers &saved,
             QList<ServerTarget> &targets, QString &error, QStringList *warnings) {
    targets.clear();
    QSet<QString> taken;
    const auto add = [&](const ServerAddress &address, const QString &name,
                         const QString &keyringKey) {
        if (taken.contains(address.key()))
            return;
        taken.insert(address.key());
        targets.append(ServerTarget{name, address.host, address.port, keyringKey});
    };
    // A saved server's name begins every line of its output: one line, whatever was typed.
    const auto addSaved = [&](const SavedServer &server, bool named) {
        const std::optional<ServerAddress> address = server.endpoint();
        if (!address) {
            const QString problem =
                QStringLiteral("the saved server \"%1\" has an address that cannot be read")
                    .arg(server.address);
            if (named)
                error = problem;
            else if (warnings)
                warnings->append(problem + QStringLiteral(": left out"));
            return !named;
        }
        add(*address, field(server.displayName()), address->keyringKey());
        return true;
    };

    for (const ServerChoice &choice : choices) {
        switch (choice.kind) {
        case ServerChoice::Kind::Host: {
            const ServerAddress address{choice.value, quint16(choice.port)};
            add(address, ServerQuery::serverKey(choice.value, address.port), QString());
            break;
        }
        case ServerChoice::Kind::Saved: {
            const QList<SavedServer> found = exactly(saved.named(choice.value), choice.value);
            if (found.isEmpty()) {
                error = QStringLiteral("no saved server is called \"%1\"").arg(choice.value);
                return false;
            }
            if (found.size() > 1) {
                QStringList addresses;
                for (const SavedServer &server : found)
                    addresses.append(server.address);
                error = QStringLiteral("\"%1\" names %2 saved servers (%3): give one's address")
                            .arg(choice.value)
                            .arg(found.size())
                            .arg(addresses.join(QStringLiteral(", ")));
                return false;
            }
            if (!addSaved(found.constFirst(), true))
                return false;
            break;
        }
        case ServerChoice::Kind::Group: {
            const QList<SavedServer> found = saved.inGroup(choice.value);
            if (found.isEmpty()) {
                error = QStringLiteral("no saved server in the group \"%1\"").arg(choice.value);
                return false;
            }
            for (const SavedServer &server : found)
                addSaved(server, false);
            break;
        }
        case ServerChoice::Kind::All:
            if (saved.servers().isEmpty()) {
                error = QStringLiteral("--all: no saved servers (the Servers window keeps them)");
                return false;
            }
            for (const SavedServer &server : saved.servers())
                addSaved(server, false);
            break;
        }
    }
    if (targets.isEmpty()) {
        error = QStringLiteral("no server to talk to");
        return false;
    }

    // Two servers under one name (the same label twice) are told apart by their addresses.
    QHash<QString, int> uses;
    for (const ServerTarget &target : std::as_const(targets))
        ++uses[target.name];
    for (ServerTarget &target : targets) {
        const QString address = ServerAddress{target.host, quint16(target.port)}.key();
        if (uses.value(target.name) > 1 && target.name != address)
            target.name += QStringLiteral(" (%1)").arg(address);
    }
    return true;
}

} // namespace ServerTargets
