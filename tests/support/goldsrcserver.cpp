#include "tests/support/goldsrcserver.h"

#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QUdpSocket>
#include <QtEndian>

namespace {

const QByteArray Mark = QByteArrayLiteral("\xFF\xFF\xFF\xFF");

bool isSpace(char c) {
    return uchar(c) <= ' ';
}

// { } ( ) ' , : are words of their own to the engine's console parser.
bool isBreak(char c) {
    return c == '{' || c == '}' || c == '(' || c == ')' || c == '\'' || c == ',' || c == ':';
}

// One word as the engine's console parser reads an rcon datagram: blanks (every byte up to
// 0x20) skipped, "//" where a word would start a comment to the end of the line, a
// double-quoted run one word without its quotes (the next word starts right after the closing
// quote), each of { } ( ) ' , : a word of its own outside quotes, anything else up to the next
// blank or one of those (a double quote inside it is part of it).
bool nextWord(const QByteArray &text, qsizetype &pos, QByteArray &word) {
    for (;;) {
        while (pos < text.size() && isSpace(text.at(pos)))
            ++pos;
        if (pos >= text.size())
            return false;
        if (!text.mid(pos).startsWith("//"))
            break;
        while (pos < text.size() && text.at(pos) != '\n')
            ++pos;
    }
    if (text.at(pos) == '"') {
        const qsizetype start = pos + 1;
        qsizetype end = text.indexOf('"', start);
        if (end < 0)
            end = text.size();
        word = text.mid(start, end - start);
        pos = end < text.size() ? end + 1 : end;
        return true;
    }
    const qsizetype start = pos++;
    if (!isBreak(text.at(start))) {
        while (pos < text.size() && !isSpace(text.at(pos)) && !isBreak(text.at(pos)))
            ++pos;
    }
    word = text.mid(start, pos - start);
    return true;
}

// One argument of a command the server runs: whitespace skipped, a double-quoted run is one
// token without its quotes, anything else runs to the next whitespace. Simpler than the
// engine's reading above, as the commands here take them: the engine's own banid and kick put
// unique ids and names that its parser splits at ':' and '(' back together.
bool nextToken(const QByteArray &text, qsizetype &pos, QByteArray &token) {
    while (pos < text.size() && isSpace(text.at(pos)))
        ++pos;
    if (pos >= text.size())
        return false;
    if (text.at(pos) == '"') {
        const qsizetype start = pos + 1;
        qsizetype end = text.indexOf('"', start);
        if (end < 0)
            end = text.size();
        token = text.mid(start, end - start);
        pos = end < text.size() ? end + 1 : end;
        return true;
    }
    const qsizetype start = pos;
    while (pos < text.size() && !isSpace(text.at(pos)))
        ++pos;
    token = text.mid(start, pos - start);
    return true;
}

QList<QByteArray> tokens(const QByteArray &text) {
    QList<QByteArray> result;
    qsizetype pos = 0;
    QByteArray token;
    while (nextToken(text, pos, token))
        result.append(token);
    return result;
}

// The datagram's text as the engine sees it: up to the first NUL.
QByteArray body(const QByteArray &datagram) {
    QByteArray text = datagram.mid(Mark.size());
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

QByteArray padded(const QByteArray &text, int width) {
    return text.leftJustified(width, ' ');
}

QByteArray addressText(const QHostAddress &address, quint16 port) {
    return address.toString().toLatin1() + ':' + QByteArray::number(port);
}

// What logaddress_add and logaddress_del print when not given an address and a port.
QByteArray logAddressUsage(const QByteArray &command, const QStringList &addresses) {
    QByteArray text = command + ":  usage\n" + command + " ip port\n";
    for (const QString &address : addresses)
        text += "current:  " + address.toLatin1() + '\n';
    return text;
}

// Reads "ip port" as logaddress_add and logaddress_del take them: a dotted IPv4 address and
// a port from 1 to 65535. The console's complaint otherwise.
QByteArray readLogAddress(const QByteArray &command, const QList<QByteArray> &args,
                          QHostAddress &address, quint16 &port) {
    bool ok = false;
    port = args.at(2).toUShort(&ok);
    if (!ok || port == 0)
        return command + ":  must specify a valid port\n";
    const QByteArray &ip = args.at(1);
    if (ip.count('.') != 3 || !address.setAddress(QString::fromLatin1(ip)) ||
        address.protocol() != QAbstractSocket::IPv4Protocol)
        return command + ":  unable to resolve " + ip + ':' + args.at(2) + '\n';
    return {};
}

} // namespace

GoldSrcServer::GoldSrcServer(QObject *parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this)) {
    m_clock.start();
    m_players = defaultPlayers();
    connect(m_socket, &QUdpSocket::readyRead, this, &GoldSrcServer::onReadyRead);
}

