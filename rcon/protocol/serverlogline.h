#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

// One line of a server's log stream, read from the datagram that carried it: when it was
// written, what kind of event it is and its text for display.
//
// The engine logs every rcon command as it came, challenge and password in clear:
//   Rcon: "rcon 1096488632 "pass word" sv_gravity 750" from "127.0.0.1:34028"
// Such a line is kept only as
//   Rcon: "sv_gravity 750" from "127.0.0.1:34028"
// (the same for "Bad Rcon:"). What is hidden is whatever the user may have typed as the
// password, which can be more than the server read: a quoted password up to its closing quote,
// an unquoted one up to the next space. The masking is done on the datagram's bytes, before any
// text is made of them, so the password never reaches a view, the clipboard or a file. Where
// the line cannot be read with certainty (cut short, quotes that do not pair up, a quoted
// password running on past its closing quote), everything after "rcon <challenge>" is dropped
// instead. In the command, whatever follows a name holding "password" (rcon_password,
// sv_password) is hidden as "***", however it is quoted or joined to the name; the value of
// such a variable in a cvar line too.
class ServerLogLine final {
public:
    enum class Category { Chat, Kill, Connection, Round, Admin, Other };
    static constexpr int CategoryCount = 6;

    // The line of a log datagram: FF FF FF FF, "log ", the line, a line feed and a NUL. Nothing
    // for any other datagram.
    static std::optional<ServerLogLine> fromDatagram(QByteArrayView datagram);
    // One line as the server writes it ("L 12/08/2026 - 09:29:07: event"), with or without its
    // line ending. A line without the time stamp is kept whole as its event.
    static ServerLogLine fromLine(QByteArrayView line);

    // The event's bytes with any password taken out (see above); other events unchanged.
    static QByteArray maskedEvent(QByteArrayView event);
    static Category categoryOf(QByteArrayView event);
    // "Chat", "Kills", "Connections", "Rounds", "Admin", "Other".
    static QString categoryName(Category category);

    Category category() const { return m_category; }
    // Invalid when the line carried no time stamp.
    QDate date() const { return m_date; }
    QTime time() const { return m_time; }
    bool hasTime() const { return m_time.isValid(); }
    // The event after the time stamp (the whole line when there was none), for display: UTF-8
    // when its bytes are valid UTF-8, Latin-1 otherwise; a line break ending a quoted command
    // or message dropped, other control characters shown as U+FFFD.
    const QString &event() const { return m_event; }
    // "09:29:07  event", as the window lists it.
    QString viewText() const;
    // The line in the server's own log format, "L 12/08/2026 - 09:29:07: event", for copying
    // and saving.
    QString logText() const;

private:
    QString m_event;
    QDate m_date;
    QTime m_time;
    Category m_category = Category::Other;
};

Q_DECLARE_TYPEINFO(ServerLogLine, Q_RELOCATABLE_TYPE);
