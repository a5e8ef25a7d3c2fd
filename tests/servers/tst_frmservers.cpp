// The Servers window through its widgets, against test servers on 127.0.0.1, a real keyring
// (gnome-keyring-daemon) and a notification server of the test's own, both on a private
// session bus: adding and refusing, rows live and silent, details, connecting from a row with
// the kept password, watching, and what happens with no keyring.
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/servers/frmservers.h"
#include "rcon/servers/serverlistmodel.h"
#include "rcon/servers/servermonitor.h"
#include "rcon/settings/programfiles.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/programfolder.h"
#include "tests/support/sessionbus.h"
#include "tests/support/testkeyring.h"

#include <QAbstractProxyModel>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace {

constexpr int AnswerTimeoutMs = 300;

// The desktop's notification server, as far as the program sees it: it records what it is
// asked to show.
class NotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &,
                const QStringList &, const QVariantMap &, int) {
        summaries.append(summary);
        return uint(summaries.size());
    }
};

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 10));
}

struct Fixture {
    Fixture() {
        servers[0].setHostname("Clan Public");
        servers[1].setHostname("Clan Match");
        servers[1].setJoinPassword("letmein");
        servers[1].setPlayers({});
        QList<GoldSrcServer::Player> players = GoldSrcServer::crowd(3);
        GoldSrcServer::Player bot;
        bot.name = "Bot Bob";
        bot.kind = GoldSrcServer::Player::Kind::Bot;
        bot.seconds = 600; // "10:00", after "1:07" as text, before it as a time
        players.append(bot);
        servers[0].setPlayers(players);
        for (GoldSrcServer &server : servers)
            server.listen();
        window = std::make_unique<FrmServers>(platform, buttons, files, [this] { return current; });
        window->setAnswerTimeout(AnswerTimeoutMs);
        model = window->monitor().model();
        table = window->findChild<QTableView *>(QStringLiteral("TblServers"));
        status = window->findChild<QLabel *>(QStringLiteral("LblStatus"));
    }

    QString address(int i) const {
        return QStringLiteral("%1:%2").arg(hosts[i]).arg(servers[i].port());
    }
    QString key(int i) const { return address(i); }

    XpButton *button(const char *name) const {
        return window->findChild<XpButton *>(QLatin1String(name));
    }
    QDialog *dialog() const {
        QDialog *found = window->findChild<QDialog *>(QStringLiteral("dlgServer"));
        return found && found->isVisible() ? found : nullptr;
    }
    template <typename T> T *field(const char *name) const {
        return dialog() ? dialog()->findChild<T *>(QLatin1String(name)) : nullptr;
    }
    // Add... (Insert) with the fields given; OK. The dialog is left open when it refuses.
    bool add(const QString &addresses, const QString &password = {}, bool keep = true,
             const QString &group = {}) {
        if (!dialog()) {
            window->activateWindow();
            if (!QTest::qWaitForWindowActive(window.get()))
                return false;
            QTest::keyClick(table, Qt::Key_Insert);
        }
        if (!QTest::qWaitFor([this] { return dialog() != nullptr; }))
            return false;
        field<QPlainTextEdit>("TxtAddresses")->setPlainText(addresses);
        field<QComboBox>("CboGroup")->setCurrentText(group);
        field<QLineEdit>("TxtPassword")->setText(password);
        field<QCheckBox>("ChkKeepPassword")->setChecked(keep);
        click(dialog()->findChild<XpButton *>(QStringLiteral("CmdOk")));
        return true;
    }
    QString problem() const {
        QLabel *label = field<QLabel>("LblProblem");
        return label && label->isVisible() ? label->text() : QString();
    }

    int row(int i) const { return model->rowOfKey(key(i)); }
    QString cell(int i, int column, int role = Qt::DisplayRole) const {
        return model->index(row(i), column).data(role).toString();
    }
    bool answered(int i) const {
        return row(i) >= 0 && model->row(row(i)).state == ServerListModel::State::Answering;
    }
    // A key pressed in the list, the window active (the window's keys work only then).
    bool press(int key, Qt::KeyboardModifiers modifiers = {}) const {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            return false;
        QTest::keyClick(table, Qt::Key(key), modifiers);
        return true;
    }
    void select(int i) const {
        const QModelIndex shown = static_cast<QAbstractProxyModel *>(table->model())
                                      ->mapFromSource(model->index(row(i), 0));
        table->setFocus();
        table->selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    }

