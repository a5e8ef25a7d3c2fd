#include "rcon/servers/servermonitor.h"

#include "rcon/servers/serverlistmodel.h"

#include <QSettings>

namespace {

// Names reported by one refresh are saved this long after the first came, together.
constexpr int SaveNamesDelayMs = 2000;

} // namespace

ServerMonitor::ServerMonitor(QString optionsFile, QObject *parent)
    : QObject(parent)
    , m_optionsFile(std::move(optionsFile))
    , m_list(m_optionsFile)
    , m_model(new ServerListModel(this)) {
    m_list.load();
    m_model->setServers(m_list.servers());

    QSettings options(m_optionsFile, QSettings::IniFormat);
    options.beginGroup(SavedServers::Group);
    bool ok = false;
    int seconds = options.value(RefreshSecondsKey).toInt(&ok);
    if (!ok)
        seconds = DefaultRefreshSeconds;
    m_timer.setInterval(qBound(MinRefreshSeconds, seconds, MaxRefreshSeconds) * 1000);
    m_watching = options.value(WatchKey).toString() == QLatin1String("1");

    connect(&m_timer, &QTimer::timeout, this, &ServerMonitor::refresh);
    m_saveNames.setSingleShot(true);
    m_saveNames.setInterval(SaveNamesDelayMs);
    connect(&m_saveNames, &QTimer::timeout, this, [this] { m_list.save(); });
    connect(&m_query, &ServerQuery::infoReceived, this, &ServerMonitor::onInfo);
    connect(&m_query, &ServerQuery::finished, this, &ServerMonitor::onFinished);
    connect(&m_query, &ServerQuery::playersReceived, this,
            [this](const QString &key, const QList<A2s::Player> &players) {
                if (key != m_detailsKey)
                    return;
                m_players = players;
                m_detailsSilent = false;
                Q_EMIT detailsChanged();
            });
    connect(&m_query, &ServerQuery::rulesReceived, this,
            [this](const QString &key, const QList<A2s::Rule> &rules) {
                if (key != m_detailsKey)
                    return;
                m_rules = rules;
                m_detailsSilent = false;
                Q_EMIT detailsChanged();
            });
    updateTimer();
}

ServerMonitor::~ServerMonitor() {
    if (m_saveNames.isActive())
        m_list.save();
}

bool ServerMonitor::commit(const SavedServers &before, QString *error) {
    if (m_list.save(error)) {
        listChanged();
        return true;
    }
    m_list = before;
    return false;
}

void ServerMonitor::listChanged() {
    m_model->setServers(m_list.servers());
    QSet<QString> keys;
    for (int i = 0; i < m_model->rowCount(); ++i)
        keys.insert(m_model->row(i).key);
    // What is no longer listed is no longer asked or awaited.
    const QList<QString> asked = m_watch.keys();
    for (const QString &key : asked) {
        if (!keys.contains(key))
            m_watch.remove(key);
    }
    const QList<QString> awaited(m_round.begin(), m_round.end());
    for (const QString &key : awaited) {
        if (!keys.contains(key)) {
            m_query.forget(key);
            m_round.remove(key);
            m_roundAnswers.remove(key);
        }
    }
    if (!m_detailsKey.isEmpty() && !keys.contains(m_detailsKey))
        setDetailsServer({});
    if (m_round.isEmpty() && !m_roundAnswers.isEmpty())
        endRound();
    updateTimer();
}

std::optional<QList<SavedServer>> ServerMonitor::add(const QString &lines, const QString &label,
                                                     const QString &group, QString *error) {
    const SavedServers before = m_list;
    std::optional<QList<SavedServer>> added = m_list.add(lines, label, group, error);
    if (!added || !commit(before, error))
        return std::nullopt;
    for (const SavedServer &server : *added) {
        if (const std::optional<ServerAddress> address = server.endpoint())
            ask(address->key());
    }
    return added;
}

bool ServerMonitor::replace(int index, const SavedServer &server, QString *error) {
    const SavedServers before = m_list;
    const QString oldKey = m_model->row(index).key;
    if (!m_list.replace(index, server, error) || !commit(before, error))
        return false;
    if (m_model->row(index).key != oldKey)
        m_query.forget(oldKey);
    const std::optional<ServerAddress> address = m_list.at(index).endpoint();
    if (address && m_model->row(index).state == ServerListModel::State::NotAsked)
        ask(address->key());
    return true;
}

bool ServerMonitor::remove(int index, QString *error) {
    const SavedServers before = m_list;
    const QString key = m_model->row(index).key;
    m_list.removeAt(index);
    if (!commit(before, error))
        return false;
    m_query.forget(key);
    return true;
}

