// Talvero installed the way a package installs it: into a prefix, the program folder read-only
// and not the user's, then started against a fresh home. Its own files come from the install;
// the files it writes go to the user's data folder, owner-only. Also when the installed folder
// is the running user's own and writable, as the package's is to root.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/userfiles.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/outputpane.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakegameserver.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/widgets.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString AppId = QStringLiteral("net.talvero.Talvero");
constexpr QFile::Permissions OwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions OwnerOnlyFolder = OwnerOnlyFile | QFile::ExeOwner;

// The permission bits of a file (the Qt ones also carry the user's own, doubled).
QFile::Permissions modeOf(const QString &path) {
    return QFileInfo(path).permissions() & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString &folder) {
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext())
        names << QFileInfo(it.next()).fileName();
    names.sort();
    return names;
}

// A fresh home with its own XDG folders, as a new user's first start sees it.
struct Home {
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
    QString dataFolder() const { return path(QStringLiteral("data/Talvero")); }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }
    Home() {
        QDir(dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(path(QStringLiteral("runtime")), OwnerOnlyFolder);
    }
};

const QStringList InstalledProgramFolder{"1284.wav", "85858.wav",   "INSTALLED",
                                         "about",    "libecho.so",  "libhook.so",
                                         "rcon",     "talvero.ini", "welcome.wav"};