GoldSrcServer::~GoldSrcServer() = default;

bool GoldSrcServer::listen(quint16 port) {
    return m_socket->bind(QHostAddress::LocalHost, port, QAbstractSocket::DontShareAddress);
}

quint16 GoldSrcServer::port() const {
    return m_socket->localPort();
}

QList<GoldSrcServer::Player> GoldSrcServer::defaultPlayers() {
    using Kind = Player::Kind;
    auto human = [](const QByteArray &name, int id, int frags, int seconds, int ping) {
        return Player{name,
                      id,
                      "STEAM_0:" + QByteArray::number(id % 2) + ':' + QByteArray::number(1000 + id),
                      Kind::Human,
                      frags,
                      seconds,
                      ping,
                      id % 3,
                      "192.0.2." + QByteArray::number(10 + id) + ":27005"};
    };
    return {
        human("Player", 1, 12, 754, 35),
        human("Player(1)", 2, 3, 3723, 48),
        human("Player(2)", 3, -1, 12, 102),
        human("Player(3)", 4, 0, 61, 12),
        human("bob", 5, 7, 600, 77),
        human("the \"quoted\" one", 6, 2, 95, 61),
        human("Zo\xC3\xAB \xE2\x98\x85 UTF-8", 7, 5, 300, 20),
        Player{"[BOT] Harry", 8, "BOT", Kind::Bot, 4, 1800, 0, 0, {}},
        Player{"HLTV Proxy", 9, "HLTV", Kind::Hltv, 3, 7200, 5, 0, "192.0.2.50:27020"},
        Player{"lan player", 10, "STEAM_ID_LAN", Kind::Human, 1, 45, 8, 0, "192.0.2.99:27005"},
    };
}

QList<GoldSrcServer::Player> GoldSrcServer::crowd(int n) {
    QList<Player> players;
    for (int i = 1; i <= n; ++i) {
        players.append(Player{"player number " + QByteArray::number(i), i,
                              "STEAM_0:1:" + QByteArray::number(500000 + i * 37),
                              Player::Kind::Human, i % 17, 60 * i + 7, 20 + i, i % 4,
                              "198.51.100." + QByteArray::number(i) + ":27005"});
    }
    return players;
}

void GoldSrcServer::setBanPolicy(int failures, int windowMs) {
    m_banFailures = failures;
    m_banWindowMs = windowMs;
}

QStringList GoldSrcServer::logAddresses() const {
    QStringList list;
    for (const LogAddress &to : m_logAddresses)
        list.append(QString::fromLatin1(addressText(to.address, to.port)));
    return list;
}

bool GoldSrcServer::addLogAddress(const QHostAddress &address, quint16 port) {
    if (indexOfLogAddress(address, port) >= 0 || m_logAddresses.size() >= MaxLogAddresses)
        return false;
    m_logAddresses.append({address, port});
    return true;
}

qsizetype GoldSrcServer::indexOfLogAddress(const QHostAddress &address, quint16 port) const {
    for (qsizetype i = 0; i < m_logAddresses.size(); ++i) {
        if (m_logAddresses.at(i).address == address && m_logAddresses.at(i).port == port)
            return i;
    }
    return -1;
}

void GoldSrcServer::writeLog(const QByteArray &event) {
    if (m_logAddresses.isEmpty())
        return;
    sendToLogAddresses(logDatagram(logLine(QDateTime::currentDateTime(), event)));
}

void GoldSrcServer::sendToLogAddresses(const QByteArray &datagram) {
    for (const LogAddress &to : m_logAddresses)
        m_socket->writeDatagram(datagram, to.address, to.port);
}

