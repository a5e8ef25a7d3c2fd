// The program's INI reads and writes, through its INI control, and the start-up defaults read and
// written through them.
#include "rcon/kit/controlhost.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/settings/settingsini.h"
#include "rcon/settings/startupdefaults.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QFile>
#include <QTest>
#include <QWidget>

namespace {
const QString NotFound = QStringLiteral("[NOT FOUND]");
}

class TestIniAccess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaultsAreFoundUnderTheReadersSpelling();
    void clearedKeysStayPresent();
    void installedSettingsFileHasTheRequiredKey();
    void missingControlReadsNotFoundAndWritesNothing();
    void startupDefaultsTellAbsentFromCleared();
};

void TestIniAccess::defaultsAreFoundUnderTheReadersSpelling() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakePlatform platform;
    ControlHost host(folder.path(), platform);
    QWidget window;
    const IniAccess ini(host.create(QStringLiteral("Quirebox.INITool"), &window));
    QVERIFY(ini.control());
    const QString file = folder.filePath(SettingsIni::FileName);
    using namespace SettingsIni;

    ini.WriteToINI(QStringLiteral("192.168.0.10"), Written::AutoIP, Written::IP, file);
    ini.WriteToINI(QStringLiteral("27016"), Written::AutoIP, Written::Port, file);
    ini.WriteToINI(QStringLiteral("status"), Written::AutoRcon, Written::Rcon, file);
    ini.WriteToINI(QStringLiteral("60000"), Written::AutoRcon, Written::Time, file);
    ini.WriteToINI(QStringLiteral("admin_say hello"), Written::AutoRcon, Written::Rcon2, file);
    ini.WriteToINI(QStringLiteral("5400000"), Written::AutoRcon, Written::Time2, file);

    QCOMPARE(ini.GetFromINI(Read::autoip, Read::ip, file), QStringLiteral("192.168.0.10"));
    QCOMPARE(ini.GetFromINI(Read::autoip, Read::port, file), QStringLiteral("27016"));
    QCOMPARE(ini.GetFromINI(Read::autorcon, Read::rcon, file), QStringLiteral("status"));
    QCOMPARE(ini.GetFromINI(Read::autorcon, Read::time, file), QStringLiteral("60000"));
    QCOMPARE(ini.GetFromINI(Read::autorcon, Read::rcon2, file), QStringLiteral("admin_say hello"));
    QCOMPARE(ini.GetFromINI(Read::autorcon, Read::time2, file), QStringLiteral("5400000"));
    // The Properties dialog reads the commands back as they were written.
    QCOMPARE(ini.GetFromINI(Written::AutoRcon, Written::Rcon2, file),
             QStringLiteral("admin_say hello"));
    QCOMPARE(ini.GetFromINI(Read::autoip, Read::rcon, file), NotFound);
}

void TestIniAccess::clearedKeysStayPresent() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakePlatform platform;
    ControlHost host(folder.path(), platform);
    QWidget window;
    const IniAccess ini(host.create(QStringLiteral("Quirebox.INITool"), &window));
    const QString file = folder.filePath(SettingsIni::FileName);

    QCOMPARE(ini.GetFromINI(SettingsIni::Read::autorcon, SettingsIni::Read::rcon2, file), NotFound);
    ini.WriteToINI(QString(), SettingsIni::Written::AutoRcon, SettingsIni::Written::Rcon2, file);
    QCOMPARE(ini.GetFromINI(SettingsIni::Read::autorcon, SettingsIni::Read::rcon2, file),
             QString());
}

void TestIniAccess::installedSettingsFileHasTheRequiredKey() {
    ProgramFolder folder;
    FakePlatform platform;
    ControlHost host(folder.path(), platform);
    QWidget window;
    const IniAccess ini(host.create(QStringLiteral("Quirebox.INITool"), &window));
    const QString file = folder.filePath(SettingsIni::FileName);
    QCOMPARE(ini.GetFromINI(SettingsIni::Written::AutoRcon, SettingsIni::Written::Rcon, file),
             QString());
}

void TestIniAccess::missingControlReadsNotFoundAndWritesNothing() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString file = folder.filePath(SettingsIni::FileName);
    QObject notAControl;
    auto *closed = new QObject;
    const IniAccess closedControl(closed);
    delete closed;
    for (const IniAccess &ini : {IniAccess(), IniAccess(&notAControl), closedControl}) {
        ini.WriteToINI(QStringLiteral("x"), SettingsIni::Written::AutoIP, SettingsIni::Written::IP,
                       file);
        QCOMPARE(ini.GetFromINI(SettingsIni::Read::autoip, SettingsIni::Read::ip, file), NotFound);
        QVERIFY(!QFile::exists(file));
    }
}

// A key the file does not hold is absent, never the text "[NOT FOUND]"; a cleared key is
// present and empty. What the Properties dialog writes through its control reads back the same
// through direct access, whichever spelling each uses.
void TestIniAccess::startupDefaultsTellAbsentFromCleared() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    FakePlatform platform;
    ControlHost host(folder.path(), platform);
    QWidget window;
    const IniAccess control(host.create(QStringLiteral("Quirebox.INITool"), &window));
    QVERIFY(control.control());
    const IniAccess direct = IniAccess::direct();
    const QString file = folder.filePath(SettingsIni::FileName);

    const StartupDefaults none = StartupDefaults::read(direct, file);
    for (const std::optional<QString> &value :
         {none.address, none.port, none.command1, none.interval1, none.command2, none.interval2})
        QVERIFY(!value.has_value());

    StartupDefaults::writeAddress(control, file, QStringLiteral("10.0.0.5"), QString());
    StartupDefaults::writeCommands(control, file, QStringLiteral("status"), QStringLiteral("60000"),
                                   QStringLiteral("users"), QStringLiteral("120000"));
    StartupDefaults read = StartupDefaults::read(direct, file);
    QCOMPARE(read.address.value_or(NotFound), QStringLiteral("10.0.0.5"));
    QCOMPARE(read.port.value_or(NotFound), QString());
    QCOMPARE(read.command1.value_or(NotFound), QStringLiteral("status"));
    QCOMPARE(read.interval1.value_or(NotFound), QStringLiteral("60000"));
    QCOMPARE(read.command2.value_or(NotFound), QStringLiteral("users"));
    QCOMPARE(read.interval2.value_or(NotFound), QStringLiteral("120000"));

    StartupDefaults::clearSecondCommand(control, file);
    read = StartupDefaults::read(control, file);
    QCOMPARE(read.command1.value_or(NotFound), QStringLiteral("status"));
    QCOMPARE(read.command2.value_or(NotFound), QString());
    QCOMPARE(read.interval2.value_or(NotFound), QString());
    // Written as the file has always spelt it.
    const QByteArray text = folder.readFile(SettingsIni::FileName);
    for (const char *line : {"[AutoIP]", "IP=10.0.0.5", "Port=", "[AutoRcon]", "Rcon=status",
                             "Time=60000", "Rcon2=", "Time2="})
        QVERIFY2(text.contains(line), line);
}

QTEST_MAIN(TestIniAccess)
#include "tst_iniaccess.moc"
