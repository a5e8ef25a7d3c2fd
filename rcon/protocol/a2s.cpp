#include "rcon/protocol/a2s.h"

#include "rcon/protocol/rconcodec.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace A2s {

namespace {

const QByteArray Mark = QByteArrayLiteral("\xFF\xFF\xFF\xFF");

// Reads the fields of one answer front to back. The first read that would pass the end fails
// it for good; every later read then yields zeros and empty strings, so a reader checks ok()
// once at the end.
class Reader final {
public:
    explicit Reader(QByteArrayView bytes, qsizetype start)
        : m_bytes(bytes)
        , m_pos(start)
        , m_ok(start <= bytes.size()) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return !m_ok || m_pos >= m_bytes.size(); }

    quint8 byte() {
        if (!take(1))
            return 0;
        return quint8(m_bytes.at(m_pos - 1));
    }
    template <typename T> T little() {
        if (!take(sizeof(T)))
            return T{};
        return qFromLittleEndian<T>(m_bytes.data() + m_pos - qsizetype(sizeof(T)));
    }
    float float32() {
        const quint32 bits = little<quint32>();
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // A zero-ended string, shown as rowText shows it.
    QString string() {
        if (!m_ok)
            return {};
        const qsizetype end = m_bytes.indexOf('\0', m_pos);
        if (end < 0) {
            m_ok = false;
            return {};
        }
        const QByteArrayView text = m_bytes.sliced(m_pos, end - m_pos);
        m_pos = end + 1;
        return rowText(text);
    }

private:
    bool take(qsizetype n) {
        if (!m_ok || m_bytes.size() - m_pos < n) {
            m_ok = false;
            return false;
        }
        m_pos += n;
        return true;
    }

    QByteArrayView m_bytes;
    qsizetype m_pos;
    bool m_ok;
};

// The answer's fields start after the four 0xFF bytes and its type letter.
constexpr qsizetype FieldsStart = 5;

bool hasType(QByteArrayView answer, AnswerType type) {
    return answerType(answer) == char(type);
}

ServerInfo::ServerType serverType(quint8 letter) {
    switch (letter) {
    case 'd':
    case 'D':
        return ServerInfo::ServerType::Dedicated;
    case 'l':
    case 'L':
        return ServerInfo::ServerType::Listen;
    case 'p':
    case 'P':
        return ServerInfo::ServerType::Proxy;
    default:
        return ServerInfo::ServerType::Unknown;
    }
}

ServerInfo::Environment environment(quint8 letter) {
    switch (letter) {
    case 'l':
    case 'L':
        return ServerInfo::Environment::Linux;
    case 'w':
    case 'W':
        return ServerInfo::Environment::Windows;
    case 'm':
    case 'M':
    case 'o':
    case 'O':
        return ServerInfo::Environment::Mac;
    default:
        return ServerInfo::Environment::Unknown;
    }
}

std::optional<ServerInfo> readCurrentInfo(Reader &in) {
    ServerInfo info;
    info.format = ServerInfo::Format::Current;
    info.protocol = in.byte();
    info.name = in.string();
    info.map = in.string();
    info.folder = in.string();
    info.game = in.string();
    info.appId = in.little<quint16>();
    info.players = in.byte();
    info.maxPlayers = in.byte();
    info.bots = in.byte();
    info.serverType = serverType(in.byte());
    info.environment = environment(in.byte());
    info.joinPassword = in.byte() != 0;
    info.vac = in.byte() != 0;
    // The Ship puts its game mode, witness count and witness time here.
    constexpr int TheShip = 2400;
    if (info.appId == TheShip) {
        in.byte();
        in.byte();
        in.byte();
    }
    info.version = in.string();
    if (!in.ok())
        return std::nullopt;
    if (in.atEnd())
        return info;

    const quint8 flags = in.byte();
    if (flags & 0x80)
        info.gamePort = in.little<quint16>();
    if (flags & 0x10)
        info.steamId = in.little<quint64>();
    if (flags & 0x40) {
        ServerInfo::Spectator spectator;
        spectator.port = in.little<quint16>();
        spectator.name = in.string();
        info.spectator = spectator;
    }
    if (flags & 0x20)
        info.keywords = in.string();
    if (flags & 0x01)
        info.gameId = in.little<quint64>();
    if (!in.ok())
        return std::nullopt;
    return info;
}

std::optional<ServerInfo> readOldInfo(Reader &in) {
    ServerInfo info;
    info.format = ServerInfo::Format::Old;
    info.address = in.string();
    info.name = in.string();
    info.map = in.string();
    info.folder = in.string();
    info.game = in.string();
    info.players = in.byte();
    info.maxPlayers = in.byte();
    info.protocol = in.byte();
    info.serverType = serverType(in.byte());
    info.environment = environment(in.byte());
    info.joinPassword = in.byte() != 0;
    if (in.byte() == 1) {
        ServerInfo::Mod mod;
        mod.link = in.string();
        mod.downloadLink = in.string();
        in.byte(); // always zero
        mod.version = in.little<quint32>();
        mod.size = in.little<quint32>();
        mod.multiplayerOnly = in.byte() == 1;
        mod.ownDll = in.byte() == 1;
        info.mod = mod;
    }
    info.vac = in.byte() != 0;
    info.bots = in.byte();
    if (!in.ok())
        return std::nullopt;
    return info;
}

bool isRowBreak(char32_t c) {
    return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x85 ||
           c == 0x2028 || c == 0x2029;
}

bool isHidden(char32_t c) {
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const bool bidi = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    return control || bidi;
}

QByteArray withChallenge(QByteArray request, Challenge challenge) {
    char bytes[4];
    qToLittleEndian<quint32>(challenge, bytes);
    request.append(bytes, 4);
    return request;
}

} // namespace

