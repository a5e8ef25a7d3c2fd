// Reading and writing INI files: the settings file and the password file of the program, and
// any file another host hands to the INI control.
#include "echo/inifile.h"
#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QString NotFound = u"[NOT FOUND]"_s;

QString read(const QString &file, const QString &section, const QString &key) {
    return IniFile(file).readString(section, key, NotFound, 254);
}

bool write(const QString &file, const QString &section, const QString &key, const QString &text) {
    return IniFile(file).writeString(section, key, text);
}

// Text holding NULs, as a host hands over a section block.
template <qsizetype N> QString withNuls(const char (&text)[N]) {
    return QString::fromLatin1(text, N - 1);
}

QString bytesFrom(int first, int last) {
    QByteArray bytes;
    for (int b = first; b <= last; ++b)
        bytes.append(char(b));
    return QString::fromLatin1(bytes);
}
} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesMatchWithoutRegardToCaseOrBlanks();
    void absentEntriesReadAsNotFound();
    void longValueIsCutToTheBuffer();
    void valuesReadBackAsWritten_data();
    void valuesReadBackAsWritten();
    void emptyWriteCreatesFileSectionAndEmptyKey();
    void writeKeepsEveryOtherLineAndLineEnds();
    void lineBreaksInArgumentsCannotAddLines();
    void keyNamesThatCannotReadBackAreRefused();
    void latin1BytesSurviveBothWays();
    void rewriteIsAtomicAndKeepsPermissionsAndLinks();
    void unwritableTargetChangesNothing();
    void sectionIsListedWithOneNulPerLine();
    void sectionWriteReplacesOnlyTheBody();
};

void TestIniFile::namesMatchWithoutRegardToCaseOrBlanks() {
    ProgramFolder folder;
    const QString ini = folder.filePath(u"talvero.ini"_s);
    // Octal escapes: Latin-1 letters with accents.
    folder.writeFile(u"talvero.ini"_s,
                     "[AutoIP]\nIP=192.168.1.20\n[ Sp\351cial ]\n  \311tat  =  on and  off \t\n");
    QCOMPARE(read(ini, u"autoip"_s, u"ip"_s), u"192.168.1.20"_s);
    QCOMPARE(read(ini, u" SP\u00c9CIAL"_s, u"\u00e9TAT "_s), u"on and  off"_s);
}

void TestIniFile::absentEntriesReadAsNotFound() {
    ProgramFolder folder;
    const QString ini = folder.filePath(u"talvero.ini"_s);
    QCOMPARE(read(folder.filePath(u"nothing.ini"_s), u"A"_s, u"k"_s), NotFound);
    QCOMPARE(read(folder.path(), u"A"_s, u"k"_s), NotFound);

    folder.writeFile(u"talvero.ini"_s,
                     "orphan=1\n[A]\nempty=\nbare\n; k=comment\n[B]\nb=1\n[a]\nlater=2\n");
    QCOMPARE(read(ini, u"A"_s, u"empty"_s), QString(""));
    QCOMPARE(read(ini, u"A"_s, u"missing"_s), NotFound);
    QCOMPARE(read(ini, u"Z"_s, u"b"_s), NotFound);
    QCOMPARE(read(ini, u"A"_s, u"b"_s), NotFound);
    QCOMPARE(read(ini, u"A"_s, u"bare"_s), NotFound);
    QCOMPARE(read(ini, u"A"_s, u"; k"_s), NotFound);
    QCOMPARE(read(ini, u""_s, u"orphan"_s), NotFound);
    QCOMPARE(read(ini, u"A"_s, u""_s), NotFound);
    // The first section of a name is the one that counts.
    QCOMPARE(read(ini, u"A"_s, u"later"_s), NotFound);
}

