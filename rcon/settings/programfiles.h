#pragma once

#include "rcon/passwords/passwordfile.h"

#include <QString>

// Where the program's files lie. The program folder holds what the program is made of (the
// programs, the control libraries, the sounds); the data folder the files it writes
// ("talvero.ini", "password", "rcon_log.txt"), which is the program folder itself unless that
// is an installed one. The options file keeps the per-user options; the user-state folder the
// user's own history, learned names and recent servers (empty: kept for the session only).
class ProgramFiles final {
public:
    ProgramFiles(QString programDir, QString dataDir, QString optionsFile,
                 QString userStateDir = {});

    const QString &programDir() const { return m_programDir; }
    const QString &dataDir() const { return m_dataDir; }
    const QString &optionsFile() const { return m_optionsFile; }
    const QString &userStateDir() const { return m_userStateDir; }
    void setUserStateDir(const QString &dir) { m_userStateDir = dir; }

    // A file of the program folder by its fixed name ("welcome.wav", "about", ...).
    QString programFile(const QString &fileName) const;
    // A file the program writes by its fixed name.
    QString dataFile(const QString &fileName) const;
    // "talvero.ini", the start-up defaults.
    QString settingsFile() const;
    // "rcon_log.txt", the reply log.
    QString logFile() const;
    // "password", read and written as the program's INI logic does.
    PasswordFile passwordFile() const;

private:
    QString m_programDir;
    QString m_dataDir;
    QString m_optionsFile;
    QString m_userStateDir;
};
