#include "rcon/servers/savedservers.h"

#include "rcon/protocol/serverquery.h"

#include <QHostAddress>
#include <QSet>
#include <QSettings>

#include <algorithm>

namespace {

const QString AddressKey = QStringLiteral("Address");
const QString LabelKey = QStringLiteral("Label");
const QString GroupKey = QStringLiteral("Group");
const QString LastNameKey = QStringLiteral("LastName");

// A host name as a resolver takes it: letters (any script, which IDNA turns into ASCII), digits,
// '-', '_' and dots, at most 253 characters.
bool isHostName(const QString &host) {
    if (host.isEmpty() || host.size() > 253 || host.startsWith(QLatin1Char('.')) ||
        host.startsWith(QLatin1Char('-')))
        return false;
    return std::all_of(host.begin(), host.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ||
               c == QLatin1Char('.');
    });
}

bool isIpv6(const QString &text) {
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QHostAddress::IPv6Protocol;
}

QString notAnAddress(const QString &text) {
    return QStringLiteral("\"%1\" is not a server address: type host or host:port.").arg(text);
}

QString badPort(const QString &text) {
    return QStringLiteral("The port in \"%1\" is not a number from 1 to 65535.").arg(text);
}

std::optional<quint16> readPort(const QString &digits) {
    if (digits.isEmpty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return std::nullopt;
    const int port = digits.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

} // namespace

QString ServerAddress::canonicalHost() const {
    QHostAddress address;
    if (address.setAddress(host))
        return address.toString();
    return host.toLower();
}

QString ServerAddress::key() const {
    return ServerQuery::serverKey(canonicalHost(), port);
}

QString ServerAddress::keyringKey() const {
    return QStringLiteral("rcon://") + key();
}

std::optional<ServerAddress> SavedServer::endpoint() const {
    return SavedServers::parseAddress(address);
}

QString SavedServer::displayName() const {
    if (!label.trimmed().isEmpty())
        return label.trimmed();
    if (!lastName.isEmpty())
        return lastName;
    return address;
}

std::optional<ServerAddress> SavedServers::parseAddress(const QString &typed, QString *error) {
    const QString text = typed.trimmed();
    auto fail = [error](const QString &reason) -> std::optional<ServerAddress> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (text.isEmpty())
        return fail(QStringLiteral("Type the server's address: host or host:port."));

    // A web address or a path is no server address, whatever follows a colon in it.
    if (text.contains(QLatin1Char('/')) || text.contains(QLatin1Char('@')))
        return fail(notAnAddress(text));

    QString host;
    QString portText;
    bool hasPort = false;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(notAnAddress(text));
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return fail(notAnAddress(text));
            hasPort = true;
            portText = rest.mid(1);
        }
        if (!isIpv6(host))
            return fail(notAnAddress(text));
    } else if (text.count(QLatin1Char(':')) > 1) {
        // A bare IPv6 address; a port after it would be taken for part of the address.
        if (!isIpv6(text))
            return fail(notAnAddress(text));
        host = text;
    } else {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        host = colon < 0 ? text : text.left(colon);
        hasPort = colon >= 0;
        portText = text.mid(colon + 1);
        if (!isHostName(host))
            return fail(notAnAddress(text));
    }

    quint16 port = DefaultPort;
    if (hasPort) {
        const std::optional<quint16> read = readPort(portText);
        if (!read)
            return fail(badPort(text));
        port = *read;
    }
    return ServerAddress{host, port};
}

std::optional<QList<ServerAddress>> SavedServers::parseAddresses(const QString &lines,
                                                                 QString *error) {
    QList<ServerAddress> addresses;
    QSet<QString> keys;
    for (const QString &line : lines.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty())
            continue;
        std::optional<ServerAddress> address = parseAddress(line, error);
        if (!address)
            return std::nullopt;
        if (keys.contains(address->key())) {
            if (error)
                *error = QStringLiteral("%1 is named twice.").arg(line.trimmed());
            return std::nullopt;
        }
        keys.insert(address->key());
        addresses.append(*address);
    }
    if (addresses.isEmpty()) {
        parseAddress(QString(), error); // says what to type
        return std::nullopt;
    }
    return addresses;
}

SavedServers::SavedServers(QString optionsFile)
    : m_optionsFile(std::move(optionsFile)) {}

void SavedServers::load() {
    m_servers.clear();
    QSettings options(m_optionsFile, QSettings::IniFormat);
    options.beginGroup(Group);
    const int size = options.beginReadArray(ListKey);
    for (int i = 0; i < size; ++i) {
        options.setArrayIndex(i);
        SavedServer server;
        server.address = options.value(AddressKey).toString().trimmed();
        server.label = options.value(LabelKey).toString();
        server.group = options.value(GroupKey).toString();
        server.lastName = options.value(LastNameKey).toString();
        if (!server.address.isEmpty())
            m_servers.append(server);
    }
    options.endArray();
}

