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

// One token as the engine reads it: whitespace skipped, a double-quoted run is one token
// without its quotes, anything else runs to the next whitespace.
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

} // namespace

GoldSrcServer::GoldSrcServer(QObject *parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this)) {
    m_clock.start();
    m_players = {{"Player", 1}, {"Player(1)", 2}, {"Player(2)", 3}, {"Player(3)", 4}, {"bob", 5}};
    connect(m_socket, &QUdpSocket::readyRead, this, &GoldSrcServer::onReadyRead);
}

GoldSrcServer::~GoldSrcServer() = default;

bool GoldSrcServer::listen(quint16 port) {
    return m_socket->bind(QHostAddress::LocalHost, port, QAbstractSocket::DontShareAddress);
}

quint16 GoldSrcServer::port() const {
    return m_socket->localPort();
}

void GoldSrcServer::setBanPolicy(int failures, int windowMs) {
    m_banFailures = failures;
    m_banWindowMs = windowMs;
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
    if (!nextToken(text, pos, word) || word != "rcon")
        return false;
    request = {};
    if (!nextToken(text, pos, request.challenge) || !nextToken(text, pos, request.password))
        return false;
    request.command = text.mid(pos).trimmed();
    return true;
}

void GoldSrcServer::onReadyRead() {
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const QList<QByteArray> replies = answer(datagram.data(), datagram.senderAddress());
        for (const QByteArray &reply : replies)
            m_socket->writeDatagram(reply, datagram.senderAddress(),
                                    quint16(datagram.senderPort()));
    }
}

QList<QByteArray> GoldSrcServer::answer(const QByteArray &datagram, const QHostAddress &from) {
    const QString address = from.toString();
    if (m_banned.contains(address))
        return {banNotice()};
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
    if (m_password.isEmpty() || request.password != m_password) {
        noteFailure(address);
        return {badPasswordReply()};
    }
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

    if (name == "status")
        return statusText();
    if (name == "users")
        return usersText();
    if (name == "hostname" || name == "sv_gravity") {
        QByteArray &value = name == "hostname" ? m_hostname : m_gravity;
        if (args.size() < 2)
            return '"' + name + "\" is \"" + value + "\"\n";
        value = args.at(1);
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
        return args.size() < 2 ? QByteArray("Usage:  kick < name > | < # userid >\n")
                               : kick(args.at(1));
    if (name == "echo")
        return tokens(rest).join(' ') + '\n';
    if (name == "maps") {
        const QByteArray filter = args.size() < 2 || args.at(1) == "*" ? QByteArray() : args.at(1);
        QByteArray text = "-------------\n";
        const char *families[] = {"de_", "cs_", "as_", "fy_", "aim_", "awp_", "he_", "ka_"};
        for (const char *family : families) {
            for (int i = 1; i <= 40; ++i) {
                const QByteArray map = family + QByteArray("map") + QByteArray::number(i) + ".bsp";
                if (filter.isEmpty() || map.contains(filter))
                    text += map + '\n';
            }
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

QByteArray GoldSrcServer::kick(const QByteArray &name) {
    for (qsizetype i = 0; i < m_players.size(); ++i) {
        if (m_players.at(i).name.compare(name, Qt::CaseInsensitive) == 0) {
            m_players.removeAt(i);
            return {};
        }
    }
    return "Couldn't find player \"" + name + "\".\n";
}

QByteArray GoldSrcServer::statusText() const {
    QByteArray text = "hostname:  " + m_hostname + '\n';
    text += "version :  48/1.1.2.7/Stdio 8684 secure  (10)\n";
    text += "tcp/ip  :  127.0.0.1:" + QByteArray::number(port()) + '\n';
    text += "map     :  de_dust2 at: 0 x, 0 y, 0 z\n";
    text += "players :  " + QByteArray::number(m_players.size()) + " active (32 max)\n\n";
    text += "#      name userid uniqueid frag time ping loss adr\n";
    int row = 1;
    for (const Player &player : m_players) {
        text += '#' + QByteArray::number(row++).rightJustified(2, ' ') + " \"" + player.name +
                "\" " + QByteArray::number(player.userId) +
                " STEAM_0:0:" + QByteArray::number(1000 + player.userId) +
                " 0 00:12 35 0 127.0.0.1:27005\n";
    }
    text += QByteArray::number(m_players.size()) + " users\n";
    return text;
}

QByteArray GoldSrcServer::usersText() const {
    QByteArray text = "userid : uniqueid : name\n------ : ---------: ----\n";
    for (const Player &player : m_players) {
        text += QByteArray::number(player.userId).rightJustified(6, ' ') + " : " +
                QByteArray::number(1000 + player.userId) + " : " + player.name + '\n';
    }
    text += QByteArray::number(m_players.size()) + " users\n";
    return text;
}
