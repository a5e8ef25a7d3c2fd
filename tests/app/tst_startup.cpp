// One running copy per user, with real processes of the built program: a second start is
// refused before it does anything, a copy that was killed does not lock the user out, and a
// restart is not refused by the copy that is ending. Every process runs headless with a private
// runtime folder, home and configuration, so a copy the user is running is never involved.
#include "rcon/app/program.h"
#include "rcon/app/singleinstance.h"
#include "rcon/kit/platform.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"
#include "tests/support/runnablefolder.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {
// The process that holds the claim, as its lock file names it; 0 when there is none.
qint64 claimHolder(const QString &lockPath) {
    QFile lock(lockPath);
    if (!lock.open(QIODevice::ReadOnly))
        return 0;
    return lock.readLine().trimmed().toLongLong();
}

bool processRuns(qint64 pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

// The real desktop's way of starting a program, recording whether this run still held its
// claim at that moment.
class StartingPlatform final : public Platform {
public:
    explicit StartingPlatform(const SingleInstance &claim)
        : m_claim(claim) {}
    Answer messageBox(QWidget *, Icon, Buttons, const QString &) override { return Answer::Ok; }
    void playSound(const QString &) override {}
    bool openUrl(const QUrl &) override { return false; }
    bool startProgram(const QString &path) override {
        claimHeldAtStart = m_claim.isClaimed();
        return QProcess::startDetached(path, {}, QFileInfo(path).absolutePath(), &startedPid);
    }
    void exitProcess(int code) override { exitCodes.append(code); }

    bool claimHeldAtStart = true;
    qint64 startedPid = 0;
    QList<int> exitCodes;

private:
    const SingleInstance &m_claim;
};
} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<PrivateHome> m_home;
    QString m_lockPath;
    QList<qint64> m_started;

    // Starts the real program from the folder, headless, with the private folders.
    void start(QProcess &process, const RunnableFolder &folder) {
        process.setProgram(folder.program());
        process.setWorkingDirectory(folder.folder.path());
        process.start();
        QVERIFY(process.waitForStarted());
        m_started.append(process.processId());
    }

private Q_SLOTS:
    void initTestCase() {
        // Inherited by every program this test starts.
        m_home = std::make_unique<PrivateHome>();
        QVERIFY(m_home->isValid());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_lockPath = SingleInstance::defaultLockPath();
        QCOMPARE(m_lockPath, m_home->runtimeDir() + QStringLiteral("/talvero.lock"));
    }

    void cleanup() {
        for (qint64 pid : std::as_const(m_started))
            if (processRuns(pid))
                ::kill(pid_t(pid), SIGKILL);
        m_started.clear();
        QTRY_VERIFY(!processRuns(claimHolder(m_lockPath)));
        QFile::remove(m_lockPath);
    }

    void secondStartIsRefusedBeforeAnything() {
        RunnableFolder first;
        QProcess running;
        start(running, first);
        QTRY_COMPARE_WITH_TIMEOUT(claimHolder(m_lockPath), running.processId(), 30000);

        // Started from a bare folder: had it gone on, its splash would have made a password
        // file there and its Properties dialog would have complained of the missing settings.
        RunnableFolder bare(ProgramFolder::Settings::None);
        QProcess second;
        start(second, bare);
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += second.readAllStandardError()).contains("Talvero is already running."), 30000);
        QVERIFY(!said.contains("settings"));
        QVERIFY(!QFile::exists(bare.folder.filePath(QStringLiteral("password"))));
        QCOMPARE(claimHolder(m_lockPath), running.processId());
        QCOMPARE(running.state(), QProcess::Running);
        // Its message box waits for the user; the running copy is untouched by it all.
        second.kill();
        QVERIFY(second.waitForFinished());
        QCOMPARE(running.state(), QProcess::Running);
        running.kill();
        QVERIFY(running.waitForFinished());
    }

    void killedCopyDoesNotLockTheUserOut() {
        RunnableFolder folder;
        QProcess killed;
        start(killed, folder);
        QTRY_COMPARE_WITH_TIMEOUT(claimHolder(m_lockPath), killed.processId(), 30000);
        killed.kill();
        QVERIFY(killed.waitForFinished());
        // Its claim is left behind.
        QVERIFY(QFile::exists(m_lockPath));

        QProcess next;
        start(next, folder);
        QTRY_COMPARE_WITH_TIMEOUT(claimHolder(m_lockPath), next.processId(), 30000);
        QVERIFY(!next.readAllStandardError().contains("already running"));
        QCOMPARE(next.state(), QProcess::Running);
        next.kill();
        QVERIFY(next.waitForFinished());
    }

    // This test is the copy that restarts: its claim goes before the new copy starts, and the
    // new copy takes over.
    void restartIsNotRefused() {
        RunnableFolder folder;
        SingleInstance claim;
        QVERIFY(claim.claim());
        QCOMPARE(claimHolder(m_lockPath), QCoreApplication::applicationPid());
        {
            SingleInstance second;
            QVERIFY(!second.claim());
        }
        StartingPlatform platform(claim);
        Program program(folder.folder.path(), folder.folder.optionsFile(), platform);
        program.setInstanceClaim(&claim);
        program.start();
        program.RestartProgram();
        QVERIFY(!platform.claimHeldAtStart);
        QCOMPARE(platform.exitCodes, QList<int>{0});
        QVERIFY(platform.startedPid > 0);
        m_started.append(platform.startedPid);
        QTRY_COMPARE_WITH_TIMEOUT(claimHolder(m_lockPath), platform.startedPid, 30000);
        // And a genuine second start is refused again.
        SingleInstance late;
        QVERIFY(!late.claim());
    }

    void refusalShowsTheMessage() {
        SingleInstance holder;
        QVERIFY(holder.claim());
        FakePlatform platform;
        SingleInstance second;
        QVERIFY(!second.claimOrRefuse(platform));
        QCOMPARE(platform.boxes.size(), 1);
        QCOMPARE(platform.boxes[0].icon, Platform::Icon::Critical);
        QCOMPARE(platform.boxes[0].text, QStringLiteral("Talvero is already running."));
        QVERIFY(platform.sounds.isEmpty());
        holder.release();
        QVERIFY(second.claimOrRefuse(platform));
        QCOMPARE(platform.boxes.size(), 1);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
