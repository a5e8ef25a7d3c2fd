// Passwords in a real desktop keyring: gnome-keyring-daemon's Secret Service on a session bus of
// the test's own, found there with secret-tool and nowhere in the files; with no keyring on the
// bus, the message and nothing kept.
#include "rcon/servers/passwordkeyring.h"
#include "tests/support/sessionbus.h"
#include "tests/support/testkeyring.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace {

// Runs one keyring call to its answer.
template <typename Call> std::optional<PasswordKeyring::Result> answer(Call call) {
    std::optional<PasswordKeyring::Result> result;
    call([&result](const PasswordKeyring::Result &given) { result = given; });
    if (result) // an answer inside the call breaks the promise of the interface
        return std::nullopt;
    if (!QTest::qWaitFor([&result] { return result.has_value(); }, 20000))
        return std::nullopt;
    return result;
}

bool anyFileHolds(const QString &dir, const QByteArray &bytes) {
    QDirIterator files(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(bytes))
            return true;
    }
    return false;
}

} // namespace

class TestPasswordKeyring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_bus.start(SessionBus::Activation::None));
        // Before anything in this process opens the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
        QVERIFY(m_keyring.start());
    }

    void aPasswordIsKeptInTheKeyringAlone() {
        const QString key = QStringLiteral("rcon://127.0.0.1:27015");
        const QString password = QStringLiteral("pass word:it's");
        PasswordKeyring keyring;
        auto written = answer([&](auto done) { keyring.write(key, password, done); });
        QVERIFY(written);
        QCOMPARE(written->status, PasswordKeyring::Status::Done);
        QCOMPARE(m_keyring.lookup(key), password);
        QVERIFY(!anyFileHolds(m_keyring.home(), password.toUtf8()));

        auto read = answer([&](auto done) { keyring.read(key, done); });
        QVERIFY(read);
        QCOMPARE(read->status, PasswordKeyring::Status::Done);
        QCOMPARE(read->password, password);

        auto removed = answer([&](auto done) { keyring.remove(key, done); });
        QVERIFY(removed);
        QCOMPARE(removed->status, PasswordKeyring::Status::Done);
        QCOMPARE(m_keyring.lookup(key), std::nullopt);
        read = answer([&](auto done) { keyring.read(key, done); });
        QVERIFY(read);
        QCOMPARE(read->status, PasswordKeyring::Status::NotFound);
    }

    void withoutAKeyringNothingIsKept() {
        QVERIFY(m_keyring.stop());
        const QString key = QStringLiteral("rcon://10.0.0.9:27016");
        PasswordKeyring keyring;
        auto written = answer([&](auto done) { keyring.write(key, QStringLiteral("x"), done); });
        QVERIFY(written);
        QCOMPARE(written->status, PasswordKeyring::Status::NoKeyring);
        QCOMPARE(written->message,
                 QStringLiteral("No desktop keyring is available: the password is not kept"));
        auto read = answer([&](auto done) { keyring.read(key, done); });
        QVERIFY(read);
        QCOMPARE(read->status, PasswordKeyring::Status::NoKeyring);

        // The keyring back: the password was not kept for later either.
        QVERIFY(m_keyring.start());
        QCOMPARE(m_keyring.lookup(key), std::nullopt);
    }

private:
    SessionBus m_bus;
    TestKeyring m_keyring{m_bus};
};

QTEST_GUILESS_MAIN(TestPasswordKeyring)
#include "tst_passwordkeyring.moc"
