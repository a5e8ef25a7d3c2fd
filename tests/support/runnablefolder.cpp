#include "tests/support/runnablefolder.h"

#include "rcon/passwords/passwordfile.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

RunnableFolder::RunnableFolder(ProgramFolder::Settings settings)
    : folder(settings) {
    const QString built = ProgramFolder::builtProgramDir() + QStringLiteral("/rcon");
    const QString copy = folder.filePath(QStringLiteral("rcon"));
    // The program finds its folder from its own path: a link would lead back to the build.
    if (::link(QFile::encodeName(built).constData(), QFile::encodeName(copy).constData()) != 0)
        QFile::copy(built, copy);
    if (settings == ProgramFolder::Settings::Default) {
        PasswordFile(folder.filePath(QString(PasswordFile::FileName)), IniAccess::direct())
            .setAccessPassword(QStringLiteral("guard"));
    }
}

PrivateHome::PrivateHome() {
    const QString runtime = runtimeDir();
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
}
