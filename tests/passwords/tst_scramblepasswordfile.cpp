// The password file's two passes, on the file in place.
#include "rcon/passwords/scramblepasswordfile.h"
#include "tests/support/programfolder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <sys/stat.h>

namespace {
const QString Password = QStringLiteral("password");

int modeOf(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
}

QByteArray randomText(qsizetype length, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray text(length, '\0');
    for (char &c : text)
        c = char(random.bounded(256));
    return text;
}

QByteArray scrambled(QByteArray text) {
    scrambleBytes(text);
    return text;
}
} // namespace

class TestScramblePasswordFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void knownTextsScrambleToKnownBytes();
    void everyTextComesBackWhole_data();
    void everyTextComesBackWhole();
    void changingOneLetterLeavesEarlierBytesAlone();
    void tinyFilesAreLeftAlone();
    void absentFileIsCreatedEmptyAndPrivate();
    void passesMakeAWideOpenFilePrivate();
    void tooLongFileIsLeftUntouched();
    void repeatedCyclesNeverGrowTheFile();
};

void TestScramblePasswordFile::knownTextsScrambleToKnownBytes() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString path = folder.filePath(Password);
    const struct {
        QByteArray text;
        QByteArray scrambled;
    } known[] = {
        {"abc", QByteArray::fromHex("290F18ED0700")},
        // Every byte carries into the next.
        {"\xff\xff\xff", QByteArray::fromHex("C7ACB4ED0700")},
        // A section header's '[' becomes '#'.
        {"[a", QByteArray::fromHex("230EED0700")},
    };
    for (const auto &k : known) {
        folder.writeFile(Password, k.text);
        QVERIFY(ScramblePasswordFile(path, true));
        QCOMPARE(folder.readFile(Password).toHex(), k.scrambled.toHex());
        QVERIFY(ScramblePasswordFile(path, false));
        QCOMPARE(folder.readFile(Password), k.text);
    }
}

void TestScramblePasswordFile::everyTextComesBackWhole_data() {
    QTest::addColumn<QByteArray>("text");
    for (qsizetype n = 1; n <= 40; ++n)
        QTest::addRow("%d random bytes", int(n)) << randomText(n, quint32(n));
    QByteArray everyByte;
    for (int b = 255; b >= 0; --b)
        everyByte.append(char(b));
    QTest::newRow("every byte value") << everyByte;
    QTest::newRow("passwords with accents")
        << QStringLiteral("[password]\npass1=h\u00e9las\u00ff\npass2=\u00e6\u00f8\u00e5\n")
               .toLatin1();
    QTest::newRow("all ones") << QByteArray(300, '\xff');
    QTest::newRow("longest file") << randomText(MaxScrambleLength, 7);
}

void TestScramblePasswordFile::everyTextComesBackWhole() {
    QFETCH(QByteArray, text);
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString path = folder.filePath(Password);
    folder.writeFile(Password, text);

    QVERIFY(ScramblePasswordFile(path, true));
    const QByteArray onDisk = folder.readFile(Password);
    QCOMPARE(onDisk.size(), text.size() + 3);
    QVERIFY(onDisk.left(text.size()) != text);

    QVERIFY(ScramblePasswordFile(path, false));
    QCOMPARE(folder.readFile(Password), text);
}

void TestScramblePasswordFile::changingOneLetterLeavesEarlierBytesAlone() {
    const QByteArray text = QByteArrayLiteral("[password]\nuserpass=secret\npass1=No Password\n");
    const QByteArray before = scrambled(text);
    for (qsizetype at = 0; at < text.size(); ++at) {
        QByteArray changed = text;
        changed[at] = char(changed[at] ^ 0x5a);
        const QByteArray after = scrambled(changed);
        QCOMPARE(after.left(at), before.left(at));
        QVERIFY2(after[at] != before[at], qPrintable(QString::number(at)));
    }
}

void TestScramblePasswordFile::tinyFilesAreLeftAlone() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString path = folder.filePath(Password);
    for (const QByteArray &tiny :
         {QByteArray(), QByteArray("a"), QByteArray("ab"), QByteArray("\x80\x90\xff")}) {
        folder.writeFile(Password, tiny);
        QVERIFY(ScramblePasswordFile(path, false));
        QCOMPARE(folder.readFile(Password), tiny);
    }
    folder.writeFile(Password, QByteArray());
    QVERIFY(ScramblePasswordFile(path, true));
    QCOMPARE(folder.readFile(Password), QByteArray());
}

void TestScramblePasswordFile::absentFileIsCreatedEmptyAndPrivate() {
    for (const bool scramble : {true, false}) {
        ProgramFolder folder(ProgramFolder::Settings::None);
        const QString path = folder.filePath(Password);
        QVERIFY(ScramblePasswordFile(path, scramble));
        QVERIFY(QFile::exists(path));
        QCOMPARE(folder.readFile(Password), QByteArray());
        QCOMPARE(modeOf(path), 0600);
    }
}

void TestScramblePasswordFile::passesMakeAWideOpenFilePrivate() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString path = folder.filePath(Password);
    for (const QByteArray &text : {QByteArray("[password]\npass1=x\n"), QByteArray()}) {
        for (const bool scramble : {true, false}) {
            folder.writeFile(Password, text);
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0666) == 0);
            QVERIFY(ScramblePasswordFile(path, scramble));
            QCOMPARE(modeOf(path), 0600);
        }
    }
}

void TestScramblePasswordFile::tooLongFileIsLeftUntouched() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString path = folder.filePath(Password);

    const QByteArray tooLongToScramble = randomText(MaxScrambleLength + 1, 1);
    folder.writeFile(Password, tooLongToScramble);
    QVERIFY(!ScramblePasswordFile(path, true));
    QCOMPARE(folder.readFile(Password), tooLongToScramble);

    const QByteArray tooLongToUnscramble = randomText(MaxScrambleLength + 4, 2);
    folder.writeFile(Password, tooLongToUnscramble);
    QVERIFY(!ScramblePasswordFile(path, false));
    QCOMPARE(folder.readFile(Password), tooLongToUnscramble);
}

void TestScramblePasswordFile::repeatedCyclesNeverGrowTheFile() {
    ProgramFolder folder(ProgramFolder::Settings::None);
    const QString path = folder.filePath(Password);
    const QByteArray text = QByteArrayLiteral("[password]\nuserpass=abc\n");
    folder.writeFile(Password, text);
    QVERIFY(ScramblePasswordFile(path, true));
    const QByteArray first = folder.readFile(Password);
    for (int i = 0; i < 100; ++i) {
        QVERIFY(ScramblePasswordFile(path, false));
        QCOMPARE(folder.readFile(Password), text);
        QVERIFY(ScramblePasswordFile(path, true));
    }
    QCOMPARE(folder.readFile(Password), first);
}

QTEST_GUILESS_MAIN(TestScramblePasswordFile)
#include "tst_scramblepasswordfile.moc"
