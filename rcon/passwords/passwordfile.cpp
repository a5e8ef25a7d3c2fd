#include "rcon/passwords/passwordfile.h"

#include "rcon/passwords/scramblepasswordfile.h"

#include "common/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {
constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// The files whose access is running. Everything runs on the one user-interface thread, so a
// file is found here only by a call made from inside that access.
QSet<QString> &runningAccesses() {
    static QSet<QString> running;
    return running;
}

QString accessName(const QString &path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Clear INI text begins with a section header. Scrambling adds the key's low byte (0xC8) to the
// first byte, which turns '[' into '#'; a scrambled file would begin with '[' only if its text
// began with byte 0x93, which INI text never does.
bool isClear(const QByteArray &bytes) {
    return bytes.startsWith('[');
}

// The whole file (empty when absent). *ok is false when it cannot be read, or is longer than any
// pass takes; such a file is not read whole.
QByteArray readWhole(const QString &path, bool *ok) {
    QFile file(path);
    *ok = true;
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxScrambleLength + 3) {
        *ok = false;
        return {};
    }
    const QByteArray bytes = file.readAll();
    *ok = bytes.size() == file.size();
    return bytes;
}

qint64 fileSize(const QString &path) {
    return QFileInfo(path).size();
}

// Marks a file's access as running for as long as it lives.
class RunningAccess final {
public:
    explicit RunningAccess(QString name)
        : m_name(std::move(name)) {
        runningAccesses().insert(m_name);
    }
    ~RunningAccess() { runningAccesses().remove(m_name); }
    RunningAccess(const RunningAccess &) = delete;
    RunningAccess &operator=(const RunningAccess &) = delete;

private:
    QString m_name;
};
} // namespace

PasswordFile::PasswordFile(QString path, IniAccess ini)
    : m_path(std::move(path))
    , m_ini(std::move(ini)) {}

QString PasswordFile::read(const QString &key) const {
    QString value = IniAccess::NotFound;
    access([&] { value = m_ini.GetFromINI(Section, key, m_path); });
    return value;
}

void PasswordFile::write(const QString &key, const QString &value, const QString &section) const {
    access([&] {
        m_ini.WriteToINI(value, section, key, m_path);
        // The INI writer replaces the file; whatever it leaves, the text stays the owner's.
        QFile::setPermissions(m_path, OwnerOnly);
    });
}

bool PasswordFile::access(const std::function<void()> &work) const {
    const QString name = accessName(m_path);
    if (runningAccesses().contains(name)) {
        // Called from inside the running access: the file is clear already.
        work();
        return true;
    }
    const RunningAccess running(name);
    // A save interrupted by a crash or a kill may have left a copy of the clear text.
    talvero::removeSaveLeftovers(m_path);

    bool readable = false;
    const QByteArray onDisk = readWhole(m_path, &readable);
    if (!readable)
        return false;
    QByteArray clearText = onDisk;
    if (isClear(onDisk)) {
        // Left clear by a program that stopped between the two passes: unscrambling it again
        // would spoil every password in it.
        if (onDisk.size() > MaxScrambleLength)
            return false;
        QFile::setPermissions(m_path, OwnerOnly);
    } else {
        if (!ScramblePasswordFile(m_path, false))
            return false;
        unscrambleBytes(clearText);
    }

    work();

    QFile::setPermissions(m_path, OwnerOnly);
    // Text too long to scramble would have to stay clear on disk: the writes of this access are
    // given up instead and the file goes back to what it held before them.
    if (fileSize(m_path) > MaxScrambleLength)
        replacePasswordFile(m_path, clearText);
    ScramblePasswordFile(m_path, true);
    return true;
}

QString PasswordFile::backupPath() const {
    return QFileInfo(m_path).dir().filePath(QString(BackupName));
}

bool PasswordFile::WriteNewINI() const {
    if (!m_ini.isUsable())
        return false;
    // The file may hold server passwords whose access password was lost, or be damaged or too
    // long to unscramble: it moves aside whole, as it is on disk, and the fill starts afresh.
    const QFileInfo existing(m_path);
    if (existing.exists() && existing.size() > 0) {
        const QString backup = backupPath();
        if (QFileInfo::exists(backup) && !QFile::remove(backup))
            return false;
        if (!QFile::rename(m_path, backup))
            return false;
        QFile::setPermissions(backup, OwnerOnly);
    }
    return access([this] {
        write(userpass, QString(), NewSection);
        for (const QLatin1String key : NewPass)
            write(key, NoPassword, NewSection);
        write(usethis, NoPassword, NewSection);
    });
}