void TestIniFile::longValueIsCutToTheBuffer() {
    ProgramFolder folder;
    const QString ini = folder.filePath(u"talvero.ini"_s);
    const QString longText = QString(290, QLatin1Char('x')) + u"0123456789"_s;
    QVERIFY(write(ini, u"S"_s, u"k"_s, longText));
    QVERIFY(write(ini, u"S"_s, u"fits"_s, longText.left(253)));
    QCOMPARE(read(ini, u"S"_s, u"k"_s), longText.left(253));
    QCOMPARE(read(ini, u"S"_s, u"fits"_s), longText.left(253));
    // Stored whole: only the read is limited.
    QVERIFY(folder.readFile(u"talvero.ini"_s).contains(longText.toLatin1()));
}

void TestIniFile::valuesReadBackAsWritten_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << u"pass word"_s;
    QTest::newRow("leading blank") << u" secret"_s;
    QTest::newRow("trailing tab") << u"secret\t"_s;
    QTest::newRow("double quoted") << u"\"quoted\""_s;
    QTest::newRow("single quoted") << u"'q'"_s;
    QTest::newRow("lone quote") << u"\""_s;
    QTest::newRow("equals and brackets") << u"a=b [c] ;d"_s;
}

void TestIniFile::valuesReadBackAsWritten() {
    QFETCH(QString, value);
    ProgramFolder folder;
    const QString ini = folder.filePath(u"password"_s);
    QVERIFY(write(ini, u"password"_s, u"pass1"_s, value));
    QCOMPARE(read(ini, u"Password"_s, u"Pass1"_s), value);
    // Written over an existing value too.
    QVERIFY(write(ini, u"password"_s, u"pass1"_s, value + value));
    QCOMPARE(read(ini, u"Password"_s, u"Pass1"_s), value + value);
}

void TestIniFile::emptyWriteCreatesFileSectionAndEmptyKey() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString ini = folder.filePath(u"talvero.ini"_s);
    QVERIFY(write(ini, u"AutoRcon"_s, u"Rcon2"_s, QString()));
    QCOMPARE(folder.readFile(u"talvero.ini"_s), QByteArray("[AutoRcon]\nRcon2=\n"));
    QCOMPARE(read(ini, u"autorcon"_s, u"rcon2"_s), QString(""));

    QVERIFY(write(ini, u"AutoRcon"_s, u"Rcon2"_s, u"status"_s));
    QVERIFY(write(ini, u"AutoRcon"_s, u"rcon2"_s, QString()));
    QCOMPARE(folder.readFile(u"talvero.ini"_s), QByteArray("[AutoRcon]\nRcon2=\n"));
}

void TestIniFile::writeKeepsEveryOtherLineAndLineEnds() {
    ProgramFolder folder;
    const QString ini = folder.filePath(u"talvero.ini"_s);
    folder.writeFile(u"talvero.ini"_s, "; Talvero settings\r\n[AutoIP]\r\nIP = 10.0.0.1\r\n"
                                       "Custom=kept\r\n\r\n; automatic commands\r\n"
                                       "[AutoRcon]\r\nRcon=status\r\n[Unknown]\r\nx=1");
    IniFile file(ini);
    QVERIFY(file.writeString(u"autoip"_s, u"ip"_s, u"10.0.0.2"_s));
    QVERIFY(file.writeString(u"AutoIP"_s, u"Port"_s, u"27016"_s));
    QVERIFY(file.writeString(u"Unknown"_s, u"y"_s, u"2"_s));
    QVERIFY(file.writeString(u"New"_s, u"z"_s, u"3"_s));
    QCOMPARE(folder.readFile(u"talvero.ini"_s),
             QByteArray("; Talvero settings\r\n[AutoIP]\r\nIP = 10.0.0.2\r\nCustom=kept\r\n"
                        "Port=27016\r\n\r\n; automatic commands\r\n[AutoRcon]\r\nRcon=status\r\n"
                        "[Unknown]\r\nx=1\r\ny=2\r\n[New]\r\nz=3\r\n"));
}

