#include "rcon/protocol/serverlogline.h"

#include "rcon/protocol/consolewords.h"
#include "rcon/protocol/rconcodec.h"

#include <QtGlobal>

namespace {

const QByteArray LogMarker = QByteArrayLiteral("\xFF\xFF\xFF\xFF"
                                               "log ");
// "L 12/08/2026 - 09:29:07: "
constexpr qsizetype StampSize = 25;
const QByteArray Hidden = QByteArrayLiteral("***");

using ConsoleWords::isBlank;

qsizetype skipBlanks(QByteArrayView text, qsizetype pos) {
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    return pos;
}

bool isDigits(QByteArrayView text) {
    if (text.startsWith('-'))
        text = text.sliced(1);
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

constexpr char PasswordWord[] = "password";
constexpr qsizetype PasswordWordSize = sizeof PasswordWord - 1;

// Where "password" (any case) first occurs in text, or -1.
qsizetype indexOfPasswordWord(QByteArrayView text) {
    for (qsizetype at = 0; at + PasswordWordSize <= text.size(); ++at) {
        if (qstrnicmp(text.data() + at, PasswordWordSize, PasswordWord, PasswordWordSize) == 0)
            return at;
    }
    return -1;
}

// A command with whatever follows a name holding "password" hidden: the new password of
// "rcon_password newpass", also in "amx_cvar sv_password x", after a ";", in a quoted command
// ("admin_rcon \"sv_password x\"") and however the value is joined to the name
// ("\"sv_password\"x", "sv_password:x"). The words are read as the server reads them, so a
// quoted word ends at its closing quote; every word is searched, also inside quotes, and what
// follows the first such name is hidden whole. An innocent word ("say my password is ...")
// loses the rest of the command too: hiding more is the price of never showing a password.
QByteArray hidePasswordValues(QByteArrayView command) {
    for (std::optional<ConsoleWords::Word> word = ConsoleWords::next(command, 0); word;
         word = ConsoleWords::next(command, word->end)) {
        const QByteArrayView text =
            command.sliced(word->textBegin, word->textEnd - word->textBegin);
        const qsizetype at = indexOfPasswordWord(text);
        if (at < 0)
            continue;
        // The whole name: "rcon_password", also "sv_password_hint".
        qsizetype cut = word->textBegin + at + PasswordWordSize;
        while (cut < word->textEnd && isNameCharacter(command[cut]))
            ++cut;
        // A name that ends its quoted word keeps the closing quote.
        const bool inQuotes = word->quoted && cut < word->end;
        const bool closes = inQuotes && cut == word->textEnd;
        const qsizetype kept = closes ? word->end : cut;
        bool valueGiven = false;
        for (qsizetype i = kept; i < command.size() && !valueGiven; ++i)
            valueGiven = !isBlank(command[i]) && command[i] != '"';
        if (!valueGiven)
            return command.toByteArray();
        QByteArray shown = command.first(kept).toByteArray() + ' ' + Hidden;
        if (inQuotes && !closes)
            shown += '"';
        return shown;
    }
    return command.toByteArray();
}

// What is shown of an rcon line that cannot be read with certainty.
QByteArray uncertainRcon(QByteArrayView label, QByteArrayView challenge, QByteArrayView tail) {
    QByteArray kept = label.toByteArray() + " \"rcon";
    if (!challenge.isEmpty())
        kept += ' ' + challenge.toByteArray();
    if (!tail.isEmpty())
        kept += tail.toByteArray();
    return kept;
}

// label: "Rcon:" or "Bad Rcon:"; rest: what follows it, ` "rcon <challenge> <password>
// <command>" from "<ip>:<port>"` when the line is whole. What is hidden as the password is what
// the user may have typed as one, which can be more than the server read: a double-quoted run
// up to the next double quote (the server reads the same), else everything up to the next
// space. Unquoted, "it's", "ab:cd" and "pass<TAB>word" reach the server as "it", "ab" and
// "pass", and the rest would otherwise be shown as the start of the command.
QByteArray maskedRcon(QByteArrayView label, QByteArrayView rest) {
    if (!rest.startsWith(" \""))
        return label.toByteArray();
    const QByteArrayView body = rest.sliced(2);

    // The engine's own ending comes last: nothing the client sent can follow it.
    QByteArrayView inner = body;
    QByteArrayView tail;
    static constexpr char From[] = "\" from \"";
    constexpr qsizetype fromSize = sizeof From - 1;
    const qsizetype at = body.lastIndexOf(QByteArrayView(From, fromSize));
    if (at >= 0 && body.size() > at + fromSize && body.endsWith('"') &&
        !body.sliced(at + fromSize, body.size() - at - fromSize - 1).contains('"')) {
        inner = body.first(at);
        tail = body.sliced(at);
    }

    qsizetype pos = skipBlanks(inner, 0);
    if (!inner.sliced(pos).startsWith("rcon") || pos + 4 >= inner.size() ||
        !isBlank(inner[pos + 4]))
        return uncertainRcon(label, {}, tail);
    pos = skipBlanks(inner, pos + 4);
    const qsizetype challengeAt = pos;
    while (pos < inner.size() && !isBlank(inner[pos]))
        ++pos;
    const QByteArrayView challenge = inner.sliced(challengeAt, pos - challengeAt);
    if (!isDigits(challenge))
        return uncertainRcon(label, {}, tail);
    // A line cut short may have lost the end of the password: nothing after the challenge is
    // shown.
    if (tail.isEmpty())
        return uncertainRcon(label, challenge, {});

    pos = skipBlanks(inner, pos);
    if (pos < inner.size() && inner[pos] == '"') {
        const qsizetype close = inner.indexOf('"', pos + 1);
        // A password that runs on past its closing quote was not one the engine could read:
        // where it ends is anyone's guess.
        if (close < 0 || (close + 1 < inner.size() && !isBlank(inner[close + 1])))
            return uncertainRcon(label, challenge, tail);
        pos = close + 1;
    } else {
        while (pos < inner.size() && inner[pos] != ' ')
            ++pos;
    }
    const QByteArrayView command = inner.sliced(skipBlanks(inner, pos));
    // Quotes that do not pair up mean part of a quoted password may have been taken for the
    // command.
    if (command.count('"') % 2 != 0)
        return uncertainRcon(label, challenge, tail);
    return label.toByteArray() + " \"" + hidePasswordValues(command) + tail.toByteArray();
}

// Server cvar "name" = "value": the value of a password variable is hidden.
QByteArray maskedCvar(QByteArrayView event) {
    static constexpr char Prefix[] = "Server cvar \"";
    constexpr qsizetype prefixSize = sizeof Prefix - 1;
    const QByteArrayView rest = event.sliced(prefixSize);
    const qsizetype close = rest.indexOf('"');
    if (close < 0 || indexOfPasswordWord(rest.first(close)) < 0)
        return event.toByteArray();
    return QByteArray(Prefix) + rest.first(close).toByteArray() + "\" = \"" + Hidden + '"';
}

// Is there a player's tag ending here, "name<userid><uniqueid><team>" and its closing quote?
// at is the tag's last ">". A name may hold anything, so the tag is found by its shape.
bool tagEndsAt(QByteArrayView event, qsizetype at) {
    qsizetype pos = at;
    // Back from the closing ">": team, unique id, then a numeric user id, each in <>.
    for (int field = 0; field < 3; ++field) {
        qsizetype open = pos - 1;
        while (open > 0 && event[open] != '<' && event[open] != '>')
            --open;
        if (open <= 0 || event[open] != '<')
            return false;
        if (field == 2)
            return isDigits(event.sliced(open + 1, pos - open - 1));
        pos = open - 1;
        if (pos <= 0 || event[pos] != '>')
            return false;
    }
    return false;
}

// What a player's event says, by its verb after the player's tag.
std::optional<ServerLogLine::Category> categoryOfVerb(QByteArrayView verb) {
    using Category = ServerLogLine::Category;
    if (verb.startsWith("say \"") || verb.startsWith("say_team \""))
        return Category::Chat;
    if (verb.startsWith("killed \"") || verb.startsWith("committed suicide with \""))
        return Category::Kill;
    if (verb.startsWith("connected, address \"") || verb.startsWith("entered the game") ||
        verb.startsWith("disconnected"))
        return Category::Connection;
    if (verb.startsWith("triggered \""))
        return Category::Round;
    return std::nullopt;
}

bool readNumber(QByteArrayView text, qsizetype at, qsizetype digits, int &value) {
    value = 0;
    for (qsizetype i = at; i < at + digits; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// "L MM/DD/YYYY - HH:MM:SS: "
bool readStamp(QByteArrayView line, QDate &date, QTime &time) {
    if (line.size() < StampSize || !line.startsWith("L ") || line[4] != '/' || line[7] != '/' ||
        line.sliced(12, 3) != " - " || line[17] != ':' || line[20] != ':' ||
        line.sliced(23, 2) != ": ")
        return false;
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!readNumber(line, 2, 2, month) || !readNumber(line, 5, 2, day) ||
        !readNumber(line, 8, 4, year) || !readNumber(line, 15, 2, hour) ||
        !readNumber(line, 18, 2, minute) || !readNumber(line, 21, 2, second))
        return false;
    date = QDate(year, month, day);
    time = QTime(hour, minute, second);
    return date.isValid() && time.isValid();
}

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

// Most rcon tools end the command they send with a line feed, and the server logs it inside the
// quotes: Rcon: "say hello\n" from ..., and the say it runs as Server say "hello\n". Line breaks
// right before a double quote end such a command or message and are dropped; any other stays
// and is shown as a control character.
QByteArray withoutClosingBreaks(const QByteArray &bytes) {
    if (!bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    QByteArray kept;
    kept.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        qsizetype run = i;
        while (run < bytes.size() && isLineBreak(bytes[run]))
            ++run;
        if (run > i) {
            if (run == bytes.size() || bytes[run] != '"')
                kept.append(bytes.sliced(i, run - i));
            i = run;
            continue;
        }
        kept.append(bytes[i++]);
    }
    return kept;
}

QString displayable(const QByteArray &bytes) {
    QString text = RconCodec::displayText(QString::fromLatin1(bytes));
    // A line is one row: a stray control character must not break it or hide what follows.
    for (QChar &c : text) {
        if (c.unicode() == '\t')
            c = QLatin1Char(' ');
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

QString twoDigits(int value) {
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

QString clockText(QTime time) {
    return twoDigits(time.hour()) + QLatin1Char(':') + twoDigits(time.minute()) + QLatin1Char(':') +
           twoDigits(time.second());
}

} // namespace

std::optional<ServerLogLine> ServerLogLine::fromDatagram(QByteArrayView datagram) {
    if (!datagram.startsWith(LogMarker))
        return std::nullopt;
    return fromLine(datagram.sliced(LogMarker.size()));
}

ServerLogLine ServerLogLine::fromLine(QByteArrayView line) {
    while (!line.isEmpty() && (line.back() == '\0' || line.back() == '\n' || line.back() == '\r'))
        line.chop(1);
    ServerLogLine result;
    QByteArrayView event = line;
    if (readStamp(line, result.m_date, result.m_time)) {
        event = line.sliced(StampSize);
    } else {
        result.m_date = {};
        result.m_time = {};
    }
    const QByteArray masked = maskedEvent(event);
    result.m_category = categoryOf(masked);
    result.m_event = displayable(withoutClosingBreaks(masked));
    return result;
}

QByteArray ServerLogLine::maskedEvent(QByteArrayView event) {
    if (event.startsWith("Rcon:"))
        return maskedRcon(event.first(5), event.sliced(5));
    if (event.startsWith("Bad Rcon:"))
        return maskedRcon(event.first(9), event.sliced(9));
    if (event.startsWith("Server cvar \""))
        return maskedCvar(event);
    return event.toByteArray();
}

ServerLogLine::Category ServerLogLine::categoryOf(QByteArrayView event) {
    if (event.startsWith("Rcon:") || event.startsWith("Bad Rcon:") ||
        event.startsWith("Server cvar") || event.startsWith("Server say"))
        return Category::Admin;
    if (event.startsWith("World triggered") ||
        (event.startsWith("Team \"") && event.contains("\" triggered \"")))
        return Category::Round;
    if (!event.startsWith('"'))
        return Category::Other;
    // The first tag followed by a known verb is the player's: a name shaped like a tag and a
    // verb is rare, and a wrong guess only puts a line under another check box.
    for (qsizetype at = event.indexOf(">\" ", 1); at >= 0; at = event.indexOf(">\" ", at + 1)) {
        if (!tagEndsAt(event, at))
            continue;
        if (const std::optional<Category> category = categoryOfVerb(event.sliced(at + 3)))
            return *category;
    }
    return Category::Other;
}

QString ServerLogLine::categoryName(Category category) {
    switch (category) {
    case Category::Chat:
        return QStringLiteral("Chat");
    case Category::Kill:
        return QStringLiteral("Kills");
    case Category::Connection:
        return QStringLiteral("Connections");
    case Category::Round:
        return QStringLiteral("Rounds");
    case Category::Admin:
        return QStringLiteral("Admin");
    case Category::Other:
        break;
    }
    return QStringLiteral("Other");
}

QString ServerLogLine::viewText() const {
    if (!hasTime())
        return m_event;
    return clockText(m_time) + QLatin1String("  ") + m_event;
}

QString ServerLogLine::logText() const {
    if (!hasTime())
        return m_event;
    return QLatin1String("L ") + twoDigits(m_date.month()) + QLatin1Char('/') +
           twoDigits(m_date.day()) + QLatin1Char('/') +
           QString::number(m_date.year()).rightJustified(4, QLatin1Char('0')) +
           QLatin1String(" - ") + clockText(m_time) + QLatin1String(": ") + m_event;
}
