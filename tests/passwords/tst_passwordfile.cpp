// Reading and writing the password file: every access unscrambles it, works on the clear text
// through the INI control, and scrambles it again.
#include "rcon/kit/controlhost.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/passwords/scramblepasswordfile.h"
#include "tests/passwords/fakeinicontrol.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <sys/stat.h>

namespace {
const QString Password = QStringLiteral("password");
const QString NotFound = QStringLiteral("[NOT FOUND]");

int modeOf(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
}

QByteArray unscrambled(QByteArray bytes) {
    unscrambleBytes(bytes);
    return bytes;
}

QByteArray scrambled(QByteArray bytes) {
    scrambleBytes(bytes);
    return bytes;
}

// The real INI control, as the program creates it.
struct RealControl {
    ProgramFolder folder{ProgramFolder::Settings::None};
    FakePlatform platform;
    ControlHost host{folder.path(), platform};
    QWidget window;
    QWidget *control = host.create(QStringLiteral("Quirebox.INITool"), &window);
    PasswordFile file{folder.filePath(Password), IniAccess(control)};
};
} // namespace

class TestPasswordFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readingAnAbsentFileCreatesItEmptyAndPrivate();
    void firstFillHoldsTheInitialLayout();
    void passwordsLieScrambledAndReadBack();
    void fileStaysTheSameOverManyAccesses();
    void fileLeftClearByACrashLosesNothing();
    void writerThatWidensPermissionsIsOverruled();
    void readsAndWritesInsideAnAccessJoinIt();
    void noWindowEventsRunDuringAnAccess();
    void writeTooLongToScrambleIsGivenUp();
    void tooLongFileIsNeitherReadNorWritten();
    void withoutAControlTheFileIsKeptAsItWas();

    void realControlFindsFirstFillUnderLaterSpellings();
    void realControlKeepsSizeOverAThousandAccesses();
    void leftoversOfInterruptedSavesGoAtTheNextAccess();
};

void TestPasswordFile::readingAnAbsentFileCreatesItEmptyAndPrivate() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));

    QCOMPARE(file.read(PasswordFile::userpass), NotFound);
    QCOMPARE(file.read(PasswordFile::usethis), NotFound);
    QVERIFY(QFile::exists(file.path()));
    QCOMPARE(folder.readFile(Password), QByteArray());
    QCOMPARE(modeOf(file.path()), 0600);
    QCOMPARE(ini.seen, QList<QByteArray>({QByteArray(), QByteArray()}));
}

void TestPasswordFile::firstFillHoldsTheInitialLayout() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));
    file.WriteNewINI();

    QCOMPARE(unscrambled(folder.readFile(Password)),
             QByteArray("[Password]\nuserpass=\nPass1=No Password\nPass2=No Password\n"
                        "Pass3=No Password\nPass4=No Password\nPass5=No Password\n"
                        "usethis=No Password\n"));
    QCOMPARE(file.read(PasswordFile::userpass), QString());
    for (const QLatin1String key : PasswordFile::pass)
        QCOMPARE(file.read(key), QStringLiteral("No Password"));
    QCOMPARE(file.read(PasswordFile::usethis), QStringLiteral("No Password"));
}

void TestPasswordFile::passwordsLieScrambledAndReadBack() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));
    const QString secret = QStringLiteral("h\u00e9las-\u00ff\u00e6\u00f8");
    file.WriteNewINI();
    file.write(PasswordFile::pass[2], secret);
    file.write(PasswordFile::UseThis, secret);

    const QByteArray onDisk = folder.readFile(Password);
    QVERIFY(!onDisk.contains(secret.toLatin1()));
    QVERIFY(!onDisk.contains("Password"));
    QVERIFY(onDisk.startsWith('#'));
    QCOMPARE(file.read(PasswordFile::pass[2]), secret);
    QCOMPARE(file.read(PasswordFile::usethis), secret);
    // The control only ever saw clear text.
    for (const QByteArray &seen : std::as_const(ini.seen))
        QVERIFY(seen.isEmpty() || seen.startsWith('['));
}

void TestPasswordFile::fileStaysTheSameOverManyAccesses() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));
    file.WriteNewINI();
    file.write(PasswordFile::userpass, QStringLiteral("guard"));
    file.write(PasswordFile::pass[0], QStringLiteral("No Password"));
    const QByteArray before = folder.readFile(Password);

    // A thousand accesses through the real control are counted further down.
    for (int i = 0; i < 100; ++i) {
        if (i % 2)
            QCOMPARE(file.read(PasswordFile::userpass), QStringLiteral("guard"));
        else
            file.write(PasswordFile::pass[0], QStringLiteral("No Password"));
    }
    QCOMPARE(folder.readFile(Password), before);
}

