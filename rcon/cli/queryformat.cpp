#include "rcon/cli/queryformat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace QueryFormat {

namespace {

qint64 wholeSeconds(double seconds) {
    return std::isfinite(seconds) && seconds > 0 ? qint64(std::floor(seconds)) : 0;
}

// A time connected as the players list shows it: "M:SS", or "H:MM:SS" from an hour on.
QString duration(double seconds) {
    const qint64 total = wholeSeconds(seconds);
    const qint64 hours = total / 3600;
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2")
            .arg((total / 60) % 60, hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
            .arg(total % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:%2").arg(hours).arg(minutesAndSeconds)
                     : minutesAndSeconds;
}

} // namespace

QByteArray plainOutput(const QString &server, const ServerSurvey::Result &result) {
    if (!result.info)
        return {};
    const A2s::ServerInfo &info = *result.info;
    const QString prefix = server + QStringLiteral(": ");
    QString players = QStringLiteral("%1/%2").arg(info.players).arg(info.maxPlayers);
    if (info.bots > 0)
        players += QStringLiteral(" (%1 bot%2)").arg(info.bots).arg(info.bots == 1 ? "" : "s");
    QString text =
        prefix +
        QStringList{info.name, info.map, players, QStringLiteral("%1 ms").arg(result.pingMs)}.join(
            QLatin1Char('\t')) +
        QLatin1Char('\n');
    for (const A2s::Player &player : result.players.value_or(QList<A2s::Player>())) {
        text += prefix +
                QStringList{QStringLiteral("  player"), player.name, QString::number(player.score),
                            duration(player.seconds)}
                    .join(QLatin1Char('\t')) +
                QLatin1Char('\n');
    }
    for (const A2s::Rule &rule : result.rules.value_or(QList<A2s::Rule>())) {
        text +=
            prefix +
            QStringList{QStringLiteral("  rule"), rule.name, rule.value}.join(QLatin1Char('\t')) +
            QLatin1Char('\n');
    }
    return text.toUtf8();
}

QByteArray jsonOutput(const QString &server, const ServerSurvey::Result &result) {
    if (!result.info)
        return {};
    const A2s::ServerInfo &info = *result.info;
    QJsonObject object{
        {QStringLiteral("server"), server},
        {QStringLiteral("name"), info.name},
        {QStringLiteral("map"), info.map},
        {QStringLiteral("game"), info.game},
        {QStringLiteral("folder"), info.folder},
        {QStringLiteral("players"), info.players},
        {QStringLiteral("max_players"), info.maxPlayers},
        {QStringLiteral("bots"), info.bots},
        {QStringLiteral("password"), info.joinPassword},
        {QStringLiteral("vac"), info.vac},
        {QStringLiteral("version"), info.version},
        {QStringLiteral("ping_ms"), result.pingMs},
    };
    if (result.players) {
        QJsonArray list;
        for (const A2s::Player &player : *result.players) {
            list.append(QJsonObject{{QStringLiteral("name"), player.name},
                                    {QStringLiteral("score"), player.score},
                                    {QStringLiteral("time"), wholeSeconds(player.seconds)}});
        }
        object.insert(QStringLiteral("player_list"), list);
    }
    if (result.rules) {
        QJsonObject rules;
        for (const A2s::Rule &rule : *result.rules)
            rules.insert(rule.name, rule.value);
        object.insert(QStringLiteral("rules"), rules);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace QueryFormat
