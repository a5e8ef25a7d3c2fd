#include "rcon/protocol/rconcodec.h"

#include "rcon/protocol/consolewords.h"
#include "rcon/protocol/website.h"

#include <QStringDecoder>
#include <QStringList>

namespace RconCodec {

namespace {

// Unquoted, the server would split the password or cut it short (see ConsoleWords): at a
// blank or any byte up to 0x20, at one of { } ( ) ' , :, or at a "//" that starts it.
bool needsQuotes(QStringView password) {
    if (password.startsWith(QLatin1String("//")))
        return true;
    for (const QChar c : password) {
        const char16_t code = c.unicode();
        if (code <= 0x20 || (code < 0x80 && ConsoleWords::isBreak(char(code))))
            return true;
    }
    return false;
}

// A password the user already put in quotes (a habit from clients that never quoted) is sent
// as it stands, so stored passwords that carry their own quotes keep working.
bool isWrapped(QStringView password) {
    const QLatin1Char quote('"');
    return password.size() >= 2 && password.startsWith(quote) && password.endsWith(quote);
}

QString passwordField(const QString &password) {
    if (!needsQuotes(password) || isWrapped(password))
        return password;
    const QLatin1Char quote('"');
    return quote + password + quote;
}

bool isChallengeReply(const QString &datagram) {
    return datagram.startsWith(mark() + QLatin1String("challenge"));
}

} // namespace

QString mark() {
    return QString(4, QChar(0xFF));
}

QString challengeRequest() {
    return mark() + QLatin1String("challenge rcon");
}

QString commandDatagram(const QString &challengeText, const QString &password,
                        const QString &command) {
    return mark() + QLatin1String("rcon ") + challengeText + QLatin1Char(' ') +
           passwordField(password) + QLatin1Char(' ') + command;
}

QString adminDatagram(const QString &challengeText, const QString &password,
                      const QString &adminText) {
    return commandDatagram(challengeText, password,
                           QLatin1String("admin_command admin_") + adminText);
}

QString broadcastDatagram(const QString &challengeText, const QString &password) {
    const QString command = QLatin1String("admin_command admin_tsay yellow \"") +
                            QLatin1String(talvero::ProductName) + QLatin1String(" - ") +
                            QLatin1String(talvero::WebsiteAddress) + QLatin1Char('"');
    return commandDatagram(challengeText, password, command);
}

QString passwordProblem(const QString &password) {
    const qsizetype quotes = password.count(QLatin1Char('"'));
    bool readable = true;
    if (quotes > 0 && isWrapped(password)) {
        // Sent as it stands: the server reads what is between the quotes.
        readable = quotes == 2 && password.size() > 2;
    } else if (quotes > 0) {
        // Only a bare word keeps a quote as part of it.
        readable = !password.startsWith(QLatin1Char('"')) && !needsQuotes(password);
    }
    if (readable)
        return {};
    return QStringLiteral("The rcon password holds a double quote (\") where the server cannot "
                          "read it: no game server could accept this password. Nothing was sent.");
}

bool parseChallengeReply(const QString &datagram, QString &challengeText) {
    if (!isChallengeReply(datagram))
        return false;
    const QStringList tokens = datagram.split(QLatin1Char(' '));
    if (tokens.size() < 3 || tokens.at(2).size() < 2)
        return true;
    challengeText = tokens.at(2).chopped(2);
    return true;
}

ReplyKind classifyReply(const QString &datagram) {
    if (isChallengeReply(datagram))
        return ReplyKind::ConnectConfirmation;
    if (datagram.size() == 7)
        return ReplyKind::EmptyAcknowledgement;
    // The notice is 45 bytes: MARK, type letter, the sentence, LF, NUL. Console output of the
    // same length must not end the connection, so the sentence itself is checked.
    static const QLatin1String banSentence("You have been banned from this server.");
    if (datagram.size() == 45 && datagram.startsWith(mark()) &&
        QStringView(datagram).mid(5).startsWith(banSentence))
        return ReplyKind::BanNotice;
    return ReplyKind::Ordinary;
}

bool isPasswordRefusal(const QString &datagram) {
    static const QLatin1String refusal("Bad rcon_password.");
    if (!datagram.startsWith(mark()) || datagram.size() < 5)
        return false;
    QStringView rest = QStringView(datagram).mid(5);
    if (!rest.startsWith(refusal))
        return false;
    rest = rest.mid(refusal.size());
    if (rest.startsWith(QLatin1Char('\r')))
        rest = rest.mid(1);
    if (!rest.startsWith(QLatin1Char('\n')))
        return false;
    for (const QChar c : rest.mid(1)) {
        if (c != QChar::Null)
            return false;
    }
    return true;
}

QString displayText(QStringView latin1Text) {
    bool plain = true;
    for (const QChar c : latin1Text) {
        if (c.unicode() >= 0x80) {
            plain = false;
            break;
        }
    }
    if (plain)
        return latin1Text.toString();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(latin1Text.toLatin1());
    return utf8.hasError() ? latin1Text.toString() : decoded;
}

QString cleanReply(const QString &datagram) {
    QString text = datagram;
    text.remove(mark());
    if (text.size() <= 1)
        return {};
    text.remove(0, 1);
    text.remove(QChar::Null);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace RconCodec
