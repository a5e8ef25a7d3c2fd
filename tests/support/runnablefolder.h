#pragma once

#include "tests/support/programfolder.h"

#include <QString>
#include <QTemporaryDir>

// A program folder the real, built program can run from: its own copy of the program beside
// the control libraries, the settings file and a password file with an access password, so
// that it goes straight through to its windows.
struct RunnableFolder {
    explicit RunnableFolder(ProgramFolder::Settings settings = ProgramFolder::Settings::Default);
    QString program() const { return folder.filePath(QStringLiteral("rcon")); }
    ProgramFolder folder;
};

// A home, configuration and runtime folder of the test's own, handed to every program the
// test starts (through its environment), so that a copy the user is running is never involved.
class PrivateHome {
public:
    PrivateHome();
    bool isValid() const { return m_home.isValid(); }
    QString runtimeDir() const { return m_home.filePath(QStringLiteral("runtime")); }
    QString optionsFile() const {
        return m_home.filePath(QStringLiteral("config/Talvero/Talvero.conf"));
    }

private:
    QTemporaryDir m_home;
};
