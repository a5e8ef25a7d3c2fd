#include "rcon/app/userfiles.h"

#include "rcon/settings/settingsini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace talvero {

namespace {
constexpr QFile::Permissions OwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions OwnerOnlyFolder =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
} // namespace

bool UserFiles::programFolderHoldsThem(const QString &programDir) {
    const QFileInfo folder(programDir);
    // Installed, the folder belongs to the package manager or to whoever installed it, even
    // where it is this user's and writable (root running the package's program, an install
    // into the home): an upgrade or a removal would lose or leave behind what was written there.
    if (QFileInfo::exists(programDir + QLatin1Char('/') + QLatin1String(InstalledMarker)))
        return false;
    // Owned by another account, the folder is not this user's to fill.
    return folder.isDir() && folder.isWritable() && folder.ownerId() == ::geteuid();
}

QString UserFiles::perUserFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Talvero");
}

QString UserFiles::prepare(const QString &programDir) {
    if (programFolderHoldsThem(programDir))
        return programDir;
    const QString folder = perUserFolder();
    if (QDir().mkpath(folder))
        QFile::setPermissions(folder, OwnerOnlyFolder);
    const QString ini = folder + QLatin1Char('/') + QString(SettingsIni::FileName);
    if (!QFileInfo::exists(ini)) {
        // A missing default leaves no file: the settings check then says to reinstall.
        QFile::copy(programDir + QLatin1Char('/') + QString(SettingsIni::FileName), ini);
        QFile::setPermissions(ini, OwnerOnlyFile);
    }
    return folder;
}

} // namespace talvero
