#include "rcon/settings/programfiles.h"

#include "rcon/settings/settingsini.h"

#include <utility>

ProgramFiles::ProgramFiles(QString programDir, QString dataDir, QString optionsFile,
                           QString userStateDir)
    : m_programDir(std::move(programDir))
    , m_dataDir(std::move(dataDir))
    , m_optionsFile(std::move(optionsFile))
    , m_userStateDir(std::move(userStateDir)) {}

QString ProgramFiles::programFile(const QString &fileName) const {
    return m_programDir + QLatin1Char('/') + fileName;
}

QString ProgramFiles::dataFile(const QString &fileName) const {
    return m_dataDir + QLatin1Char('/') + fileName;
}

QString ProgramFiles::settingsFile() const {
    return dataFile(QString(SettingsIni::FileName));
}

QString ProgramFiles::logFile() const {
    return dataFile(QStringLiteral("rcon_log.txt"));
}

PasswordFile ProgramFiles::passwordFile() const {
    return PasswordFile(dataFile(QString(PasswordFile::FileName)), IniAccess::direct());
}