void TestPasswordFile::fileLeftClearByACrashLosesNothing() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));
    file.WriteNewINI();
    file.write(PasswordFile::userpass, QStringLiteral("guard"));
    const QByteArray scrambledFile = folder.readFile(Password);

    // The program stopped after the opening pass, before the closing one.
    QVERIFY(ScramblePasswordFile(file.path(), false));
    QVERIFY(folder.readFile(Password).startsWith("[Password]"));
    QCOMPARE(file.read(PasswordFile::userpass), QStringLiteral("guard"));
    QCOMPARE(folder.readFile(Password), scrambledFile);

    // ... and after a write in the clear.
    QVERIFY(ScramblePasswordFile(file.path(), false));
    ini.WriteToINI(QStringLiteral("kept"), PasswordFile::Section, PasswordFile::pass[4],
                   file.path());
    QCOMPARE(file.read(PasswordFile::pass[4]), QStringLiteral("kept"));
    QCOMPARE(file.read(PasswordFile::userpass), QStringLiteral("guard"));
    QVERIFY(unscrambled(folder.readFile(Password)).startsWith("[Password]"));
}

void TestPasswordFile::writerThatWidensPermissionsIsOverruled() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    ini.newFileMode = 0666;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));

    QVERIFY(file.access([&] {
        file.write(PasswordFile::userpass, QStringLiteral("guard"));
        // Still clear here, so this is the moment it matters most.
        QVERIFY(folder.readFile(Password).startsWith('['));
        QCOMPARE(modeOf(file.path()), 0600);
        file.write(PasswordFile::pass[0], QStringLiteral("x"));
        QCOMPARE(modeOf(file.path()), 0600);
    }));
    QCOMPARE(modeOf(file.path()), 0600);
    QCOMPARE(file.read(PasswordFile::userpass), QStringLiteral("guard"));
}

void TestPasswordFile::readsAndWritesInsideAnAccessJoinIt() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));
    // The same file under another spelling of its path.
    const PasswordFile sameFile(folder.path() + QStringLiteral("/./") + Password, IniAccess(&ini));
    file.WriteNewINI();
    ini.seen.clear();

    QStringList read;
    QVERIFY(file.access([&] {
        file.write(PasswordFile::pass[0], QStringLiteral("one"));
        read << sameFile.read(PasswordFile::pass[0]);
        QVERIFY(sameFile.access([&] {
            sameFile.write(PasswordFile::pass[1], QStringLiteral("two"));
            read << file.read(PasswordFile::pass[1]);
        }));
        read << file.read(PasswordFile::usethis);
    }));
    QCOMPARE(read, QStringList({QStringLiteral("one"), QStringLiteral("two"),
                                QStringLiteral("No Password")}));
    for (const QByteArray &seen : std::as_const(ini.seen))
        QVERIFY(seen.startsWith("[Password]"));
    // Scrambled once, not once per nested access.
    QVERIFY(unscrambled(folder.readFile(Password)).startsWith("[Password]"));
}

void TestPasswordFile::noWindowEventsRunDuringAnAccess() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));
    QByteArray text = QByteArrayLiteral("[password]\nuserpass=guard\n");
    text.append(QByteArray(MaxScrambleLength - text.size() - 1, ';')).append('\n');
    folder.writeFile(Password, scrambled(text));

    int othersStarted = 0;
    QString otherRead;
    QTimer::singleShot(0, this, [&] {
        ++othersStarted;
        otherRead = file.read(PasswordFile::userpass);
    });
    QCOMPARE(file.read(PasswordFile::userpass), QStringLiteral("guard"));
    QCOMPARE(othersStarted, 0);
    QTRY_COMPARE(othersStarted, 1);
    QCOMPARE(otherRead, QStringLiteral("guard"));
}

void TestPasswordFile::writeTooLongToScrambleIsGivenUp() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    const PasswordFile file(folder.filePath(Password), IniAccess(&ini));
    file.WriteNewINI();
    file.write(PasswordFile::userpass, QStringLiteral("guard"));
    const QByteArray before = folder.readFile(Password);

    QVERIFY(file.access([&] {
        file.write(PasswordFile::pass[0], QStringLiteral("short"));
        file.write(PasswordFile::pass[1], QString(MaxScrambleLength, QLatin1Char('x')));
    }));
    QCOMPARE(folder.readFile(Password), before);
    QCOMPARE(modeOf(file.path()), 0600);
    QCOMPARE(file.read(PasswordFile::userpass), QStringLiteral("guard"));
    QCOMPARE(file.read(PasswordFile::pass[1]), QStringLiteral("No Password"));
}

void TestPasswordFile::tooLongFileIsNeitherReadNorWritten() {
    const QByteArray tooLong[] = {
        scrambled(QByteArray("[password]\nuserpass=guard\n").append(MaxScrambleLength, ';')),
        QByteArray("[password]\nuserpass=guard\n").append(MaxScrambleLength, ';'),
    };
    for (const QByteArray &bytes : tooLong) {
        ProgramFolder folder(ProgramFolder::Settings::None);
        FakeIniControl ini;
        const PasswordFile file(folder.filePath(Password), IniAccess(&ini));
        folder.writeFile(Password, bytes);

        QCOMPARE(file.read(PasswordFile::userpass), NotFound);
        file.write(PasswordFile::userpass, QStringLiteral("new"));
        bool ran = false;
        QVERIFY(!file.access([&] { ran = true; }));
        QVERIFY(!ran);
        QVERIFY(ini.seen.isEmpty());
        QCOMPARE(folder.readFile(Password), bytes);
    }
}

