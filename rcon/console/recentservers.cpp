#include "rcon/console/recentservers.h"

#include "rcon/console/userstatefile.h"

#include <QStringList>

namespace {
// One server a line: the port, a tab, the host as typed (a host holds no tab or line break).
bool acceptableHost(const QString &host) {
    return !host.isEmpty() && host.size() <= 255 && !host.contains(QLatin1Char('\t')) &&
           !host.contains(QLatin1Char('\n')) && !host.contains(QLatin1Char('\r'));
}
} // namespace

RecentServers::RecentServers(QString file)
    : m_file(std::move(file)) {
    const QString stored = QString::fromUtf8(UserStateFile::read(m_file));
    for (const QString &line : stored.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        bool ok = false;
        const int port = line.left(tab).toInt(&ok);
        const Server server{line.mid(tab + 1), port};
        if (tab < 0 || !ok || port < 1 || port > 65535 || !acceptableHost(server.host) ||
            m_servers.contains(server))
            continue;
        m_servers.append(server);
        if (m_servers.size() == MaxKept)
            break;
    }
}

void RecentServers::add(const QString &host, int port) {
    const Server server{host.trimmed(), port};
    if (!acceptableHost(server.host) || port < 1 || port > 65535)
        return;
    if (!m_servers.isEmpty() && m_servers.first() == server)
        return;
    m_servers.removeAll(server);
    m_servers.prepend(server);
    while (m_servers.size() > MaxKept)
        m_servers.removeLast();
    if (m_file.isEmpty())
        return;
    QByteArray bytes;
    for (const Server &kept : std::as_const(m_servers))
        bytes += QByteArray::number(kept.port) + '\t' + kept.host.toUtf8() + '\n';
    UserStateFile::write(m_file, bytes);
}

QString RecentServers::display(const Server &server) {
    const QString host = server.host.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + server.host + QLatin1Char(']')
                             : server.host;
    return host + QLatin1Char(':') + QString::number(server.port);
}
