#include "common/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace talvero {

namespace {

QString systemReason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

bool writeAll(int fd, const QByteArray &bytes) {
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

QString savingPathFor(const QString &path) {
    return path + QStringLiteral(".saving");
}

QString resolvedPath(const QString &path) {
    // A file reached through a symbolic link is saved where the link points, and the link stays.
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : path;
}

bool saveFileAtomically(const QString &givenPath, const QByteArray &bytes,
                        SavePermissions permissions, QString *error) {
    const QString path = resolvedPath(givenPath);
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = QFile::encodeName(savingPathFor(path));
    auto fail = [&](int err) {
        if (error)
            *error = systemReason(err);
        ::unlink(temporary.constData());
        return false;
    };

    mode_t mode = 0600;
    bool setMode = true;
    if (permissions == SavePermissions::KeepExisting) {
        struct stat existing {};
        if (::stat(target.constData(), &existing) == 0) {
            mode = existing.st_mode & 07777;
        } else {
            mode = 0666; // narrowed by the user's umask, as for any new file
            setMode = false;
        }
    }
    // A leftover of an earlier save is truncated, never followed through a link.
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
               setMode ? 0600 : mode);
    if (fd < 0)
        return fail(errno);
    if ((setMode && ::fchmod(fd, mode) != 0) || !writeAll(fd, bytes) || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (::close(fd) != 0)
        return fail(errno);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return fail(errno);
    return true;
}

void removeSaveLeftovers(const QString &givenPath) {
    const QString path = resolvedPath(givenPath);
    const QFileInfo info(path);
    QFile::remove(savingPathFor(path));
    const QRegularExpression leftover(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(info.fileName())));
    const QDir folder = info.absoluteDir();
    const QStringList candidates = folder.entryList({info.fileName() + QStringLiteral(".??????")},
                                                    QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : candidates) {
        if (leftover.match(name).hasMatch())
            QFile::remove(folder.filePath(name));
    }
}

} // namespace talvero