void ServerMonitor::setShown(bool shown) {
    m_shown = shown;
    updateTimer();
}

void ServerMonitor::setWatching(bool on) {
    if (m_watching == on)
        return;
    m_watching = on;
    if (!on) {
        for (Watch &watch : m_watch)
            watch.reported = false;
    }
    QSettings options(m_optionsFile, QSettings::IniFormat);
    options.setValue(SavedServers::Group + QLatin1Char('/') + WatchKey,
                     on ? QStringLiteral("1") : QStringLiteral("0"));
    updateTimer();
    if (on && !m_shown)
        refresh();
}

void ServerMonitor::setRefreshIntervalMs(int ms) {
    m_timer.setInterval(qMax(1, ms));
}

void ServerMonitor::updateTimer() {
    const bool run = (m_shown || m_watching) && m_list.count() > 0;
    if (run && !m_timer.isActive())
        m_timer.start();
    else if (!run)
        m_timer.stop();
}

void ServerMonitor::refresh() {
    if (m_timer.isActive())
        m_timer.start(); // the next refresh one interval from now
    for (int i = 0; i < m_model->rowCount(); ++i) {
        const ServerListModel::Row &row = m_model->row(i);
        if (!row.address || m_round.contains(row.key))
            continue;
        m_round.insert(row.key);
        ask(row.key);
    }
    askDetails();
}

void ServerMonitor::ask(const QString &key) {
    const int index = m_model->rowOfKey(key);
    if (index < 0 || !m_model->row(index).address)
        return;
    const ServerAddress &address = *m_model->row(index).address;
    m_query.ask(address.canonicalHost(), address.port, ServerQuery::Request::Info);
}

void ServerMonitor::setDetailsServer(const QString &key) {
    if (key == m_detailsKey)
        return;
    m_detailsKey = key;
    m_players.clear();
    m_rules.clear();
    m_detailsSilent = false;
    Q_EMIT detailsChanged();
    askDetails();
}

void ServerMonitor::askDetails() {
    const int index = m_model->rowOfKey(m_detailsKey);
    if (index < 0 || !m_model->row(index).address)
        return;
    const ServerAddress &address = *m_model->row(index).address;
    m_query.ask(address.canonicalHost(), address.port, ServerQuery::Request::Players);
    m_query.ask(address.canonicalHost(), address.port, ServerQuery::Request::Rules);
}

void ServerMonitor::onInfo(const QString &key, const A2s::ServerInfo &info, int pingMs) {
    m_model->applyInfo(key, info, pingMs, QDateTime::currentDateTime());
    const int index = m_model->rowOfKey(key);
    const QString name = info.name.trimmed();
    if (index >= 0 && !name.isEmpty() && m_list.setLastName(index, name) && !m_saveNames.isActive())
        m_saveNames.start();
}

void ServerMonitor::onFinished(const QString &key, ServerQuery::Request request,
                               ServerQuery::Outcome outcome) {
    const bool answered = outcome == ServerQuery::Outcome::Answered;
    if (request != ServerQuery::Request::Info) {
        if (key == m_detailsKey && !answered) {
            m_detailsSilent = true;
            Q_EMIT detailsChanged();
        }
        return;
    }
    m_model->applyOutcome(key, outcome, QDateTime::currentDateTime());
    if (!m_round.remove(key))
        return;
    m_roundAnswers.insert(key, answered);
    if (m_round.isEmpty())
        endRound();
}

void ServerMonitor::endRound() {
    QStringList stopped;
    QStringList again;
    for (auto it = m_roundAnswers.cbegin(); it != m_roundAnswers.cend(); ++it) {
        Watch &watch = m_watch[it.key()];
        const int index = m_model->rowOfKey(it.key());
        const QString name = index >= 0 ? ServerListModel::nameOf(m_model->row(index)) : it.key();
        if (it.value()) {
            watch.misses = 0;
            if (std::exchange(watch.reported, false))
                again.append(name);
            continue;
        }
        ++watch.misses;
        if (m_watching && watch.misses >= MissesBeforeNotice && !watch.reported) {
            watch.reported = true;
            stopped.append(name);
        }
    }
    m_roundAnswers.clear();
    stopped.sort(Qt::CaseInsensitive);
    again.sort(Qt::CaseInsensitive);
    if (!stopped.isEmpty())
        Q_EMIT stoppedAnswering(stopped);
    if (!again.isEmpty())
        Q_EMIT answersAgain(again);
    Q_EMIT refreshFinished();
}