QByteArray infoRequest(std::optional<Challenge> challenge) {
    QByteArray request = Mark + "TSource Engine Query" + QByteArray(1, '\0');
    return challenge ? withChallenge(request, *challenge) : request;
}

QByteArray playersRequest(Challenge challenge) {
    return withChallenge(Mark + 'U', challenge);
}

QByteArray rulesRequest(Challenge challenge) {
    return withChallenge(Mark + 'V', challenge);
}

std::optional<char> answerType(QByteArrayView answer) {
    if (answer.size() < FieldsStart || !answer.startsWith(Mark))
        return std::nullopt;
    return answer.at(4);
}

std::optional<Challenge> readChallenge(QByteArrayView answer) {
    if (!hasType(answer, AnswerType::NewChallenge))
        return std::nullopt;
    Reader in(answer, FieldsStart);
    const Challenge challenge = in.little<quint32>();
    if (!in.ok())
        return std::nullopt;
    return challenge;
}

std::optional<ServerInfo> readInfo(QByteArrayView answer) {
    Reader in(answer, FieldsStart);
    if (hasType(answer, AnswerType::Info))
        return readCurrentInfo(in);
    if (hasType(answer, AnswerType::OldInfo))
        return readOldInfo(in);
    return std::nullopt;
}

std::optional<QList<Player>> readPlayers(QByteArrayView answer) {
    if (!hasType(answer, AnswerType::Players))
        return std::nullopt;
    Reader in(answer, FieldsStart);
    const int count = in.byte();
    QList<Player> players;
    // Each player takes at least ten bytes, so a count can never reserve more than the answer
    // could hold.
    players.reserve(qMin<qsizetype>(count, answer.size() / 10));
    for (int i = 0; i < count && in.ok(); ++i) {
        in.byte(); // the slot index
        Player player;
        player.name = in.string();
        player.score = in.little<qint32>();
        const float seconds = in.float32();
        player.seconds = std::isfinite(seconds) ? double(seconds) : 0.0;
        players.append(player);
    }
    if (!in.ok())
        return std::nullopt;
    return players;
}

std::optional<QList<Rule>> readRules(QByteArrayView answer) {
    if (!hasType(answer, AnswerType::Rules))
        return std::nullopt;
    Reader in(answer, FieldsStart);
    const int count = in.little<quint16>();
    QList<Rule> rules;
    rules.reserve(qMin<qsizetype>(count, answer.size() / 2));
    for (int i = 0; i < count && in.ok(); ++i) {
        Rule rule;
        rule.name = in.string();
        rule.value = in.string();
        rules.append(rule);
    }
    if (!in.ok())
        return std::nullopt;
    return rules;
}

QString rowText(QByteArrayView bytes) {
    const QString decoded = RconCodec::displayText(QString::fromLatin1(bytes));
    QString text;
    text.reserve(decoded.size());
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const QChar c = decoded.at(i);
        if (isRowBreak(c.unicode()))
            text.append(QLatin1Char(' '));
        else if (isHidden(c.unicode()))
            text.append(QChar::ReplacementCharacter);
        else
            text.append(c);
    }
    return text;
}

} // namespace A2s
