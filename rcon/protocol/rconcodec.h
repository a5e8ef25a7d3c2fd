#pragma once

#include <QString>

// The bytes exchanged with a GoldSrc server's remote console, as text: every character stands
// for one byte (Latin-1), NUL and the 0xFF marker included. Pure functions; the caller owns the
// challenge text and hands it in.
namespace RconCodec {

// The four 0xFF characters that open every datagram of the protocol.
QString mark();

// MARK + "challenge rcon": asks the server for the challenge that later commands carry.
QString challengeRequest();

// MARK + "rcon " + challenge + " " + password + " " + command. The server splits the datagram
// into words (see ConsoleWords), so a password it would split or cut short goes between double
// quotes: one holding a blank or any byte up to 0x20, one of { } ( ) ' , :, or starting with
// "//". A password already between double quotes is sent as it stands.
QString commandDatagram(const QString &challengeText, const QString &password,
                        const QString &command);

// A command datagram for AdminMod: "admin_command " + "admin_" + adminText, the prefix added
// whatever the text already starts with.
QString adminDatagram(const QString &challengeText, const QString &password,
                      const QString &adminText);

// The two-minute AdminMod broadcast:
// admin_command admin_tsay yellow "Talvero - <website>".
QString broadcastDatagram(const QString &challengeText, const QString &password);

// Why the server could never read this password as the user means it, or nothing when it can.
// A double quote inside a password that must be quoted ends the quoted word; one at its start
// opens a quoted word. Only a password needing no quotes may hold one, which the server then
// reads as part of the word (pa"ss), or one already wrapped in quotes with none inside.
QString passwordProblem(const QString &password);

// Recognises a challenge reply (MARK + "challenge" at its start) and returns true for it.
// challengeText takes the third space-separated token without the server's two trailing
// characters; a reply too short to hold one leaves challengeText as it was.
bool parseChallengeReply(const QString &datagram, QString &challengeText);

enum class ReplyKind {
    ConnectConfirmation,  // the server's challenge reply
    EmptyAcknowledgement, // a command that produced no output: MARK, type letter, NUL, NUL
    BanNotice,            // "You have been banned from this server."
    Ordinary,             // console output, and anything not recognised
};
ReplyKind classifyReply(const QString &datagram);

// The server's refusal of the password: MARK, the type letter, "Bad rcon_password." and a line
// break, nothing after it but NULs. Output that merely holds those words is not a refusal.
bool isPasswordRefusal(const QString &datagram);

// The text to show: every MARK removed, then the reply-type letter; NULs dropped; CR LF, a lone
// CR and LF each become one LF. A lone CR counts as a line break because the pane cannot
// overwrite a line the way a terminal does, and joining two lines would garble them.
QString cleanReply(const QString &datagram);

// Reply text as a person should read it. Servers send names in UTF-8: a reply whose bytes (one
// per character here) form valid UTF-8 is decoded as UTF-8; any other stays Latin-1.
QString displayText(QStringView latin1Text);

} // namespace RconCodec