void TestPasswordFile::withoutAControlTheFileIsKeptAsItWas() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakeIniControl ini;
    PasswordFile(folder.filePath(Password), IniAccess(&ini)).WriteNewINI();
    const QByteArray before = folder.readFile(Password);

    const PasswordFile file(folder.filePath(Password), IniAccess());
    QCOMPARE(file.read(PasswordFile::usethis), NotFound);
    file.write(PasswordFile::usethis, QStringLiteral("lost"));
    QCOMPARE(folder.readFile(Password), before);

    // A control whose window has been closed counts as none.
    auto *gone = new FakeIniControl;
    const PasswordFile orphan(folder.filePath(Password), IniAccess(gone));
    delete gone;
    QCOMPARE(orphan.read(PasswordFile::usethis), NotFound);
    QCOMPARE(folder.readFile(Password), before);
}

void TestPasswordFile::realControlFindsFirstFillUnderLaterSpellings() {
    RealControl real;
    QVERIFY(real.control);
    real.file.WriteNewINI();
    QCOMPARE(real.file.read(PasswordFile::userpass), QString());
    for (const QLatin1String key : PasswordFile::pass)
        QCOMPARE(real.file.read(key), QStringLiteral("No Password"));

    const QString secret = QStringLiteral("s\u00e9same \u00ff");
    real.file.write(PasswordFile::UseThis, secret);
    QCOMPARE(real.file.read(PasswordFile::usethis), secret);
    real.file.write(PasswordFile::pass[3], secret);
    QCOMPARE(real.file.read(QStringLiteral("PASS4")), secret);
    QVERIFY(!real.folder.readFile(Password).contains(secret.toLatin1()));
    QVERIFY(unscrambled(real.folder.readFile(Password)).startsWith('['));
}

void TestPasswordFile::realControlKeepsSizeOverAThousandAccesses() {
    RealControl real;
    QVERIFY(real.control);
    QCOMPARE(real.file.read(PasswordFile::userpass), NotFound);
    QCOMPARE(real.folder.readFile(Password), QByteArray());
    QCOMPARE(modeOf(real.file.path()), 0600);

    real.file.WriteNewINI();
    real.file.write(PasswordFile::userpass, QStringLiteral("guard"));
    QCOMPARE(modeOf(real.file.path()), 0600);
    const qsizetype size = real.folder.readFile(Password).size();
    QVERIFY(size > 3);
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(real.file.read(PasswordFile::userpass), QStringLiteral("guard"));
    QCOMPARE(real.folder.readFile(Password).size(), size);
    QCOMPARE(modeOf(real.file.path()), 0600);
}

void TestPasswordFile::leftoversOfInterruptedSavesGoAtTheNextAccess() {
    RealControl real;
    QVERIFY(real.control);
    real.file.WriteNewINI();
    real.file.write(PasswordFile::UseThis, QStringLiteral("hunter2"));
    const QByteArray clearText = unscrambled(real.folder.readFile(Password));
    // What a save killed before its rename leaves: the fixed temporary and the randomly named
    // ones of earlier versions, each holding the clear text; and one of the INI writer's.
    const QStringList leftovers{QStringLiteral("password.saving"),
                                QStringLiteral("password.Ab12Cd"),
                                QStringLiteral("password.zz9ZZ9")};
    for (const QString &name : leftovers)
        real.folder.writeFile(name, clearText);
    real.folder.writeFile(QStringLiteral("password.bak"), "kept: not a leftover");
    real.folder.writeFile(QStringLiteral("talvero.ini.Q1w2E3"), "[AutoRcon]\n");

    QCOMPARE(real.file.read(PasswordFile::usethis), QStringLiteral("hunter2"));
    for (const QString &name : leftovers)
        QVERIFY2(!QFile::exists(real.folder.filePath(name)), qPrintable(name));
    QVERIFY(QFile::exists(real.folder.filePath(QStringLiteral("password.bak"))));
    // A successful access leaves nothing beside the file.
    QVERIFY(!QFile::exists(real.folder.filePath(QStringLiteral("password.saving"))));

    // The INI writer clears its own leftovers when it next writes that file.
    IniAccess(real.control)
        .WriteToINI(QStringLiteral("status"), QStringLiteral("AutoRcon"), QStringLiteral("Rcon"),
                    real.folder.filePath(QStringLiteral("talvero.ini")));
    QVERIFY(!QFile::exists(real.folder.filePath(QStringLiteral("talvero.ini.Q1w2E3"))));
}

QTEST_MAIN(TestPasswordFile)
#include "tst_passwordfile.moc"
