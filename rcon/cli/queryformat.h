#pragma once

#include "rcon/cli/serversurvey.h"

#include <QByteArray>
#include <QString>

// How talvero-rcon --query prints what a server answered. Every string the server sent has
// passed through A2s::rowText: it holds no line break and no tab.
namespace QueryFormat {

// The server's line, "SERVER: name<TAB>map<TAB>players/max (N bots)<TAB>ping ms", then one line
// a player ("SERVER:   player<TAB>name<TAB>score<TAB>time") and one a rule
// ("SERVER:   rule<TAB>name<TAB>value") when they were asked for and answered; in UTF-8.
// Nothing for a server that did not say what it is.
QByteArray plainOutput(const QString &server, const ServerSurvey::Result &result);

// One JSON object on one line: "server", what the server is ("name", "map", "game", "folder",
// "players" and "max_players" with "bots" among the players, "password" and "vac" as booleans,
// "version", "ping_ms"), "player_list" (each "name", "score", "time" in whole seconds) and
// "rules" (an object of names and values) when they were asked for and answered. Nothing for a
// server that did not say what it is.
QByteArray jsonOutput(const QString &server, const ServerSurvey::Result &result);

} // namespace QueryFormat