    ProgramFolder folder;
    FakePlatform platform;
    ButtonFactory buttons{platform, QString()};
    ProgramFiles files{folder.path(), folder.path(), folder.optionsFile(),
                       folder.filePath(QStringLiteral("state"))};
    std::optional<std::pair<QString, quint16>> current;
    GoldSrcServer servers[2];
    QString hosts[2] = {QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1")};
    std::unique_ptr<FrmServers> window;
    ServerListModel *model = nullptr;
    QTableView *table = nullptr;
    QLabel *status = nullptr;
};

} // namespace

class TestFrmServers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        talvero::registerApplicationFonts();
        QVERIFY(m_bus.start(SessionBus::Activation::None));
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
        QVERIFY(m_keyring.start());
        QDBusConnection notifications =
            QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("notifications"));
        QVERIFY(notifications.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                             &m_notifications, QDBusConnection::ExportAllSlots));
        QVERIFY(notifications.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void serversAreAddedAndLiveAndSilentOnesGreyed() {
        Fixture f;
        f.window->open();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Servers"));

        // A bad port on one line: nothing of the lines is added, and the dialog says why.
        QVERIFY(f.add(f.address(0) + QStringLiteral("\n127.0.0.1:70000")));
        QTRY_COMPARE(f.problem(),
                     QStringLiteral("The port in \"127.0.0.1:70000\" is not a number from 1 to "
                                    "65535."));
        QCOMPARE(f.model->rowCount(), 0);
        QVERIFY(f.add(f.address(0) + QLatin1Char('\n') + f.address(1), QString(), true,
                      QStringLiteral("Clan")));
        QTRY_VERIFY(!f.dialog());
        // Both are asked at once, not at the next refresh.
        QTRY_VERIFY(f.answered(0) && f.answered(1));
        QCOMPARE(f.cell(0, ServerListModel::Name), QStringLiteral("Clan Public"));
        QCOMPARE(f.cell(0, ServerListModel::Map), QStringLiteral("de_dust2"));
        QCOMPARE(f.cell(0, ServerListModel::Players), QStringLiteral("3/32 (1 bot)"));
        QVERIFY(f.cell(0, ServerListModel::Ping).endsWith(QStringLiteral(" ms")));
        QCOMPARE(f.cell(0, ServerListModel::Vac), QStringLiteral("VAC"));
        QCOMPARE(f.cell(0, ServerListModel::Game), QStringLiteral("Counter-Strike"));
        QCOMPARE(f.cell(1, ServerListModel::Group), QStringLiteral("Clan"));
        QVERIFY(!f.model->index(f.row(0), 0).data(ServerListModel::JoinPasswordRole).toBool());
        QVERIFY(f.model->index(f.row(1), 0).data(ServerListModel::JoinPasswordRole).toBool());
        // What a screen reader says of the row, read through the table's own accessibility.
        f.select(1);
        QAccessibleInterface *tableAccess = QAccessible::queryAccessibleInterface(f.table);
        QVERIFY(tableAccess && tableAccess->tableInterface());
        const int nameColumn = f.table->horizontalHeader()->visualIndex(ServerListModel::Name);
        const int shownRow = f.table->selectionModel()->currentIndex().row();
        QAccessibleInterface *nameCell =
            tableAccess->tableInterface()->cellAt(shownRow, nameColumn);
        QCOMPARE(nameCell->text(QAccessible::Name),
                 QStringLiteral("Clan Match, map de_dust2, 0 of 32 players, needs a join "
                                "password"));

        // Already listed, written otherwise.
        QVERIFY(f.add(QStringLiteral("localhost:1\n127.0.0.1:%1").arg(f.servers[0].port())));
        QTRY_COMPARE(
            f.problem(),
            QStringLiteral("127.0.0.1:%1 is already in the list.").arg(f.servers[0].port()));
        QTest::keyClick(f.dialog(), Qt::Key_Escape);
        QTRY_VERIFY(!f.dialog());
        QCOMPARE(f.model->rowCount(), 2);

        // Silent: the last values stay, greyed, with since when; F5 asks at once.
        f.servers[1].queries().setSilent(true);
        QVERIFY(f.press(Qt::Key_F5));
        QTRY_COMPARE(f.model->row(f.row(1)).state, ServerListModel::State::Silent);
        QVERIFY(f.model->index(f.row(1), 0).data(ServerListModel::SilentRole).toBool());
        QVERIFY(
            f.cell(1, ServerListModel::LastAnswer).startsWith(QStringLiteral("no answer since ")));
        QCOMPARE(f.cell(1, ServerListModel::Map), QStringLiteral("de_dust2"));
        QCOMPARE(f.cell(1, ServerListModel::Name), QStringLiteral("Clan Match"));
        QVERIFY(f.answered(0));
        // The refresh asked for says how it went.
        QTRY_VERIFY(f.window->findChild<QLabel *>(QStringLiteral("LblStatus"))
                        ->text()
                        .startsWith(QStringLiteral("1 of 2 servers answered at ")));
        f.servers[1].queries().setSilent(false);
        QVERIFY(f.press(Qt::Key_F5));
        QTRY_VERIFY(f.answered(1));
        QVERIFY(!f.model->index(f.row(1), 0).data(ServerListModel::SilentRole).toBool());

        // Kept in the options file with the names the servers gave, found by them; the
        // window's place beside them.
        f.window->close();
        QVERIFY(!f.window->isVisible());
        SavedServers saved(f.folder.optionsFile());
        QTRY_COMPARE((saved.load(), saved.named(QStringLiteral("clan match")).size()), 1);
        QCOMPARE(saved.named(QStringLiteral("clan match")).first().address, f.address(1));
        QCOMPARE(saved.inGroup(QStringLiteral("Clan")).size(), 2);
        QSettings options(f.folder.optionsFile(), QSettings::IniFormat);
        QVERIFY(options.contains(QStringLiteral("Servers/Geometry")));
    }

    void theSelectedServersPlayersAndRulesAndTheFilters() {
        Fixture f;
        f.servers[0].queries().setRules(
            {{"mp_timelimit", "30"}, {"sv_gravity", "800"}, {"mp_friendlyfire", "1"}});
        f.window->open();
        QVERIFY(f.add(f.address(0) + QLatin1Char('\n') + f.address(1), QString(), true,
                      QStringLiteral("Match")));
        QTRY_VERIFY(f.answered(0) && f.answered(1));
        f.select(0);
        auto *players = f.window->findChild<QTableWidget *>(QStringLiteral("TblPlayers"));
        auto *rules = f.window->findChild<QTableWidget *>(QStringLiteral("TblRules"));
        QTRY_COMPARE(players->rowCount(), 4);
        // By name, A to Z whatever the case; by the time connected as a time.
        auto column = [players](int index) {
            QStringList cells;
            for (int row = 0; row < players->rowCount(); ++row)
                cells.append(players->item(row, index)->text());
            return cells;
        };
        QCOMPARE(
            column(0),
            (QStringList{QStringLiteral("Bot Bob"), QStringLiteral("player number 1"),
                         QStringLiteral("player number 2"), QStringLiteral("player number 3")}));
        players->sortItems(2, Qt::AscendingOrder);
        QCOMPARE(column(2), (QStringList{QStringLiteral("1:07"), QStringLiteral("2:07"),
                                         QStringLiteral("3:07"), QStringLiteral("10:00")}));
        QTRY_COMPARE(rules->rowCount(), 3);
        QTest::keyClicks(f.window->findChild<QLineEdit *>(QStringLiteral("TxtRulesFilter")),
                         QStringLiteral("MP_"));
        QCOMPARE(rules->rowCount(), 2);

        // The list's filter: name, map or address; the group choice above the list.
        auto *filter = f.window->findChild<QLineEdit *>(QStringLiteral("TxtFilter"));
        QTest::keyClicks(filter, QStringLiteral("match"));
        QCOMPARE(f.table->model()->rowCount(), 1);
        filter->clear();
        QTest::keyClicks(filter, QString::number(f.servers[1].port()));
        QCOMPARE(f.table->model()->rowCount(), 1);
        filter->clear();
        auto *group = f.window->findChild<QComboBox *>(QStringLiteral("CboGroup"));
        QCOMPARE(group->count(), 2); // every group, and "Match"
        group->setCurrentIndex(1);
        QCOMPARE(f.table->model()->rowCount(), 2);
    }

    void aRowConnectsWithItsKeptPassword() {
        Fixture f;
        f.current = std::make_pair(QStringLiteral("127.0.0.1"), f.servers[0].port());
        f.window->open();
        QSignalSpy connects(f.window.get(), &FrmServers::connectRequested);

        // "Add the current server" fills the dialog from the main window's fields.
        click(f.button("CmdAddCurrent"));
        QTRY_VERIFY(f.dialog());
        QCOMPARE(f.field<QPlainTextEdit>("TxtAddresses")->toPlainText(), f.address(0));
        QVERIFY(f.add(f.address(0), QStringLiteral("s3cret pass")));
        QTRY_VERIFY(!f.dialog());
        QVERIFY(f.add(f.address(1)));
        QTRY_VERIFY(!f.dialog());
        QTRY_VERIFY(f.answered(0));
        const QString key = QStringLiteral("rcon://") + f.key(0);
        QCOMPARE(m_keyring.lookup(key), QStringLiteral("s3cret pass"));
        QVERIFY(!f.folder.readFile(QStringLiteral("options/Talvero.conf")).contains("s3cret"));

        // Enter on a row.
        f.select(0);
        QVERIFY(f.press(Qt::Key_Return));
        QTRY_COMPARE(connects.size(), 1);
        QCOMPARE(connects.at(0).at(0).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(connects.at(0).at(1).value<quint16>(), f.servers[0].port());
        QCOMPARE(connects.at(0).at(2).value<std::optional<QString>>(),
                 std::optional<QString>(QStringLiteral("s3cret pass")));
        // A double-click on a server without a kept password: the password field stays as is.
        const QModelIndex other = static_cast<QAbstractProxyModel *>(f.table->model())
                                      ->mapFromSource(f.model->index(f.row(1), 0));
        const QPoint middle = f.table->visualRect(other).center();
        QTest::mouseClick(f.table->viewport(), Qt::LeftButton, {}, middle);
        QTest::mouseDClick(f.table->viewport(), Qt::LeftButton, {}, middle);
        QTRY_COMPARE(connects.size(), 2);
        QCOMPARE(connects.at(1).at(1).value<quint16>(), f.servers[1].port());
        QCOMPARE(connects.at(1).at(2).value<std::optional<QString>>(), std::nullopt);

        // Edited to another address of the same server: its password moves with it.
        f.select(0);
        click(f.button("CmdEdit"));
        QTRY_VERIFY(f.dialog());
        QVERIFY(f.field<QCheckBox>("ChkKeepPassword")->isChecked());
        QVERIFY(f.field<QLineEdit>("TxtPassword")->text().isEmpty());
        f.hosts[0] = QStringLiteral("localhost");
        f.field<QPlainTextEdit>("TxtAddresses")->setPlainText(f.address(0));
        click(f.dialog()->findChild<XpButton *>(QStringLiteral("CmdOk")));
        QTRY_VERIFY(!f.dialog());
        const QString movedKey = QStringLiteral("rcon://") + f.key(0);
        QTRY_COMPARE(m_keyring.lookup(movedKey), QStringLiteral("s3cret pass"));
        QTRY_COMPARE(m_keyring.lookup(key), std::nullopt);
        QTRY_VERIFY(f.answered(0));

        // Removed after asking: its password goes with it.
        f.select(0);
        f.platform.queueAnswer(Platform::Answer::Yes);
        QVERIFY(f.press(Qt::Key_Delete));
        QCOMPARE(f.platform.boxes.size(), 1);
        QCOMPARE(f.platform.boxes.last().text,
                 QStringLiteral("Remove Clan Public from the list of servers?"));
        QCOMPARE(f.model->rowCount(), 1);
        QTRY_COMPARE(m_keyring.lookup(movedKey), std::nullopt);
    }

    void recentServersAreImported() {
        Fixture f;
        QDir().mkpath(f.folder.filePath(QStringLiteral("state")));
        f.folder.writeFile(QStringLiteral("state/recent-servers"),
                           QStringLiteral("%1\t127.0.0.1\n%2\t127.0.0.1\n")
                               .arg(f.servers[0].port())
                               .arg(f.servers[1].port())
                               .toUtf8());
        f.window->open();
        QVERIFY(f.add(f.address(1)));
        QTRY_VERIFY(!f.dialog());
        click(f.button("CmdImport"));
        QCOMPARE(f.status->text(), QStringLiteral("1 server added from the recent servers."));
        QCOMPARE(f.model->rowCount(), 2);
        QTRY_VERIFY(f.answered(0));
        click(f.button("CmdImport"));
        QCOMPARE(f.status->text(), QStringLiteral("Every recent server is in the list already."));
    }

    void watchingTellsOnceWhenAServerStopsAndAgainWhenItAnswers() {
        Fixture f;
        m_notifications.summaries.clear();
        f.window->open();
        QVERIFY(f.add(f.address(0) + QLatin1Char('\n') + f.address(1)));
        QTRY_VERIFY(f.answered(0) && f.answered(1));
        // Watching goes on with the window hidden.
        f.window->monitor().setRefreshIntervalMs(50);
        f.window->findChild<QCheckBox *>(QStringLiteral("ChkWatch"))->setChecked(true);
        f.window->close();
        QSignalSpy refreshes(&f.window->monitor(), &ServerMonitor::refreshFinished);
        f.servers[1].queries().setSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(m_notifications.summaries,
                                  QStringList{QStringLiteral("Clan Match stopped answering")},
                                  10000);
        // Further silent refreshes tell nothing more.
        const qsizetype seen = refreshes.size();
        QTRY_VERIFY_WITH_TIMEOUT(refreshes.size() >= seen + 3, 10000);
        QCOMPARE(m_notifications.summaries.size(), 1);
        f.servers[1].queries().setSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(m_notifications.summaries.size(), 2, 10000);
        QCOMPARE(m_notifications.summaries.last(), QStringLiteral("Clan Match answers again"));
        QSettings options(f.folder.optionsFile(), QSettings::IniFormat);
        QCOMPARE(options.value(QStringLiteral("Servers/Watch")).toString(), QStringLiteral("1"));
    }

    void withoutAKeyringTheDialogSaysSoAndKeepsNothing() {
        Fixture f;
        QVERIFY(m_keyring.stop());
        f.window->open();
        QVERIFY(f.add(f.address(0), QStringLiteral("s3cret pass")));
        QTRY_COMPARE(f.problem(),
                     QStringLiteral("No desktop keyring is available: the password is not kept"));
        QCOMPARE(f.model->rowCount(), 0);
        QVERIFY(f.field<QLineEdit>("TxtPassword")->text().isEmpty());
        QVERIFY(!f.field<QCheckBox>("ChkKeepPassword")->isChecked());
        // OK again adds the server, without a password.
        click(f.dialog()->findChild<XpButton *>(QStringLiteral("CmdOk")));
        QTRY_VERIFY(!f.dialog());
        QCOMPARE(f.model->rowCount(), 1);
        QVERIFY(!f.folder.readFile(QStringLiteral("options/Talvero.conf")).contains("s3cret"));
        QVERIFY(m_keyring.start());
        QCOMPARE(m_keyring.lookup(QStringLiteral("rcon://") + f.key(0)), std::nullopt);
    }

private:
    SessionBus m_bus;
    TestKeyring m_keyring{m_bus};
    NotificationServer m_notifications;
};

QTEST_MAIN(TestFrmServers)
#include "tst_frmservers.moc"