QList<QByteArray> GoldSrcServer::writeChatter(int n) {
    QList<QByteArray> events;
    for (int i = 0; i < n; ++i) {
        if (m_chatter.isEmpty())
            m_chatter = chatterRound(m_chatterRounds++);
        events.append(m_chatter.takeFirst());
        writeLog(events.last());
    }
    return events;
}

QList<QByteArray> GoldSrcServer::chatterRound(int round) const {
    static const QList<QByteArray> chat = {"gg", "nice shot", "who has the bomb?",
                                           "wp", "lag!!",     "anyone got a defuse kit?"};
    static const QList<QByteArray> teamChat = {"rush b",  "save",           "bomb A",
                                               "stack B", "drop me an awp", "go go go"};
    static const QList<QByteArray> weapons = {"ak47", "m4a1",    "awp",   "deagle",
                                              "usp",  "glock18", "famas", "mp5navy"};
    // Proxies do not play.
    QList<Player> cast = m_players.isEmpty() ? defaultPlayers() : m_players;
    int highestId = 0;
    for (const Player &player : cast)
        highestId = qMax(highestId, player.userId);
    cast.removeIf([](const Player &player) { return player.kind == Player::Kind::Hltv; });
    if (cast.isEmpty())
        cast = {Player{"[BOT] Lone", highestId + 1, "BOT", Player::Kind::Bot, 0, 0, 0, 0, {}}};
    const Player &ct = cast.at(2 * round % cast.size());
    const Player &t = cast.at((2 * round + 1) % cast.size());
    // A newcomer joins in every other round and leaves in the next.
    const Player newcomer{"newbie",
                          highestId + 1 + round / 2,
                          "STEAM_0:0:" + QByteArray::number(42 + round / 2),
                          Player::Kind::Human,
                          0,
                          0,
                          60,
                          0,
                          "192.0.2.77:27005"};
    const QByteArray weapon = weapons.at(round % weapons.size());
    const int tWins = round / 3; // every third round goes to the terrorists
    const int ctWins = round - tWins;

    QList<QByteArray> lines = {
        worldTriggeredEvent("Round_Start"), sayEvent(ct, "CT", chat.at(round % chat.size())),
        sayEvent(t, "TERRORIST", teamChat.at(round % teamChat.size()), true)};
    if (round % 2 == 0) {
        lines.append(connectedEvent(newcomer));
        lines.append(enteredEvent(newcomer));
        lines.append(joinedTeamEvent(newcomer, "CT"));
    }
    switch (round % 3) {
    case 0:
        lines.append(killEvent(ct, "CT", t, "TERRORIST", weapon));
        lines.append(teamTriggeredEvent("CT", "Target_Saved", ctWins + 1, tWins));
        break;
    case 1:
        lines.append(playerTriggeredEvent(t, "TERRORIST", "Planted_The_Bomb"));
        lines.append(killEvent(ct, "CT", t, "TERRORIST", weapon));
        lines.append(playerTriggeredEvent(ct, "CT", "Defused_The_Bomb"));
        lines.append(teamTriggeredEvent("CT", "Bomb_Defused", ctWins + 1, tWins));
        break;
    default:
        lines.append(playerTriggeredEvent(t, "TERRORIST", "Planted_The_Bomb"));
        lines.append(killEvent(t, "TERRORIST", ct, "CT", weapon));
        lines.append(teamTriggeredEvent("TERRORIST", "Target_Bombed", ctWins, tWins + 1));
        break;
    }
    if (round % 2 == 1)
        lines.append(disconnectedEvent(newcomer, "CT"));
    if (round % 4 == 3)
        lines.append(cvarEvent("mp_friendlyfire", round / 4 % 2 ? "0" : "1"));
    lines.append(worldTriggeredEvent("Round_End"));
    return lines;
}

QByteArray GoldSrcServer::playerTag(const Player &player, const QByteArray &team) {
    return '"' + player.name + '<' + QByteArray::number(player.userId) + "><" + player.uniqueId +
           "><" + team + ">\"";
}

QByteArray GoldSrcServer::sayEvent(const Player &player, const QByteArray &team,
                                   const QByteArray &text, bool toTeam) {
    return playerTag(player, team) + (toTeam ? " say_team \"" : " say \"") + text + '"';
}

