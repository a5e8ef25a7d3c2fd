#include "rcon/cli/replyformat.h"

#include "rcon/protocol/rconcodec.h"
#include "rcon/protocol/statusparser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ReplyFormat {

namespace {

QJsonObject statusObject(const ServerStatus &status) {
    QJsonArray players;
    for (const PlayerRow &row : status.players) {
        players.append(QJsonObject{
            {QStringLiteral("name"), row.name},
            {QStringLiteral("userid"), row.userId},
            {QStringLiteral("uniqueid"), row.uniqueId},
            {QStringLiteral("frags"), row.frags},
            {QStringLiteral("time"), row.time},
            {QStringLiteral("ping"), row.ping},
            {QStringLiteral("loss"), row.loss},
            {QStringLiteral("address"), row.address},
        });
    }
    return QJsonObject{
        {QStringLiteral("hostname"), status.hostname},
        {QStringLiteral("map"), status.map},
        {QStringLiteral("players_active"), status.active},
        {QStringLiteral("players_max"), status.maxPlayers},
        {QStringLiteral("players"), players},
    };
}

} // namespace

QString shownText(QStringView rawText) {
    QString text = RconCodec::displayText(rawText);
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

QByteArray plainOutput(QStringView rawText, const QString &server) {
    const QString text = shownText(rawText);
    if (text.isEmpty())
        return {};
    if (server.isNull())
        return text.toUtf8() + '\n';
    const QString prefix = server + QStringLiteral(": ");
    QString prefixed;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n')))
        prefixed += prefix + line.toString() + QLatin1Char('\n');
    return prefixed.toUtf8();
}

bool isStatusCommand(QStringView command) {
    const QStringView trimmed = command.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && !trimmed.at(end).isSpace())
        ++end;
    return trimmed.first(end).compare(QLatin1String("status"), Qt::CaseInsensitive) == 0;
}

QByteArray jsonOutput(QStringView command, QStringView rawText, QString *statusError,
                      const QString &server) {
    QJsonObject object{
        {QStringLiteral("command"), RconCodec::displayText(command)},
        {QStringLiteral("reply"), shownText(rawText)},
    };
    if (!server.isNull())
        object.insert(QStringLiteral("server"), server);
    if (isStatusCommand(command)) {
        ServerStatus status;
        QString error;
        if (StatusParser::parse(rawText, status, &error))
            object.insert(QStringLiteral("status"), statusObject(status));
        else if (statusError)
            *statusError = error;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace ReplyFormat
