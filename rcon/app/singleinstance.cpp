#include "rcon/app/singleinstance.h"

#include "rcon/kit/platform.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

SingleInstance::SingleInstance(const QString &lockPath)
    : m_path(lockPath)
    , m_lock(lockPath) {
    // A running copy holds its claim for as long as it runs, however long: only a claim whose
    // process is gone is stale.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultLockPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath() + QStringLiteral("/talvero-") + QString::number(::getuid());
    return folder + QStringLiteral("/talvero.lock");
}

bool SingleInstance::claim() {
    if (m_lock.isLocked())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_lock.tryLock(0))
        return true;
    // A lock file that cannot be written at all says nothing about another copy: the user is
    // not locked out for it.
    return m_lock.error() != QLockFile::LockFailedError;
}

bool SingleInstance::claimOrRefuse(Platform &platform) {
    if (claim())
        return true;
    std::fprintf(stderr, "%s\n", AlreadyRunning.data());
    std::fflush(stderr);
    platform.messageBox(nullptr, Platform::Icon::Critical, Platform::Buttons::Ok,
                        QString(AlreadyRunning));
    return false;
}

void SingleInstance::release() {
    m_lock.unlock();
}