QByteArray GoldSrcServer::killEvent(const Player &killer, const QByteArray &killerTeam,
                                    const Player &victim, const QByteArray &victimTeam,
                                    const QByteArray &weapon) {
    return playerTag(killer, killerTeam) + " killed " + playerTag(victim, victimTeam) + " with \"" +
           weapon + '"';
}

QByteArray GoldSrcServer::connectedEvent(const Player &player) {
    return playerTag(player, {}) + " connected, address \"" + player.address + '"';
}

QByteArray GoldSrcServer::enteredEvent(const Player &player) {
    return playerTag(player, {}) + " entered the game";
}

QByteArray GoldSrcServer::joinedTeamEvent(const Player &player, const QByteArray &team) {
    return playerTag(player, {}) + " joined team \"" + team + '"';
}

QByteArray GoldSrcServer::disconnectedEvent(const Player &player, const QByteArray &team) {
    return playerTag(player, team) + " disconnected";
}

QByteArray GoldSrcServer::playerTriggeredEvent(const Player &player, const QByteArray &team,
                                               const QByteArray &what) {
    return playerTag(player, team) + " triggered \"" + what + '"';
}

QByteArray GoldSrcServer::worldTriggeredEvent(const QByteArray &what) {
    return "World triggered \"" + what + '"';
}

QByteArray GoldSrcServer::teamTriggeredEvent(const QByteArray &team, const QByteArray &what,
                                             int ctScore, int tScore) {
    return "Team \"" + team + "\" triggered \"" + what + "\" (CT \"" + QByteArray::number(ctScore) +
           "\") (T \"" + QByteArray::number(tScore) + "\")";
}

QByteArray GoldSrcServer::cvarEvent(const QByteArray &name, const QByteArray &value) {
    return "Server cvar \"" + name + "\" = \"" + value + '"';
}

bool GoldSrcServer::isBanned(const QHostAddress &address) const {
    return m_banned.contains(address.toString());
}

QByteArray GoldSrcServer::mark() {
    return Mark;
}

QByteArray GoldSrcServer::challengeReply(quint32 challenge) {
    return Mark + "challenge rcon " + QByteArray::number(challenge) + "\n" + QByteArray(1, '\0');
}

QByteArray GoldSrcServer::consoleReply(const QByteArray &text) {
    return Mark + 'l' + text + QByteArray(2, '\0');
}

QByteArray GoldSrcServer::emptyAcknowledgement() {
    return consoleReply({});
}

QByteArray GoldSrcServer::badPasswordReply() {
    return consoleReply("Bad rcon_password.\n");
}

QByteArray GoldSrcServer::noChallengeReply() {
    return Mark + "9No challenge for your address.\n" + QByteArray(1, '\0');
}

QByteArray GoldSrcServer::banNotice() {
    return Mark + "lYou have been banned from this server.\n" + QByteArray(1, '\0');
}

QList<QByteArray> GoldSrcServer::splitPacket(const QByteArray &payload, quint32 sequence,
                                             int maxDatagram) {
    constexpr int header = 9;
    const qsizetype partSize = maxDatagram - header;
    const qsizetype count = qMax<qsizetype>(1, (payload.size() + partSize - 1) / partSize);
    Q_ASSERT(count <= 15);
    QList<QByteArray> parts;
    for (qsizetype i = 0; i < count; ++i) {
        QByteArray part = QByteArrayLiteral("\xFE\xFF\xFF\xFF");
        char number[4];
        qToLittleEndian<quint32>(sequence, number);
        part.append(number, 4);
        part.append(char((i << 4) | count));
        part.append(payload.mid(i * partSize, partSize));
        parts.append(part);
    }
    return parts;
}

bool GoldSrcServer::isChallengeRequest(const QByteArray &datagram) {
    return datagram.startsWith(Mark) && body(datagram).startsWith("challenge rcon");
}

