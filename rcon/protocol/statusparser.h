#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One client as the server's status table lists it.
struct PlayerRow {
    QString name; // for display (see StatusParser::displayText)
    int userId = 0;
    QString uniqueId; // "STEAM_0:1:2345", "BOT", "HLTV", "STEAM_ID_LAN", ...
    int frags = 0;    // an HLTV proxy has none: its spectators stand in that column
    bool isHltv = false;
    QString time; // connected for, as the server wrote it ("05:12", "1:02:03")
    int seconds = 0;
    int ping = 0;
    int loss = 0;
    QString address; // "ip:port"; empty when the server lists none (bots)

    // The address without its port; empty when there is no address.
    QString ip() const;
};

// What a status reply says about the server and who is on it.
struct ServerStatus {
    QString hostname;
    QString map;
    int active = 0;
    int maxPlayers = 0;
    QList<PlayerRow> players;
};

// Reads the GoldSrc engine's reply to status. The text is the reply as it came, one character
// per byte (the server sends whatever bytes a player chose as a name), with NULs and the
// protocol's markers already removed. A name may hold blanks, quotes and even a line break.
namespace StatusParser {

// Bytes (one character each) shown as UTF-8 when they are valid UTF-8, as Latin-1 otherwise.
QString displayText(QStringView bytes);

// The table has come to its end, the "N users" line.
bool isComplete(QStringView text);

// Fills status from a whole reply. A reply cut short, or one with a row that is no status row,
// leaves status alone and gives false with the reason in error.
bool parse(QStringView text, ServerStatus &status, QString *error = nullptr);

} // namespace StatusParser
