#pragma once

#include <QLatin1String>
#include <QLockFile>
#include <QString>

class Platform;

// One running copy of the program per user: the run claims a lock file in the user's runtime
// folder and holds it until it ends. A claim left behind by a copy that crashed or was killed
// names a process that no longer runs, and the next start takes it over.
class SingleInstance final {
public:
    static constexpr QLatin1String AlreadyRunning{"Talvero is already running."};

    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // "talvero.lock" in the user's runtime folder ($XDG_RUNTIME_DIR), or in the temporary
    // folder under the user's id where there is none.
    static QString defaultLockPath();
    const QString &lockPath() const { return m_path; }

    // Claims the run for this process; false while another running copy holds it. Where the lock
    // file cannot be made at all, the run goes on unclaimed rather than not at all.
    bool claim();
    // Claims the run, or tells the user that another copy runs (a critical box "Talvero is
    // already running.", and the same line on the terminal) and returns false.
    bool claimOrRefuse(Platform &platform);
    // Gives the claim up, so that a new copy (a restart) may start while this one ends.
    void release();
    bool isClaimed() const { return m_lock.isLocked(); }

private:
    QString m_path;
    QLockFile m_lock;
};