bool GoldSrcServer::parseRcon(const QByteArray &datagram, RconRequest &request) {
    if (!datagram.startsWith(Mark))
        return false;
    const QByteArray text = body(datagram);
    qsizetype pos = 0;
    QByteArray word;
    if (!nextWord(text, pos, word) || word != "rcon")
        return false;
    request = {};
    if (!nextWord(text, pos, request.challenge))
        return false;
    // No third word (a bare "//" comments out the rest): no password, which never matches.
    if (!nextWord(text, pos, request.password))
        return true;
    // The rest of the line is one command, run as it came (a line break at its end included).
    while (pos < text.size() && isSpace(text.at(pos)))
        ++pos;
    request.command = text.mid(pos);
    return true;
}

QByteArray GoldSrcServer::logLine(const QDateTime &when, const QByteArray &event) {
    return "L " + when.toString(QStringLiteral("MM/dd/yyyy - HH:mm:ss")).toLatin1() + ": " + event;
}

QByteArray GoldSrcServer::logDatagram(const QByteArray &line) {
    return Mark + "log " + line + '\n' + QByteArray(1, '\0');
}

void GoldSrcServer::onReadyRead() {
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const QList<QByteArray> replies =
            answer(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
        for (const QByteArray &reply : replies)
            m_socket->writeDatagram(reply, datagram.senderAddress(),
                                    quint16(datagram.senderPort()));
    }
}

QList<QByteArray> GoldSrcServer::answer(const QByteArray &datagram, const QHostAddress &from,
                                        quint16 port) {
    const QString address = from.toString();
    if (m_banned.contains(address))
        return {banNotice()};
    if (A2sResponder::isQuery(datagram))
        return m_queries.answer(datagram, from, queryState());
    if (isChallengeRequest(datagram)) {
        auto it = m_challenges.find(address);
        if (it == m_challenges.end()) {
            const quint32 challenge = m_fixedChallenge != 0
                                          ? m_fixedChallenge
                                          : QRandomGenerator::global()->bounded(1u, 0xFFFFFFFFu);
            it = m_challenges.insert(address, challenge);
        }
        return {challengeReply(it.value())};
    }
    RconRequest request;
    if (!parseRcon(datagram, request))
        return {};
    bool numeric = false;
    const quint32 challenge = request.challenge.toUInt(&numeric);
    if (!numeric || !m_challenges.contains(address) || m_challenges.value(address) != challenge)
        return {noChallengeReply()};
    // The engine logs the request as it came, challenge and password in clear, a line feed
    // at its end too.
    const QByteArray logged = '"' + body(datagram) + "\" from \"" + addressText(from, port) + '"';
    if (m_password.isEmpty() || request.password != m_password) {
        writeLog("Bad Rcon: " + logged);
        noteFailure(address);
        return {badPasswordReply()};
    }
    writeLog("Rcon: " + logged);
    m_executed.append(QString::fromLatin1(request.command));
    emit commandExecuted(QString::fromLatin1(request.command));
    return packets(run(request.command));
}

bool GoldSrcServer::noteFailure(const QString &address) {
    const qint64 now = m_clock.elapsed();
    QList<qint64> &times = m_failures[address];
    times.append(now);
    times.removeIf([&](qint64 t) { return now - t > m_banWindowMs; });
    if (times.size() < m_banFailures)
        return false;
    m_banned.insert(address);
    return true;
}

QList<QByteArray> GoldSrcServer::packets(const QByteArray &output) {
    if (output.isEmpty())
        return {emptyAcknowledgement()};
    QList<QByteArray> result;
    for (qsizetype at = 0; at < output.size(); at += RedirectSize) {
        const QByteArray payload = consoleReply(output.mid(at, RedirectSize));
        if (payload.size() <= MaxDatagram)
            result.append(payload);
        else
            result.append(splitPacket(payload, m_sequence++));
    }
    return result;
}

