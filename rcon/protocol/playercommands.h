#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The commands the Players window sends about a player or the map. A player's name never goes
// into a command: only the user id, the address and a map name, each checked against the form
// the server gives them, so nothing a player chose can add words or commands to what is sent.
// Each returns nothing when its input is not of that form.
namespace PlayerCommands {

// kick #<userid>
std::optional<QString> kick(int userId);
// banid <minutes> #<userid> kick (0 minutes: for ever)
std::optional<QString> banId(int minutes, int userId);
// addip <minutes> <ip>; the address may carry its port, which is left out.
std::optional<QString> addIp(int minutes, const QString &address);
// changelevel <map>
std::optional<QString> changeLevel(const QString &map);

// A dotted IPv4 address, with or without ":port"; returns the address alone.
std::optional<QString> ipOf(const QString &address);
bool isMapName(QStringView map);

// The maps of a reply to "maps *": its ".bsp" names without the ending, sorted, each once.
QStringList mapsFromListing(QStringView text);

} // namespace PlayerCommands
