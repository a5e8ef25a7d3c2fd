#pragma once

#include <QString>

#include <optional>

// The commands of the server log: where the server is to send its log, and what an admin says
// to the players. Each returns nothing when its input could add words or commands to what is
// sent.
namespace ServerLogCommands {

// logaddress_add <ip> <port> and logaddress_del <ip> <port>, for a dotted IPv4 address, the only
// form the engine takes.
std::optional<QString> addAddress(const QString &ip, quint16 port);
std::optional<QString> removeAddress(const QString &ip, quint16 port);
bool isDottedIpv4(const QString &text);

// Why the text cannot be said, in words for the user; empty when it can. The engine's console
// ends a command at ";" and at a line break, and a double quote ends the say text's quoting:
// "hi; rcon_password x" would run a second command. Such text is refused whole (not cleaned),
// so the admin sees what was wrong and nothing unintended is said.
QString sayProblem(const QString &text);
// say <text>: players' clients read chat as UTF-8, and the wire carries one character per
// byte. Nothing when the text cannot be said.
std::optional<QString> say(const QString &text);

} // namespace ServerLogCommands