QByteArray GoldSrcServer::run(const QByteArray &command) {
    const QList<QByteArray> args = tokens(command);
    qsizetype pos = 0;
    QByteArray first;
    if (!nextToken(command, pos, first))
        return {};
    const QByteArray name = first.toLower();
    const QByteArray rest = command.mid(pos).trimmed();
    if (name == "say") {
        // The text as it came: a line break at its end is said and logged too.
        while (pos < command.size() && isSpace(command.at(pos)))
            ++pos;
        return say(command.mid(pos));
    }

    if (name == "status")
        return statusText();
    if (name == "users")
        return usersText();
    if (name == "hostname" || name == "sv_gravity" || name == "sv_password") {
        QByteArray &value = name == "hostname"     ? m_hostname
                            : name == "sv_gravity" ? m_gravity
                                                   : m_joinPassword;
        if (args.size() < 2)
            return '"' + name + "\" is \"" + value + "\"\n";
        const bool changed = value != args.at(1);
        value = args.at(1);
        if (changed && name == "sv_gravity")
            writeLog(cvarEvent(name, value));
        return {};
    }
    if (name == "log") {
        if (args.size() < 2) {
            return QByteArray("usage:  log < on | off >\n") +
                   (m_logging ? "currently logging\n" : "not currently logging\n");
        }
        m_logging = args.at(1).toLower() == "on";
        return m_logging ? "Server logging data to file logs/L0101000.log\n"
                         : "Server logging disabled.\n";
    }
    if (name == "kick")
        return args.size() < 2 ? QByteArray("Usage:  kick < name > | < # userid >\n") : kick(rest);
    if (name == "banid")
        return banId(args);
    if (name == "addip")
        return addIp(args);
    if (name == "writeid") {
        m_idsWritten = true;
        return {};
    }
    if (name == "writeip") {
        m_addressesWritten = true;
        return {};
    }
    if (name == "changelevel")
        return changeLevel(args);
    if (name == "echo")
        return tokens(rest).join(' ') + '\n';
    if (name == "maps") {
        if (args.size() != 2)
            return "Usage:  maps <substring>\nmaps * for full listing\n";
        const QByteArray filter = args.at(1) == "*" ? QByteArray() : args.at(1);
        QByteArray text = "-------------\n";
        for (const QByteArray &map : mapNames()) {
            if (filter.isEmpty() || map.contains(filter))
                text += map + ".bsp\n";
        }
        return text;
    }
    if (name == "cvarlist") {
        QByteArray text = "CVar List\n--------------\n";
        text += padded("hostname", 31) + ": " + m_hostname + '\n';
        text += padded("sv_gravity", 31) + ": " + m_gravity + '\n';
        for (int i = 1; i <= 500; ++i)
            text += padded("sv_setting_" + QByteArray::number(i), 31) + ": " +
                    QByteArray::number(i * 7) + '\n';
        text += "--------------\n502 Total CVars\nCvarList ? for syntax\n";
        return text;
    }
    if (name == "admin_command")
        return runAdmin(rest);
    if (name == "logaddress_add")
        return logAddressAdd(args);
    if (name == "logaddress_del")
        return logAddressDel(args);
    return "Unknown command: " + args.first() + '\n';
}

QByteArray GoldSrcServer::runAdmin(const QByteArray &arguments) {
    QList<QByteArray> args = tokens(arguments);
    if (args.isEmpty())
        return "Usage: admin_command <admin command>\n";
    const QByteArray sub = args.takeFirst().toLower();
    if (sub == "admin_kick")
        return args.isEmpty() ? QByteArray("Usage: admin_kick <target>\n") : kick(args.first());
    if (sub == "admin_say" || sub == "admin_tsay" || sub == "admin_csay") {
        static const QList<QByteArray> colours = {"red",    "blue",   "green", "white",
                                                  "yellow", "purple", "cyan"};
        if (sub != "admin_say" && !args.isEmpty() && colours.contains(args.first().toLower()))
            args.removeFirst();
        return "[ADMIN] " + args.join(' ') + '\n';
    }
    return "[ADMIN] Unknown command: " + sub + '\n';
}

QByteArray GoldSrcServer::kick(const QByteArray &target) {
    // "# 5" and "#5" name a user id, anything else a name.
    if (target.startsWith('#')) {
        bool ok = false;
        const int id = target.mid(1).trimmed().toInt(&ok);
        const qsizetype at = ok ? indexOfUser(id) : -1;
        if (at < 0)
            return "Couldn't find player \"" + target + "\".\n";
        m_players.removeAt(at);
        return {};
    }
    QByteArray name = target;
    if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
        name = name.mid(1, name.size() - 2);
    for (qsizetype i = 0; i < m_players.size(); ++i) {
        if (m_players.at(i).name.compare(name, Qt::CaseInsensitive) == 0) {
            m_players.removeAt(i);
            return {};
        }
    }
    return "Couldn't find player \"" + name + "\".\n";
}

