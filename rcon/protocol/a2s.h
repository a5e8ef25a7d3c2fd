#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The server queries a game server answers on its game port without a password: what it is
// (A2S_INFO), who is on it (A2S_PLAYER) and its public settings (A2S_RULES). Pure functions over
// the bytes of one datagram, or of one answer joined from split parts (A2sSplitJoiner): every
// reader takes the bytes and returns std::nullopt for anything it cannot read whole (cut short,
// a count larger than what follows, a string without its ending NUL), never reading past the end.
//
// Every string from the server passes through rowText: UTF-8 when its bytes are valid UTF-8,
// Latin-1 otherwise, and made safe to show in one row of a table or one line of output.
namespace A2s {

// The challenge a server hands out in an 'A' answer, as its four bytes read little-endian;
// written back the same way, so the bytes go back as they came.
using Challenge = quint32;
// What A2S_PLAYER and A2S_RULES carry before the server has handed out a challenge.
constexpr Challenge NoChallenge = 0xFFFFFFFFu;

// The type letter after the four 0xFF bytes of an answer.
enum class AnswerType : char {
    NewChallenge = 'A', // a challenge to send back with the same question
    Info = 'I',         // the current A2S_INFO answer
    OldInfo = 'm',      // the engine's older A2S_INFO answer, sometimes sent before an 'I'
    Players = 'D',
    Rules = 'E',
};

struct ServerInfo {
    enum class Format { Current, Old }; // an 'I' or an 'm' answer
    enum class ServerType { Unknown, Dedicated, Listen, Proxy };
    enum class Environment { Unknown, Linux, Windows, Mac };
    struct Spectator { // the spectator proxy a server names in its extra data
        int port = 0;
        QString name;
        bool operator==(const Spectator &) const = default;
    };
    struct Mod { // the mod block of an 'm' answer
        QString link;
        QString downloadLink;
        quint32 version = 0;
        quint32 size = 0;
        bool multiplayerOnly = false;
        bool ownDll = false;
        bool operator==(const Mod &) const = default;
    };

    Format format = Format::Current;
    int protocol = 0;
    QString address; // 'm' only: the address the server gives for itself
    QString name;
    QString map;
    QString folder;
    QString game;
    int appId = 0;   // 'I' only
    int players = 0; // bots included
    int maxPlayers = 0;
    int bots = 0;
    ServerType serverType = ServerType::Unknown;
    Environment environment = Environment::Unknown;
    bool joinPassword = false;
    bool vac = false;
    QString version; // 'I' only
    // 'I' only, each present when the server's extra-data flags announce it.
    std::optional<int> gamePort;
    std::optional<quint64> steamId;
    std::optional<Spectator> spectator;
    std::optional<QString> keywords;
    std::optional<quint64> gameId;
    std::optional<Mod> mod; // 'm' only, when the server runs a mod

    bool operator==(const ServerInfo &) const = default;
};

struct Player {
    QString name;
    int score = 0;
    double seconds = 0; // connected for; a time that is not a finite number reads as 0
    bool operator==(const Player &) const = default;
};

struct Rule {
    QString name;
    QString value;
    bool operator==(const Rule &) const = default;
};

// FF FF FF FF 54 "Source Engine Query" 00, and the challenge after it once the server asked.
QByteArray infoRequest(std::optional<Challenge> challenge = std::nullopt);
// FF FF FF FF 55 and a challenge; FF FF FF FF 56 and a challenge.
QByteArray playersRequest(Challenge challenge = NoChallenge);
QByteArray rulesRequest(Challenge challenge = NoChallenge);

// The type letter of an answer: the byte after the four 0xFF bytes; nullopt for a datagram too
// short or without them (a split part has FE FF FF FF and must be joined first).
std::optional<char> answerType(QByteArrayView answer);
// An 'A' answer's challenge.
std::optional<Challenge> readChallenge(QByteArrayView answer);
// An 'I' or an 'm' answer. Bytes after the last field are ignored: an 'I' cut right after its
// version string is a whole answer without extra data.
std::optional<ServerInfo> readInfo(QByteArrayView answer);
// A 'D' answer: as many players as its count says, or nothing.
std::optional<QList<Player>> readPlayers(QByteArrayView answer);
// An 'E' answer: as many name and value pairs as its count says, or nothing.
std::optional<QList<Rule>> readRules(QByteArrayView answer);

// A string from the server as it is shown: decoded (UTF-8 when valid, else Latin-1), then a tab,
// a line break or a page break becomes one space, and every other control character (C0, DEL,
// C1) and every bidirectional embedding, override or isolate becomes U+FFFD. So a name or a
// value stays on its own row and cannot reorder what is shown after it, and the reader still
// sees that something was there.
QString rowText(QByteArrayView bytes);

} // namespace A2s
