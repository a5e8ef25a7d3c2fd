// The intervals of the automatic commands, between the dialog's captions and the stored text.
#include "rcon/settings/intervaltable.h"

#include <QTest>

class TestIntervalTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captionsAndStoredTextsMatchBothWays();
    void onlyExactEntriesAreFound_data();
    void onlyExactEntriesAreFound();
};

void TestIntervalTable::captionsAndStoredTextsMatchBothWays() {
    const QStringList captions = {
        QStringLiteral("1 Minute"),   QStringLiteral("2 Minutes"),  QStringLiteral("5 Minutes"),
        QStringLiteral("15 Minutes"), QStringLiteral("25 Minutes"), QStringLiteral("30 Minutes"),
        QStringLiteral("50 Minutes"), QStringLiteral("60 Minutes"), QStringLiteral("90 Minutes")};
    const QStringList stored = {
        QStringLiteral("60000"),   QStringLiteral("120000"),  QStringLiteral("300000"),
        QStringLiteral("900000"),  QStringLiteral("1500000"), QStringLiteral("1800000"),
        QStringLiteral("3000000"), QStringLiteral("3600000"), QStringLiteral("5400000")};
    QCOMPARE(IntervalTable::captions(), captions);
    QCOMPARE(IntervalTable::count(), 9);
    for (int i = 0; i < captions.size(); ++i) {
        QCOMPARE(IntervalTable::millisecondsFor(captions[i]), stored[i]);
        QCOMPARE(IntervalTable::indexOfMilliseconds(stored[i]), i);
        QCOMPARE(IntervalTable::captionFor(stored[i]), captions[i]);
        QCOMPARE(IntervalTable::caption(i), captions[i]);
        QCOMPARE(IntervalTable::millisecondsText(i), stored[i]);
        // Each stored text is the caption's minutes in milliseconds.
        QCOMPARE(stored[i].toLongLong(),
                 captions[i].section(QLatin1Char(' '), 0, 0).toLongLong() * 60000);
    }
}

void TestIntervalTable::onlyExactEntriesAreFound_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("lower case") << QStringLiteral("1 minute");
    QTest::newRow("plural of one") << QStringLiteral("1 Minutes");
    QTest::newRow("padded caption") << QStringLiteral(" 5 Minutes");
    QTest::newRow("caption not offered") << QStringLiteral("10 Minutes");
    QTest::newRow("padded stored text") << QStringLiteral("60000 ");
    QTest::newRow("leading zero") << QStringLiteral("060000");
    QTest::newRow("seconds") << QStringLiteral("60");
    QTest::newRow("not offered") << QStringLiteral("600000");
    QTest::newRow("missing value") << QStringLiteral("[NOT FOUND]");
}

void TestIntervalTable::onlyExactEntriesAreFound() {
    QFETCH(QString, text);
    QCOMPARE(IntervalTable::millisecondsFor(text), QString());
    QCOMPARE(IntervalTable::indexOfMilliseconds(text), -1);
    QCOMPARE(IntervalTable::captionFor(text), QString());
}

QTEST_GUILESS_MAIN(TestIntervalTable)
#include "tst_intervaltable.moc"