qsizetype GoldSrcServer::indexOfUser(int userId) const {
    for (qsizetype i = 0; i < m_players.size(); ++i) {
        if (m_players.at(i).userId == userId)
            return i;
    }
    return -1;
}

QByteArray GoldSrcServer::banId(const QList<QByteArray> &args) {
    static const QByteArray usage = "Usage:  banid < minutes > < userid | uniqueid > { kick }\n"
                                    "Use 0 minutes for permanent\n";
    bool ok = false;
    const int minutes = args.size() >= 3 ? args.at(1).toInt(&ok) : 0;
    if (!ok || minutes < 0)
        return usage;
    QByteArray target = args.at(2);
    bool byUser = false;
    int userId = 0;
    if (target.startsWith('#')) {
        userId = target.mid(1).toInt(&byUser);
        if (!byUser)
            return usage;
    }
    const bool kickToo = args.size() >= 4 && args.at(3).toLower() == "kick";
    qsizetype at = -1;
    if (byUser) {
        at = indexOfUser(userId);
        // Bots have no id to ban.
        if (at < 0 || m_players.at(at).kind == Player::Kind::Bot)
            return "banid:  couldn't find userid " + QByteArray::number(userId) + '\n';
        target = m_players.at(at).uniqueId;
    } else {
        for (qsizetype i = 0; i < m_players.size() && at < 0; ++i) {
            if (m_players.at(i).uniqueId.compare(target, Qt::CaseInsensitive) == 0)
                at = i;
        }
    }
    m_bannedIds.insert(target, minutes);
    m_idsWritten = false;
    if (kickToo && at >= 0)
        m_players.removeAt(at);
    return {};
}

QByteArray GoldSrcServer::addIp(const QList<QByteArray> &args) {
    if (args.size() < 3)
        return "Usage: addip <minutes> <ipaddress>\nUse 0 minutes for permanent\n";
    bool ok = false;
    const int minutes = args.at(1).toInt(&ok);
    const QByteArray ip = args.at(2);
    QHostAddress address;
    if (!ok || minutes < 0 || !address.setAddress(QString::fromLatin1(ip)) ||
        address.protocol() != QAbstractSocket::IPv4Protocol)
        return "Bad filter address: " + ip + '\n';
    m_bannedAddresses.insert(ip, minutes);
    m_addressesWritten = false;
    // Everyone playing from that address is dropped.
    m_players.removeIf([&](const Player &player) {
        return !player.address.isEmpty() && player.address.split(':').first() == ip;
    });
    return {};
}

QByteArray GoldSrcServer::changeLevel(const QList<QByteArray> &args) {
    if (args.size() < 2)
        return "changelevel <levelname> : continue game on a new level\n";
    if (!mapNames().contains(args.at(1)))
        return "changelevel failed: '" + args.at(1) + "' not found on server.\n";
    m_map = args.at(1);
    return {};
}

QByteArray GoldSrcServer::say(const QByteArray &text) {
    // Text that opens with a quote loses it and its last character (the closing quote, when
    // nothing follows it); quotes inside are kept.
    QByteArray said = text;
    if (said.startsWith('"')) {
        said.remove(0, 1);
        said.chop(1);
    }
    if (!said.isEmpty())
        writeLog("Server say \"" + said + '"');
    return {};
}

QByteArray GoldSrcServer::logAddressAdd(const QList<QByteArray> &args) {
    static const QByteArray command = "logaddress_add";
    if (args.size() != 3)
        return logAddressUsage(command, logAddresses());
    QHostAddress address;
    quint16 port = 0;
    if (const QByteArray error = readLogAddress(command, args, address, port); !error.isEmpty())
        return error;
    if (indexOfLogAddress(address, port) >= 0)
        return command + ":  address already in list\n";
    if (!addLogAddress(address, port))
        return command + ":  too many addresses, " + QByteArray::number(MaxLogAddresses) +
               " at most\n";
    return command + ":  " + addressText(address, port) + '\n';
}

