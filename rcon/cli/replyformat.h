#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// How talvero-rcon prints an answer. Answers come as RconRequests hands them on: the server's
// text, split datagrams joined, markers, type letters and NULs removed, one character per byte.
namespace ReplyFormat {

// The answer as a person reads it, as the output window shows it: UTF-8 when its bytes are
// valid UTF-8, Latin-1 otherwise; the line breaks at its end left off.
QString shownText(QStringView rawText);

// What standard output gets: the shown text and one line break, in UTF-8; nothing for an
// answer without text. With a server named (talking to several), every line of the text begins
// with the name and ": ".
QByteArray plainOutput(QStringView rawText, const QString &server = QString());

// A status command: its first word is "status", in any case.
bool isStatusCommand(QStringView command);

// One line of JSON: {"command", "reply"} and, for a status command whose answer reads as a
// status table, "status" with the server and its players. When a status answer cannot be read,
// "status" is left out and statusError says why. With a server named, also "server".
QByteArray jsonOutput(QStringView command, QStringView rawText, QString *statusError,
                      const QString &server = QString());

} // namespace ReplyFormat
