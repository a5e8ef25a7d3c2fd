#pragma once

#include "rcon/settings/iniaccess.h"

#include <QString>

#include <optional>

// The start-up defaults of "talvero.ini": the server's address and port that fill the main
// window at start and after a disconnect, and up to two automatic commands with their
// intervals. A value the file does not hold is absent (std::nullopt), never the INI logic's
// "[NOT FOUND]"; an empty value is one the user cleared. The section and key names, spelt as
// the file has always been read and written, stay in here.
struct StartupDefaults {
    std::optional<QString> address;
    std::optional<QString> port;
    std::optional<QString> command1;
    // Milliseconds, as stored.
    std::optional<QString> interval1;
    std::optional<QString> command2;
    std::optional<QString> interval2;

    // The port a server has when none is given.
    static QString defaultPort() { return QStringLiteral("27015"); }

    // Read through the given INI access (the Properties dialog's control, or direct access).
    static StartupDefaults read(const IniAccess &ini, const QString &settingsFile);
    // Each writes its group of keys; an empty text clears a key.
    static void writeAddress(const IniAccess &ini, const QString &settingsFile,
                             const QString &address, const QString &port);
    static void writeCommands(const IniAccess &ini, const QString &settingsFile,
                              const QString &command1, const QString &interval1,
                              const QString &command2, const QString &interval2);
    // Clears the second command and its interval (a second command is kept only together with a
    // first one).
    static void clearSecondCommand(const IniAccess &ini, const QString &settingsFile);
};