QByteArray GoldSrcServer::logAddressDel(const QList<QByteArray> &args) {
    static const QByteArray command = "logaddress_del";
    if (args.size() != 3)
        return logAddressUsage(command, logAddresses());
    QHostAddress address;
    quint16 port = 0;
    if (const QByteArray error = readLogAddress(command, args, address, port); !error.isEmpty())
        return error;
    if (m_logAddresses.isEmpty())
        return command + ":  No addresses added yet\n";
    const qsizetype at = indexOfLogAddress(address, port);
    if (at < 0)
        return command + ":  Couldn't find address in list\n";
    m_logAddresses.removeAt(at);
    return "deleting:  " + addressText(address, port) + '\n';
}

QList<QByteArray> GoldSrcServer::mapNames() {
    QList<QByteArray> maps = {"as_oilrig", "cs_assault", "cs_italy",   "cs_office", "de_aztec",
                              "de_dust",   "de_dust2",   "de_inferno", "de_nuke",   "de_train"};
    const char *families[] = {"de_", "cs_", "as_", "fy_", "aim_", "awp_", "he_", "ka_"};
    for (const char *family : families) {
        for (int i = 1; i <= 40; ++i)
            maps.append(family + QByteArray("map") + QByteArray::number(i));
    }
    return maps;
}

QByteArray GoldSrcServer::statusText() const {
    // The engine's own layout, field widths included.
    QByteArray text = "hostname:  " + m_hostname + '\n';
    text += "version :  48/1.1.2.7/Stdio 8684 secure  (10)\n";
    text += "tcp/ip  :  127.0.0.1:" + QByteArray::number(port()) + '\n';
    text += "map     :  " + m_map + " at: 0 x, 0 y, 0 z\n";
    text += "players :  " + QByteArray::number(m_players.size()) + " active (" +
            QByteArray::number(m_maxPlayers) + " max)\n\n";
    text += "#      name userid uniqueid frag time ping loss adr\n";
    int row = 1;
    for (const Player &player : m_players) {
        text += QByteArray("#") + QByteArray::number(row++).rightJustified(2, ' ') + ' ' +
                ('"' + player.name + '"').rightJustified(8, ' ') + ' ' +
                QByteArray::number(player.userId) + ' ' + player.uniqueId;
        if (player.kind == Player::Kind::Hltv)
            text += " hltv:" + QByteArray::number(player.frags) + "/32 delay:30";
        else
            text += ' ' + QByteArray::number(player.frags).rightJustified(3, ' ');
        const int hours = player.seconds / 3600;
        const int minutes = player.seconds / 60 % 60;
        const QByteArray mm = QByteArray::number(minutes).rightJustified(2, '0');
        const QByteArray ss = QByteArray::number(player.seconds % 60).rightJustified(2, '0');
        if (hours)
            text += ' ' + QByteArray::number(hours).rightJustified(2, ' ') + ':' + mm + ':' + ss;
        else
            text += ' ' + mm + ':' + ss;
        text += ' ' + QByteArray::number(player.ping).rightJustified(4, ' ') + "  " +
                QByteArray::number(player.loss).rightJustified(3, ' ');
        if (!player.address.isEmpty())
            text += ' ' + player.address;
        text += '\n';
    }
    text += QByteArray::number(m_players.size()) + " users\n";
    return text;
}

A2sResponder::State GoldSrcServer::queryState() const {
    A2sResponder::State state{.hostname = m_hostname,
                              .map = m_map,
                              .port = port(),
                              .maxPlayers = m_maxPlayers,
                              .players = {},
                              .joinPassword = m_joinPassword,
                              .gravity = m_gravity,
                              .vac = m_vacSecure};
    for (const Player &player : m_players) {
        state.players.append(
            {player.name, player.frags, player.seconds, player.kind == Player::Kind::Bot});
    }
    return state;
}

QByteArray GoldSrcServer::usersText() const {
    QByteArray text = "userid : uniqueid : name\n------ : ---------: ----\n";
    for (const Player &player : m_players) {
        text += QByteArray::number(player.userId).rightJustified(6, ' ') + " : " + player.uniqueId +
                " : " + player.name + '\n';
    }
    text += QByteArray::number(m_players.size()) + " users\n";
    return text;
}