bool SavedServers::save(QString *error) const {
    QSettings options(m_optionsFile, QSettings::IniFormat);
    // The file is replaced whole through a temporary, never written over in place.
    options.setAtomicSyncRequired(true);
    options.beginGroup(Group);
    options.remove(ListKey);
    options.beginWriteArray(ListKey, int(m_servers.size()));
    for (int i = 0; i < m_servers.size(); ++i) {
        const SavedServer &server = m_servers.at(i);
        options.setArrayIndex(i);
        options.setValue(AddressKey, server.address);
        options.setValue(LabelKey, server.label);
        options.setValue(GroupKey, server.group);
        options.setValue(LastNameKey, server.lastName);
    }
    options.endArray();
    options.endGroup();
    options.sync();
    if (options.status() == QSettings::NoError)
        return true;
    if (error) {
        *error =
            options.status() == QSettings::AccessError
                ? QStringLiteral("The list of servers could not be saved to %1.").arg(m_optionsFile)
                : QStringLiteral("The list of servers could not be saved: %1 cannot be read.")
                      .arg(m_optionsFile);
    }
    return false;
}

int SavedServers::indexOf(const QString &key) const {
    for (int i = 0; i < m_servers.size(); ++i) {
        const std::optional<ServerAddress> address = m_servers.at(i).endpoint();
        if (address ? address->key() == key : m_servers.at(i).address == key)
            return i;
    }
    return -1;
}

QList<SavedServer> SavedServers::named(const QString &name) const {
    const QString wanted = name.trimmed();
    const std::optional<ServerAddress> asAddress = parseAddress(wanted);
    QList<SavedServer> found;
    for (const SavedServer &server : m_servers) {
        const std::optional<ServerAddress> address = server.endpoint();
        const bool match = server.label.trimmed().compare(wanted, Qt::CaseInsensitive) == 0 ||
                           (!server.lastName.isEmpty() &&
                            server.lastName.compare(wanted, Qt::CaseInsensitive) == 0) ||
                           server.address.compare(wanted, Qt::CaseInsensitive) == 0 ||
                           (address && asAddress && address->key() == asAddress->key());
        if (match)
            found.append(server);
    }
    return found;
}

QList<SavedServer> SavedServers::inGroup(const QString &group) const {
    QList<SavedServer> found;
    for (const SavedServer &server : m_servers) {
        if (!group.trimmed().isEmpty() &&
            server.group.trimmed().compare(group.trimmed(), Qt::CaseInsensitive) == 0)
            found.append(server);
    }
    return found;
}

QStringList SavedServers::groups() const {
    QStringList names;
    for (const SavedServer &server : m_servers) {
        const QString group = server.group.trimmed();
        if (!group.isEmpty() && !names.contains(group, Qt::CaseInsensitive))
            names.append(group);
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

QString SavedServers::duplicateMessage(const QString &address) {
    return QStringLiteral("%1 is already in the list.").arg(address);
}

std::optional<QList<SavedServer>> SavedServers::prepare(const QString &lines, const QString &label,
                                                        const QString &group,
                                                        QString *error) const {
    const std::optional<QList<ServerAddress>> addresses = parseAddresses(lines, error);
    if (!addresses)
        return std::nullopt;
    QList<SavedServer> servers;
    const QStringList typed = lines.split(QLatin1Char('\n'));
    qsizetype line = 0;
    for (const ServerAddress &address : *addresses) {
        while (typed.at(line).trimmed().isEmpty())
            ++line;
        const QString text = typed.at(line++).trimmed();
        if (indexOf(address.key()) >= 0) {
            if (error)
                *error = duplicateMessage(text);
            return std::nullopt;
        }
        servers.append(SavedServer{text, label.trimmed(), group.trimmed(), {}});
    }
    return servers;
}

std::optional<QList<SavedServer>> SavedServers::add(const QString &lines, const QString &label,
                                                    const QString &group, QString *error) {
    std::optional<QList<SavedServer>> servers = prepare(lines, label, group, error);
    if (servers)
        m_servers.append(*servers);
    return servers;
}

bool SavedServers::replace(int index, const SavedServer &server, QString *error) {
    const std::optional<ServerAddress> address = parseAddress(server.address, error);
    if (!address)
        return false;
    const int other = indexOf(address->key());
    if (other >= 0 && other != index) {
        if (error)
            *error = duplicateMessage(server.address.trimmed());
        return false;
    }
    SavedServer replaced = server;
    replaced.address = server.address.trimmed();
    replaced.label = server.label.trimmed();
    replaced.group = server.group.trimmed();
    // Another server's name is not this one's.
    const std::optional<ServerAddress> before = m_servers.at(index).endpoint();
    if (!before || before->key() != address->key())
        replaced.lastName.clear();
    m_servers[index] = replaced;
    return true;
}

void SavedServers::removeAt(int index) {
    m_servers.removeAt(index);
}

bool SavedServers::setLastName(int index, const QString &name) {
    if (m_servers.at(index).lastName == name)
        return false;
    m_servers[index].lastName = name;
    return true;
}
