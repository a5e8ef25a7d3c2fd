// The reply log across connections and runs: every reply once, in order, as UTF-8 lines.
#include "rcon/console/logfilewriter.h"
#include "tests/support/programfolder.h"

#include <QFile>
#include <QTest>
#include <QTimeZone>

#include <utility>

namespace {

// The output pane as the program fills it: each reply is appended, what the pane was given
// since the last reply handed to the log, then CR LF appended. A disconnect empties it.
class Pane final {
public:
    explicit Pane(LogFileWriter &log)
        : m_log(log) {}
    bool reply(const QString &text) {
        m_unlogged += text;
        const bool written = m_log.write(std::exchange(m_unlogged, QString()));
        m_unlogged += QLatin1String("\r\n");
        return written;
    }
    void empty() {
        m_unlogged.clear();
        m_log.paneEmptied();
    }
    void show(const QString &text) { m_unlogged += text; }

private:
    LogFileWriter &m_log;
    QString m_unlogged;
};

} // namespace

class TestLogFileWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void repliesOfOneConnectionAreLoggedOnce() {
        ProgramFolder folder;
        LogFileWriter log;
        QVERIFY(log.open(folder.filePath("rcon_log.txt")));
        Pane pane(log);
        QVERIFY(pane.reply("Connected to 10.0.0.1\r\n"));
        QCOMPARE(folder.readFile("rcon_log.txt"), QByteArray("Connected to 10.0.0.1\n"));
        QVERIFY(pane.reply("\"hostname\" is \"My Server\"\n"));
        QVERIFY(pane.reply("The command as been received by the server . . .\r\n"));
        QCOMPARE(folder.readFile("rcon_log.txt"),
                 QByteArray("Connected to 10.0.0.1\n\n"
                            "\"hostname\" is \"My Server\"\n\n"
                            "The command as been received by the server . . .\n"));
    }

    // The log always ends with a whole line, though the pane gets its line break only after
    // the write; the break is not written a second time.
    void eachWriteLeavesWholeLines() {
        ProgramFolder folder;
        LogFileWriter log;
        QVERIFY(log.open(folder.filePath("rcon_log.txt")));
        Pane pane(log);
        pane.reply("one");
        QCOMPARE(folder.readFile("rcon_log.txt"), QByteArray("one\n"));
        pane.reply("two");
        QCOMPARE(folder.readFile("rcon_log.txt"), QByteArray("one\ntwo\n"));
        pane.reply("");
        pane.reply("four");
        QCOMPARE(folder.readFile("rcon_log.txt"), QByteArray("one\ntwo\n\nfour\n"));
    }

    // Ctrl+L empties the pane in the middle of a connection, with no new open(): the line
    // break written ahead for the last reply is not taken for the next reply's first.
    void paneClearedByTheUserStartsAfresh() {
        ProgramFolder folder;
        LogFileWriter log;
        QVERIFY(log.open(folder.filePath("rcon_log.txt")));
        QVERIFY(
            log.beginConnection(QStringLiteral("10.0.0.1"), 27015,
                                QDateTime(QDate(2026, 12, 7), QTime(21, 14, 3), QTimeZone(3600))));
        Pane pane(log);
        pane.reply("ok");
        pane.empty();
        pane.reply("\nok!");
        QCOMPARE(folder.readFile("rcon_log.txt"),
                 QByteArray("=== 2026-12-07 21:14:03 +0100 10.0.0.1:27015 ===\nok\n\nok!\n"));
        QCOMPARE(LogFileWriter::connectionLine(
                     QStringLiteral("::1"), 27016,
                     QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(-16200))),
                 QStringLiteral("=== 2026-01-02 03:04:05 -0430 [::1]:27016 ==="));
    }

    // Every reply once, in order, whatever the pane does: emptied by a disconnect, opened again
    // by the next connect or by a second Connect on a live connection.
    void reconnectingLogsEveryReplyOnce() {
        ProgramFolder folder;
        const QString path = folder.filePath("rcon_log.txt");
        LogFileWriter log;
        Pane pane(log);
        QVERIFY(log.open(path));
        pane.reply("Connected to 10.0.0.1");
        pane.reply("users");
        QVERIFY(log.open(path)); // Connect again on the live connection
        pane.reply("Connected to 10.0.0.1");
        pane.empty(); // disconnect
        QVERIFY(log.open(path));
        pane.show("Running in Automatic Command Mode . .\r\n \r\n");
        pane.reply("Connected to 10.0.0.1");
        pane.reply("users");
        QCOMPARE(folder.readFile("rcon_log.txt"),
                 QByteArray("Connected to 10.0.0.1\nusers\nConnected to 10.0.0.1\n"
                            "Running in Automatic Command Mode . .\n \n"
                            "Connected to 10.0.0.1\nusers\n"));
    }

    void restartAppendsAfterTheEarlierRun() {
        ProgramFolder folder;
        const QString path = folder.filePath("rcon_log.txt");
        {
            LogFileWriter log;
            Pane pane(log);
            QVERIFY(log.open(path));
            pane.reply("Connected to 10.0.0.1");
            pane.reply("before the restart");
        }
        LogFileWriter log;
        Pane pane(log);
        QVERIFY(log.open(path));
        pane.reply("Connected to 10.0.0.1");
        pane.reply("after the restart");
        QCOMPARE(folder.readFile("rcon_log.txt"),
                 QByteArray("Connected to 10.0.0.1\nbefore the restart\n"
                            "Connected to 10.0.0.1\nafter the restart\n"));
    }

    void existingLogIsKeptAndItsLastLineClosed() {
        ProgramFolder folder;
        folder.writeFile("rcon_log.txt", "old line one\nold line two");
        LogFileWriter log;
        Pane pane(log);
        QVERIFY(log.open(folder.filePath("rcon_log.txt")));
        pane.reply("new");
        QCOMPARE(folder.readFile("rcon_log.txt"), QByteArray("old line one\nold line two\nnew\n"));
    }

    void lineEndsBecomeLf() {
        ProgramFolder folder;
        LogFileWriter log;
        Pane pane(log);
        QVERIFY(log.open(folder.filePath("rcon_log.txt")));
        pane.show("defaults\r\n");
        pane.reply("a\r\nb\rc\n");
        pane.reply("d\r");
        pane.reply("e");
        pane.reply(QStringLiteral("f") + QChar(QChar::ParagraphSeparator) + QStringLiteral("g"));
        QCOMPARE(folder.readFile("rcon_log.txt"),
                 QByteArray("defaults\na\nb\nc\n\nd\n\ne\nf\ng\n"));
    }

    void textIsWrittenAsUtf8() {
        ProgramFolder folder;
        LogFileWriter log;
        Pane pane(log);
        QVERIFY(log.open(folder.filePath("rcon_log.txt")));
        pane.reply(QString::fromLatin1("caf\xE9 \xFF"));
        QCOMPARE(folder.readFile("rcon_log.txt"), QByteArray("caf\xC3\xA9 \xC3\xBF\n"));
    }

    void logThatCannotBeOpenedFailsEveryWrite() {
        ProgramFolder folder;
        LogFileWriter log;
        QVERIFY(!log.write("before any open"));
        QVERIFY(!log.open(folder.filePath("no such folder/rcon_log.txt")));
        QVERIFY(!log.write("reply"));
    }

    void fullDiskIsReportedAsAFailedWrite() {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        LogFileWriter log;
        QVERIFY(log.open("/dev/full"));
        QVERIFY(!log.write("reply"));
    }
};

QTEST_MAIN(TestLogFileWriter)
#include "tst_logfilewriter.moc"
