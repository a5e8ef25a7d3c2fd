#include "rcon/protocol/serverlogcommands.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace ServerLogCommands {

namespace {
std::optional<QString> logAddress(const char *verb, const QString &ip, quint16 port) {
    if (!isDottedIpv4(ip) || port == 0)
        return std::nullopt;
    return QStringLiteral("%1 %2 %3").arg(QLatin1String(verb), ip).arg(port);
}
} // namespace

std::optional<QString> addAddress(const QString &ip, quint16 port) {
    return logAddress("logaddress_add", ip, port);
}

std::optional<QString> removeAddress(const QString &ip, quint16 port) {
    return logAddress("logaddress_del", ip, port);
}

bool isDottedIpv4(const QString &text) {
    // The whole text: "$" alone would also match before a final line break.
    static const QRegularExpression dotted(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,3}(\\.[0-9]{1,3}){3}")));
    QHostAddress address;
    return dotted.match(text).hasMatch() && address.setAddress(text) &&
           address.protocol() == QAbstractSocket::IPv4Protocol;
}

QString sayProblem(const QString &text) {
    for (const QChar c : text) {
        if (c == QLatin1Char(';') || c == QLatin1Char('"'))
            return QStringLiteral("Not sent: a chat line may not hold ; or \" (the server would "
                                  "read what follows as a command of its own).");
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("Not sent: a chat line may not hold a line break or other "
                                  "control characters.");
    }
    return {};
}

std::optional<QString> say(const QString &text) {
    if (text.isEmpty() || !sayProblem(text).isEmpty())
        return std::nullopt;
    return QStringLiteral("say ") + QString::fromLatin1(text.toUtf8());
}

} // namespace ServerLogCommands
