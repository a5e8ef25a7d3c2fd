// The per-user on/off options.
#include "rcon/settings/settingsstore.h"
#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

namespace {
const QString Options[] = {SettingsStore::SendToTrayOnBoot, SettingsStore::LogText2File,
                           SettingsStore::ShowPassDlg};

// Stores a text as another program (or a user's editor) would.
void storeOutside(const QString &file, const QString &key, const QString &text) {
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Options/") + key, text);
}
} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartHasEveryOptionOff();
    void storedTextsReadAsNumbers_data();
    void storedTextsReadAsNumbers();
    void checkBoxStatesAreStoredAsOneAndZero();
    void changesMadeElsewhereAreSeenAtOnce();
    void unreadableStoreReadsOffAndIgnoresWrites();
};

void TestSettingsStore::firstStartHasEveryOptionOff() {
    ProgramFolder folder;
    const SettingsStore store(folder.optionsFile());
    for (const QString &key : Options) {
        QCOMPARE(store.readText(key), QStringLiteral("0"));
        QCOMPARE(store.readOption(key), 0);
        QVERIFY(!store.isOn(key));
    }
    QVERIFY(!QFile::exists(folder.optionsFile()));
}

void TestSettingsStore::storedTextsReadAsNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("on");
    QTest::newRow("one") << QStringLiteral("1") << 1 << true;
    QTest::newRow("zero") << QStringLiteral("0") << 0 << false;
    QTest::newRow("two") << QStringLiteral("2") << 2 << false;
    QTest::newRow("minus one") << QStringLiteral("-1") << -1 << false;
    QTest::newRow("padded one") << QStringLiteral(" 1 ") << 1 << true;
    QTest::newRow("word") << QStringLiteral("abc") << 0 << false;
    QTest::newRow("true") << QStringLiteral("true") << 0 << false;
    QTest::newRow("one and more") << QStringLiteral("1x") << 0 << false;
    QTest::newRow("fraction") << QStringLiteral("1.5") << 0 << false;
    QTest::newRow("empty") << QString() << 0 << false;
    QTest::newRow("too large") << QStringLiteral("99999999999") << 0 << false;
}

void TestSettingsStore::storedTextsReadAsNumbers() {
    QFETCH(QString, text);
    QFETCH(int, number);
    QFETCH(bool, on);
    ProgramFolder folder;
    storeOutside(folder.optionsFile(), SettingsStore::LogText2File, text);
    const SettingsStore store(folder.optionsFile());
    QCOMPARE(store.readOption(SettingsStore::LogText2File), number);
    QCOMPARE(store.isOn(SettingsStore::LogText2File), on);
    // The other options stay absent.
    QCOMPARE(store.readOption(SettingsStore::ShowPassDlg), 0);
}

void TestSettingsStore::checkBoxStatesAreStoredAsOneAndZero() {
    ProgramFolder folder;
    const SettingsStore store(folder.optionsFile());
    store.saveOption(SettingsStore::SendToTrayOnBoot, true);
    store.saveOption(SettingsStore::LogText2File, false);
    store.saveOption(SettingsStore::ShowPassDlg, "1");

    QSettings stored(folder.optionsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Options/SendToTrayOnBoot")).toString(),
             QStringLiteral("1"));
    QCOMPARE(stored.value(QStringLiteral("Options/LogText2File")).toString(), QStringLiteral("0"));
    QCOMPARE(stored.value(QStringLiteral("Options/ShowPassDlg")).toString(), QStringLiteral("1"));

    const SettingsStore again(folder.optionsFile());
    QVERIFY(again.isOn(SettingsStore::SendToTrayOnBoot));
    QVERIFY(!again.isOn(SettingsStore::LogText2File));
    QVERIFY(again.isOn(SettingsStore::ShowPassDlg));
}

void TestSettingsStore::changesMadeElsewhereAreSeenAtOnce() {
    ProgramFolder folder;
    const SettingsStore store(folder.optionsFile());
    const SettingsStore dialog(folder.optionsFile());
    QVERIFY(!store.isOn(SettingsStore::LogText2File));
    dialog.saveOption(SettingsStore::LogText2File, true);
    QVERIFY(store.isOn(SettingsStore::LogText2File));
    storeOutside(folder.optionsFile(), SettingsStore::LogText2File, QStringLiteral("0"));
    QVERIFY(!store.isOn(SettingsStore::LogText2File));
}

void TestSettingsStore::unreadableStoreReadsOffAndIgnoresWrites() {
    ProgramFolder folder;
    // A folder where the options file should be: it can be neither read nor written.
    const QString blocked = folder.filePath(QStringLiteral("blocked"));
    QVERIFY(QDir().mkpath(blocked));
    const SettingsStore store(blocked);
    store.saveOption(SettingsStore::SendToTrayOnBoot, true);
    QCOMPARE(store.readOption(SettingsStore::SendToTrayOnBoot), 0);
    QVERIFY(!store.isOn(SettingsStore::SendToTrayOnBoot));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
