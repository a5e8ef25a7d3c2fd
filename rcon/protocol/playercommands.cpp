#include "rcon/protocol/playercommands.h"

#include <QRegularExpression>

#include <algorithm>

namespace PlayerCommands {

namespace {

bool isUserId(int userId) {
    return userId > 0;
}

bool isMinutes(int minutes) {
    return minutes >= 0;
}

} // namespace

std::optional<QString> kick(int userId) {
    if (!isUserId(userId))
        return std::nullopt;
    return QStringLiteral("kick #%1").arg(userId);
}

std::optional<QString> banId(int minutes, int userId) {
    if (!isUserId(userId) || !isMinutes(minutes))
        return std::nullopt;
    return QStringLiteral("banid %1 #%2 kick").arg(minutes).arg(userId);
}

std::optional<QString> addIp(int minutes, const QString &address) {
    const std::optional<QString> ip = ipOf(address);
    if (!ip || !isMinutes(minutes))
        return std::nullopt;
    return QStringLiteral("addip %1 %2").arg(minutes).arg(*ip);
}

std::optional<QString> changeLevel(const QString &map) {
    if (!isMapName(map))
        return std::nullopt;
    return QStringLiteral("changelevel ") + map;
}

std::optional<QString> ipOf(const QString &address) {
    static const QRegularExpression pattern(
        QString::fromLatin1(R"(^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})(?::(\d{1,5}))?$)"));
    const QRegularExpressionMatch match = pattern.match(address);
    if (!match.hasMatch())
        return std::nullopt;
    for (int part = 1; part <= 4; ++part) {
        if (match.capturedView(part).toInt() > 255)
            return std::nullopt;
    }
    if (match.hasCaptured(5) && match.capturedView(5).toInt() > 65535)
        return std::nullopt;
    return address.left(match.capturedEnd(4));
}

bool isMapName(QStringView map) {
    // The engine's tokenizer splits at quotes, semicolons, blanks and ( ) { } ' :, so a map
    // name is kept to the characters map files are named with.
    static const QRegularExpression pattern(QString::fromLatin1(R"(^[A-Za-z0-9_.+\-]{1,63}$)"));
    return pattern.match(map).hasMatch();
}

QStringList mapsFromListing(QStringView text) {
    QStringList maps;
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (!line.endsWith(QLatin1String(".bsp"), Qt::CaseInsensitive))
            continue;
        const QStringView map = line.chopped(4);
        if (isMapName(map))
            maps.append(map.toString());
    }
    std::sort(maps.begin(), maps.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    maps.erase(std::unique(maps.begin(), maps.end()), maps.end());
    return maps;
}

} // namespace PlayerCommands