void TestIniFile::lineBreaksInArgumentsCannotAddLines() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString ini = folder.filePath(u"password"_s);
    IniFile file(ini);
    QVERIFY(file.writeString(u"pass\nword"_s, u"pa\rss1"_s, u"abc\r\n[Evil]\r\nuserpass=\n"_s));
    QCOMPARE(folder.readFile(u"password"_s), QByteArray("[password]\npass1=abc[Evil]userpass=\n"));
    QCOMPARE(read(ini, u"Evil"_s, u"userpass"_s), NotFound);
    QCOMPARE(read(ini, u"password"_s, u"pass1"_s), u"abc[Evil]userpass="_s);
}

void TestIniFile::keyNamesThatCannotReadBackAreRefused() {
    ProgramFolder folder;
    const QString ini = folder.filePath(u"talvero.ini"_s);
    const QByteArray before = folder.readFile(u"talvero.ini"_s);
    for (const QString &key : {QString(), u" \n "_s, u"[Evil]"_s, u"; note"_s, u"IP=1.2.3.4"_s}) {
        QVERIFY(!write(ini, u"AutoIP"_s, key, u"x"_s));
    }
    QVERIFY(!write(ini, u" "_s, u"k"_s, u"x"_s));
    QCOMPARE(folder.readFile(u"talvero.ini"_s), before);
    QVERIFY(!IniFile(folder.filePath(u"new.ini"_s)).writeString(QString(), u"k"_s, u"x"_s));
    QVERIFY(!QFile::exists(folder.filePath(u"new.ini"_s)));
}

void TestIniFile::latin1BytesSurviveBothWays() {
    ProgramFolder folder;
    const QString ini = folder.filePath(u"password"_s);
    QByteArray other("[Other]\n");
    for (int b = 0; b < 256; ++b) {
        if (b != '\n' && b != '\r')
            other.append(char(b));
    }
    other.append("\n");
    folder.writeFile(u"password"_s, other);

    const QString high = bytesFrom(0x80, 0xff);
    QVERIFY(write(ini, u"password"_s, u"pass1"_s, high));
    QCOMPARE(read(ini, u"password"_s, u"pass1"_s), high);
    QCOMPARE(folder.readFile(u"password"_s), other + "[password]\npass1=" + high.toLatin1() + "\n");

    // What Latin-1 cannot hold is stored as "?", one per character.
    QVERIFY(write(ini, u"password"_s, u"pass2"_s, u"5\u20ac \U0001F600!"_s));
    QCOMPARE(read(ini, u"password"_s, u"pass2"_s), u"5? ?!"_s);
}

void TestIniFile::rewriteIsAtomicAndKeepsPermissionsAndLinks() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString ini = folder.filePath(u"password"_s);
    const QByteArray original = "[password]\nuserpass=" + QByteArray(4000, 'o') + "\n";
    folder.writeFile(u"password"_s, original);
    const auto privateOnly =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    QVERIFY(QFile::setPermissions(ini, privateOnly));

    // A reader that opened the file before the write still reads the old file whole.
    QFile reader(ini);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QVERIFY(write(ini, u"Password"_s, u"userpass"_s, u"new"_s));
    QCOMPARE(reader.readAll(), original);
    QCOMPARE(QFileInfo(ini).permissions(), privateOnly);
    QVERIFY(IniFile(ini).writeSection(u"Password"_s, withNuls("a=1\0\0")));
    QCOMPARE(QFileInfo(ini).permissions(), privateOnly);
    QCOMPARE(QDir(folder.path()).entryList({u"password*"_s}, QDir::Files | QDir::Hidden),
             QStringList{u"password"_s});

    // A file reached through a link is written where the link points; the link stays.
    const QString link = folder.filePath(u"linked.ini"_s);
    QVERIFY(QFile::link(ini, link));
    QVERIFY(write(link, u"Password"_s, u"b"_s, u"2"_s));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(folder.readFile(u"password"_s), QByteArray("[password]\na=1\nb=2\n"));
}