// `cmake --install` of the build into prefix; empty when it worked, else its output.
QByteArray installInto(const QString &prefix) {
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(TALVERO_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(TALVERO_BUILD_DIR),
                   QStringLiteral("--prefix"), prefix});
    if (install.waitForFinished(120000) && install.exitStatus() == QProcess::NormalExit &&
        install.exitCode() == 0)
        return {};
    return "cmake --install failed: " + install.readAll();
}
} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir m_prefix;
    QString m_programDir;
    // A second install, left as `cmake --install` made it: the running user's and writable.
    QTemporaryDir m_ownPrefix;

    QString installed(const QString &name) const { return m_prefix.filePath(name); }

    // Runs a checking tool on an installed file; skipped where the tool is missing.
    void validate(const QString &tool, const QStringList &args) {
        const QString exe = QStandardPaths::findExecutable(tool);
        if (exe.isEmpty())
            QSKIP(qPrintable(tool + QStringLiteral(" is not installed (scripts/install-deps)")));
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(exe, args);
        QVERIFY(check.waitForFinished(60000));
        QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0,
                 check.readAll().constData());
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_prefix.isValid() && m_ownPrefix.isValid());
        for (const QTemporaryDir *prefix : {&m_prefix, &m_ownPrefix}) {
            const QByteArray failure = installInto(prefix->path());
            QVERIFY2(failure.isEmpty(), failure.constData());
        }
        m_programDir = installed(QStringLiteral("lib/talvero"));
        const QFileInfo own(m_ownPrefix.filePath(QStringLiteral("lib/talvero")));
        QVERIFY(own.isWritable() && own.ownerId() == ::geteuid());

        // As a package leaves it: the folder another account's and not writable. (Root may
        // write anywhere; handing the folder to "nobody" shows it is not root's to fill.)
        if (::geteuid() == 0)
            QProcess::execute(QStringLiteral("chown"),
                              {QStringLiteral("-R"), QStringLiteral("65534:65534"), m_programDir});
        QCOMPARE(QProcess::execute(QStringLiteral("chmod"),
                                   {QStringLiteral("-R"), QStringLiteral("a-w"), m_programDir}),
                 0);
        QVERIFY(!talvero::UserFiles::programFolderHoldsThem(m_programDir));
    }

    void cleanupTestCase() {
        QProcess::execute(QStringLiteral("chmod"),
                          {QStringLiteral("-R"), QStringLiteral("u+w"), m_prefix.path()});
    }

    void installLaysOutProgramMenuEntryAndIcons() {
        QCOMPARE(filesIn(m_programDir), InstalledProgramFolder);
        const QFileInfo command(installed(QStringLiteral("bin/talvero")));
        QVERIFY(command.isSymLink());
        QCOMPARE(command.canonicalFilePath(),
                 QFileInfo(m_programDir + "/rcon").canonicalFilePath());
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QImage icon(installed(
                QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId)));
            QCOMPARE(icon.size(), QSize(size, size));
        }
        // The manual page of the desktop program, compressed as man expects it.
        QVERIFY(readAll(installed(QStringLiteral("share/man/man1/talvero.1.gz")))
                    .startsWith("\x1f\x8b"));
        const QString entry = installed("share/applications/" + AppId + ".desktop");
        const QString metainfo = installed("share/metainfo/" + AppId + ".metainfo.xml");
        QVERIFY(QFileInfo::exists(metainfo));
        validate(QStringLiteral("desktop-file-validate"), {entry});
        validate(QStringLiteral("appstreamcli"),
                 {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    }

    void installedProgramWritesOnlyIntoTheUsersFolder_data() {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("read-only, another account's") << m_prefix.path();
        QTest::newRow("writable, the user's own") << m_ownPrefix.path();
    }

    void installedProgramWritesOnlyIntoTheUsersFolder() {
        QFETCH(QString, prefix);
        const QString programDir = prefix + QStringLiteral("/lib/talvero");
        QVERIFY(!talvero::UserFiles::programFolderHoldsThem(programDir));

        Home home;
        QProcess program;
        program.setProcessEnvironment(home.environment());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(prefix + QStringLiteral("/bin/talvero"), {});
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));

        const QString ini = home.dataFolder() + QStringLiteral("/talvero.ini");
        const QString password = home.dataFolder() + QStringLiteral("/password");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(password), 60000);
        // Still running: the settings check passed, so INI access (libecho.so) worked.
        QCOMPARE(program.state(), QProcess::Running);
        program.terminate();
        if (!program.waitForFinished(10000)) {
            program.kill();
            program.waitForFinished();
        }

        QCOMPARE(modeOf(home.dataFolder()), OwnerOnlyFolder);
        QCOMPARE(modeOf(ini), OwnerOnlyFile);
        QCOMPARE(modeOf(password), OwnerOnlyFile);
        QCOMPARE(readAll(ini), readAll(programDir + QStringLiteral("/talvero.ini")));
        QCOMPARE(filesIn(programDir), InstalledProgramFolder);
    }

    void installedProgramLogsIntoTheUsersFolderAndRestartsItself() {
        Home home;
        qputenv("XDG_DATA_HOME", home.path(QStringLiteral("data")).toLocal8Bit());
        const QString dataDir = talvero::UserFiles::prepare(m_programDir);
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(dataDir, home.dataFolder());

        FakePlatform platform;
        FakeGameServer server;
        Program program(m_programDir, dataDir, home.path(QStringLiteral("config/Talvero.conf")),
                        platform);
        program.settings().saveOption(SettingsStore::LogText2File, true);
        FrmRcon *main = program.windows().frmRcon();
        QVERIFY(main);
        main->show();
        program.windows().frmLog()->show();
        child<QLineEdit>(main, "txtIP")->setText(QStringLiteral("127.0.0.1"));
        child<QLineEdit>(main, "txtPort")->setText(QString::number(server.port()));
        child<QLineEdit>(main, "txtPassword")->setText(QStringLiteral("secret"));
        QTest::mouseClick(child<XpButton>(main, "cmdconnect"), Qt::LeftButton, {}, QPoint(36, 10));
        QVERIFY(server.waitForDatagrams(1));
        server.sendToLastSender(QByteArray("\xFF\xFF\xFF\xFF") + "lsv_gravity is 800\n" +
                                QByteArray(2, '\0'));
        const auto *pane = child<OutputPane>(program.windows().frmLog(), "TxtGet");
        QTRY_VERIFY(pane->text().contains(QStringLiteral("sv_gravity")));

        const QString log = dataDir + QStringLiteral("/rcon_log.txt");
        QTRY_VERIFY(readAll(log).contains("sv_gravity is 800"));
        QCOMPARE(modeOf(log), OwnerOnlyFile);
        QVERIFY(!QFileInfo::exists(m_programDir + QStringLiteral("/rcon_log.txt")));
        // The Properties dialog tells where.
        QVERIFY(child<QCheckBox>(program.windows().frmSetRcon(), "CLog")->toolTip().endsWith(log));
        // The button's sound is the installed one.
        QVERIFY(!platform.sounds.isEmpty());
        QCOMPARE(platform.sounds.last(), m_programDir + QStringLiteral("/85858.wav"));
        QVERIFY(QFileInfo::exists(platform.sounds.last()));

        program.RestartProgram();
        QCOMPARE(platform.startedPrograms, QStringList{m_programDir + QStringLiteral("/rcon")});
    }

    void writableProgramFolderKeepsItsFiles() {
        QTemporaryDir folder;
        QCOMPARE(talvero::UserFiles::prepare(folder.path()), folder.path());
        // The build's program folder: made by the user, never marked as installed.
        const QString build = QStringLiteral(TALVERO_BUILD_DIR) + QStringLiteral("/talvero");
        QVERIFY(QFileInfo::exists(build + QStringLiteral("/rcon")));
        QVERIFY(talvero::UserFiles::programFolderHoldsThem(build));
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
