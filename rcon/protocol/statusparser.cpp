#include "rcon/protocol/statusparser.h"

#include "rcon/protocol/rconcodec.h"

#include <QRegularExpression>

namespace {

// "#%2i %8s %i %s", then the frags (" %3i") or, for an HLTV proxy, " hltv:specs/slots
// delay:seconds", the time (" %02i:%02i" or " %2i:%02i:%02i"), " %4i  %3i" ping and loss, and the
// address unless the server has none to show. The name runs to the last quote of the row: what
// follows it holds none.
const QRegularExpression &rowPattern() {
    static const QRegularExpression pattern(
        QString::fromLatin1(R"re(^#\s*\d+\s+"(.*)"\s+(\d{1,9})\s+([^\s"]+)\s+)re"
                            R"re((?:(-?\d{1,9})|(hltv:\d+/\d+\s+delay:\d+))\s+)re"
                            R"re((\d{1,9}:\d\d(?::\d\d)?)\s+(-?\d{1,9})\s+(-?\d{1,9}))re"
                            R"re((?:\s+([^\s"]+))?\s*$)re"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

const QRegularExpression &playersPattern() {
    static const QRegularExpression pattern(
        QString::fromLatin1(R"(^players\s*:\s*(\d{1,9})\s+active\s+\((\d{1,9})\s+max\))"));
    return pattern;
}

const QRegularExpression &endPattern() {
    static const QRegularExpression pattern(QString::fromLatin1(R"(^(\d{1,9}) users\s*$)"));
    return pattern;
}

// A line that opens a row of its own is never taken as the rest of a name.
bool opensRow(QStringView line) {
    static const QRegularExpression pattern(QString::fromLatin1(R"(^#\s*\d+\s+")"));
    return pattern.match(line).hasMatch() || endPattern().match(line).hasMatch();
}

bool isTableHeading(QStringView line) {
    return line.startsWith(QLatin1Char('#')) && line.contains(QLatin1String("userid")) &&
           line.contains(QLatin1String("uniqueid"));
}

// The text after "key :" on a heading line.
QStringView valueOf(QStringView line) {
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    return colon < 0 ? QStringView() : line.mid(colon + 1).trimmed();
}

int secondsOf(QStringView time) {
    int seconds = 0;
    for (QStringView part : time.split(QLatin1Char(':')))
        seconds = seconds * 60 + part.toInt();
    return seconds;
}

bool readRow(QStringView row, PlayerRow &player) {
    const QRegularExpressionMatch match = rowPattern().match(row);
    if (!match.hasMatch())
        return false;
    player.name = StatusParser::displayText(match.capturedView(1));
    player.userId = match.capturedView(2).toInt();
    player.uniqueId = match.captured(3);
    player.isHltv = match.hasCaptured(5);
    player.frags = player.isHltv ? 0 : match.capturedView(4).toInt();
    player.time = match.captured(6);
    player.seconds = secondsOf(match.capturedView(6));
    player.ping = match.capturedView(7).toInt();
    player.loss = match.capturedView(8).toInt();
    player.address = match.captured(9);
    return true;
}

bool fail(QString *error, const char *reason) {
    if (error)
        *error = QString::fromLatin1(reason);
    return false;
}

} // namespace

QString PlayerRow::ip() const {
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? address : address.left(colon);
}

namespace StatusParser {

QString displayText(QStringView bytes) {
    return RconCodec::displayText(bytes);
}

bool isComplete(QStringView text) {
    // The last line is short; look only at the tail.
    QStringView tail = text.right(64);
    while (tail.endsWith(QLatin1Char('\n')))
        tail.chop(1);
    const qsizetype lineStart = tail.lastIndexOf(QLatin1Char('\n')) + 1;
    return endPattern().match(tail.mid(lineStart)).hasMatch();
}

bool parse(QStringView text, ServerStatus &status, QString *error) {
    const QList<QStringView> lines = text.split(QLatin1Char('\n'));
    ServerStatus read;
    bool sawHost = false;
    bool sawPlayers = false;
    bool inTable = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringView line = lines.at(i);
        if (!inTable) {
            if (line.startsWith(QLatin1String("hostname:"))) {
                read.hostname = displayText(valueOf(line));
                sawHost = true;
            } else if (line.startsWith(QLatin1String("map "))) {
                const QStringView value = valueOf(line);
                const qsizetype blank = value.indexOf(QLatin1Char(' '));
                read.map = displayText(blank < 0 ? value : value.left(blank));
            } else if (const auto match = playersPattern().match(line); match.hasMatch()) {
                read.active = match.capturedView(1).toInt();
                read.maxPlayers = match.capturedView(2).toInt();
                sawPlayers = true;
            } else if (isTableHeading(line)) {
                if (!sawHost || !sawPlayers)
                    return fail(error, "The reply is not a status table.");
                inTable = true;
            }
            continue;
        }
        if (endPattern().match(line).hasMatch()) {
            status = std::move(read);
            return true;
        }
        if (!line.startsWith(QLatin1Char('#')))
            continue;
        // A name with a line break carries its row on to the next lines.
        PlayerRow player;
        qsizetype last = i;
        bool ok = readRow(line, player);
        while (!ok && last + 1 < lines.size() && last - i < 2 && !opensRow(lines.at(last + 1))) {
            ++last;
            const QStringView joined(line.data(), lines.at(last).data() + lines.at(last).size());
            ok = readRow(joined, player);
        }
        if (!ok) {
            if (last + 1 >= lines.size())
                break; // the reply ends inside this row
            return fail(error, "A row of the status reply could not be read.");
        }
        i = last;
        read.players.append(std::move(player));
    }
    if (!sawHost || !sawPlayers)
        return fail(error, "The reply is not a status table.");
    return fail(error, "The status reply was cut short.");
}

} // namespace StatusParser