void TestIniFile::unwritableTargetChangesNothing() {
    ProgramFolder folder;
    const QByteArray settings = folder.readFile(u"talvero.ini"_s);
    // A folder that cannot exist: its parent is a file.
    const QString underFile = folder.filePath(u"talvero.ini/x.ini"_s);
    QVERIFY(!write(underFile, u"A"_s, u"k"_s, u"v"_s));
    QVERIFY(!IniFile(underFile).writeSection(u"A"_s, u"k=v"_s));
    QCOMPARE(read(underFile, u"A"_s, u"k"_s), NotFound);
    // A folder where the file should be.
    QVERIFY(QDir(folder.path()).mkdir(u"sub"_s));
    QVERIFY(!IniFile(folder.filePath(u"sub"_s)).writeString(u"A"_s, u"k"_s, u"v"_s));
    QVERIFY(QFileInfo(folder.filePath(u"sub"_s)).isDir());
    QCOMPARE(folder.readFile(u"talvero.ini"_s), settings);

    if (geteuid() == 0)
        QSKIP("permission bits do not bind the superuser");
    const QString ini = folder.filePath(u"talvero.ini"_s);
    QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner));
    QVERIFY(!write(ini, u"AutoIP"_s, u"IP"_s, u"1"_s));
    QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(!write(ini, u"AutoIP"_s, u"IP"_s, u"1"_s));
    QVERIFY(QFile::setPermissions(folder.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(folder.readFile(u"talvero.ini"_s), settings);
}

void TestIniFile::sectionIsListedWithOneNulPerLine() {
    ProgramFolder folder;
    const QString ini = folder.filePath(u"talvero.ini"_s);
    folder.writeFile(u"talvero.ini"_s,
                     "[S]\n; note\n Key = a value \n\nempty=\nq=\" x \"\n; next\n[T]\nt=1\n");
    IniFile file(ini);
    QCOMPARE(file.readSection(u"s"_s, 254), withNuls("Key=a value\0empty=\0q=\" x \"\0"));
    QCOMPARE(file.readSection(u"missing"_s, 254), QString());
    QCOMPARE(IniFile(folder.filePath(u"none"_s)).readSection(u"S"_s, 254), QString());

    // 253 characters fit beside the closing NUL; one more and the list is cut to 252.
    const QString fits = u"k="_s + QString(250, QLatin1Char('v'));
    QVERIFY(file.writeSection(u"Big"_s, fits));
    QCOMPARE(file.readSection(u"Big"_s, 254), fits + QChar(0));
    QVERIFY(file.writeSection(u"Big"_s, fits + u"w"_s));
    QCOMPARE(file.readSection(u"Big"_s, 254), fits);
}

void TestIniFile::sectionWriteReplacesOnlyTheBody() {
    ProgramFolder folder;
    const QString ini = folder.filePath(u"talvero.ini"_s);
    folder.writeFile(u"talvero.ini"_s,
                     "[A]\r\nx=1\r\n; inside\r\ny=2\r\n\r\n; about B\r\n[B]\r\nb=1\r\n");
    IniFile file(ini);
    QVERIFY(file.writeSection(u"a"_s, withNuls("p=1\0q = 2\r\n\0\0ignored=1\0")));
    QCOMPARE(folder.readFile(u"talvero.ini"_s),
             QByteArray("[A]\r\np=1\r\nq = 2\r\n\r\n; about B\r\n[B]\r\nb=1\r\n"));
    QCOMPARE(read(ini, u"A"_s, u"q"_s), u"2"_s);

    // An entry that would start a section of its own spoils the whole write.
    const QByteArray before = folder.readFile(u"talvero.ini"_s);
    QVERIFY(!file.writeSection(u"B"_s, withNuls("b=2\0[Evil]\0\0")));
    QCOMPARE(folder.readFile(u"talvero.ini"_s), before);

    QVERIFY(file.writeSection(u"B"_s, QString()));
    QVERIFY(file.writeSection(u"C"_s, u"c=3"_s));
    QCOMPARE(folder.readFile(u"talvero.ini"_s),
             QByteArray("[A]\r\np=1\r\nq = 2\r\n\r\n; about B\r\n[B]\r\n[C]\r\nc=3\r\n"));
}

QTEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
