// The Players window against the test server, given only the main connection, the options, the
// desktop and the button factory: the table after a refresh, kick, ban and map change with their
// confirmations, the selection across refreshes, its traffic kept off the main connection, and
// refreshing stopped by a disconnect, a refused password or a ban.
#include "rcon/kit/fonts.h"
#include "rcon/players/frmplayers.h"
#include "rcon/players/playertablemodel.h"
#include "rcon/protocol/rconsession.h"
#include "rcon/protocol/statusparser.h"
#include "rcon/xpbutton/xpbutton.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/widgets.h"
#include "tests/support/windowservices.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

namespace {

void click(XpButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(36, 10));
}

struct Fixture {
    Fixture() {
        server.listen();
        QObject::connect(&services.connection.session(), &RconSession::replyReceived,
                         [this](const RconReply &) { ++mainReplies; });
    }
    ~Fixture() { delete players; }

    bool connectMain(const QString &password = QStringLiteral("secret")) {
        return services.connectTo(server.port(), password);
    }

    // Opens the window (made on first use, and again once it was closed) and waits for the
    // first table.
    FrmPlayers *openPlayers() {
        if (!players)
            players = new FrmPlayers(services.connection, services.settings, services.platform,
                                     services.buttons);
        players->open();
        if (!QTest::qWaitForWindowActive(players) ||
            !QTest::qWaitFor([this] { return rows() > 0 && players->session()->isIdle(); }))
            return nullptr;
        return players;
    }

    QTableView *table() const { return child<QTableView>(players, "TblPlayers"); }
    QString label(const char *name) const { return child<QLabel>(players, name)->text(); }
    XpButton *button(const char *name) const { return child<XpButton>(players, name); }
    QAction *action(const char *name) const { return child<QAction>(players, name); }
    int selectedUser() const {
        const PlayerRow *player = players->selectedPlayer();
        return player ? player->userId : -1;
    }
    int rows() const { return players ? table()->model()->rowCount() : -1; }
    int statusRequests() const {
        return int(server.executedCommands().count(QStringLiteral("status")));
    }
    // Waits until the window has asked for status again and had its answer.
    bool refreshed(int before) const {
        return QTest::qWaitFor(
            [&] { return statusRequests() > before && players->session()->isIdle(); });
    }
    bool hasUser(int userId) const {
        auto *model = static_cast<PlayerTableModel *>(
            static_cast<QSortFilterProxyModel *>(table()->model())->sourceModel());
        return model->rowOfUser(userId) >= 0;
    }
    void clickRowOf(const QString &name) {
        QAbstractItemModel *model = table()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, PlayerTableModel::Name);
            if (index.data().toString() == name) {
                QTest::mouseClick(table()->viewport(), Qt::LeftButton, {},
                                  table()->visualRect(index).center());
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no row for ") + name));
    }

    WindowServices services;
    GoldSrcServer server;
    QPointer<FrmPlayers> players;
    // Replies the main connection heard: the window's own requests must not be among them.
    int mainReplies = 0;
};

} // namespace

class TestFrmPlayers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { talvero::registerApplicationFonts(); }

    void tableFillsAndKickTakesThePlayerAway() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openPlayers());
        QVERIFY(f.players->isVisible());
        QCOMPARE(f.players->windowTitle(), QStringLiteral("Players"));
        QCOMPARE(f.rows(), 10);
        QCOMPARE(f.label("LblHost"), QStringLiteral("Talvero Test Server"));
        QCOMPARE(f.label("LblMap"), QStringLiteral("Map: de_dust2"));
        QCOMPARE(f.label("LblPlayers"), QStringLiteral("Players: 10 active / 32 max"));
        QVERIFY(f.players->isRefreshing());
        QVERIFY(f.hasUser(6)); // the "quoted" one

        f.clickRowOf(QStringLiteral("Zoë ★ UTF-8"));
        QCOMPARE(f.selectedUser(), 7);
        QTest::keyClick(f.table(), Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("STEAM_0:1:1007"));
        QTest::keyClick(f.table(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("192.0.2.17:27005"));
        f.services.platform.queueAnswer(Platform::Answer::Yes);
        const int before = f.statusRequests();
        click(f.button("CmdKick"));
        QCOMPARE(f.services.platform.boxes.last().text,
                 QStringLiteral("Kick this player?\n\n\"Zoë ★ UTF-8\" (user id 7)"));
        QVERIFY(f.refreshed(before));
        QVERIFY(f.server.executedCommands().contains(QStringLiteral("kick #7")));
        QCOMPARE(f.rows(), 9);
        QVERIFY(!f.hasUser(7));
        QCOMPARE(f.label("LblStatus"), QStringLiteral("The server carried out \"kick #7\"."));

        // Saying no sends nothing.
        f.clickRowOf(QStringLiteral("bob"));
        f.services.platform.queueAnswer(Platform::Answer::No);
        QTest::keyClick(f.table(), Qt::Key_Delete);
        QCOMPARE(f.services.platform.boxes.last().text,
                 QStringLiteral("Kick this player?\n\n\"bob\" (user id 5)"));
        QVERIFY(f.players->session()->isIdle());
        QCOMPARE(f.server.executedCommands().filter(QStringLiteral("kick")).size(), 1);

        // None of the window's traffic reaches the main connection: the main connection heard
        // its challenge's answer only.
        QCOMPARE(f.mainReplies, 1);
    }

    void banSendsItsCommandsAndTheSelectionSurvivesRefreshes() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openPlayers());

        // Sorted by name, descending; the selected player stays selected across refreshes
        // that change the rows around it.
        f.table()->sortByColumn(PlayerTableModel::Name, Qt::DescendingOrder);
        f.clickRowOf(QStringLiteral("bob"));
        int before = f.statusRequests();
        QTest::keyClick(f.players, Qt::Key_F5);
        QVERIFY(f.refreshed(before));
        QCOMPARE(f.selectedUser(), 5);

        QVERIFY(f.players->selectUser(6));
        f.services.platform.queueAnswer(Platform::Answer::Yes);
        before = f.statusRequests();
        f.action("ActBan0")->trigger(); // permanently
        QCOMPARE(
            f.services.platform.boxes.last().text,
            QStringLiteral("Ban this player permanently and kick them?\n\n\"the \"quoted\" one\" "
                           "(user id 6)"));
        QVERIFY(f.refreshed(before));
        QStringList sent = f.server.executedCommands();
        QCOMPARE(sent.mid(sent.indexOf(QStringLiteral("banid 0 #6 kick")), 3),
                 QStringList({QStringLiteral("banid 0 #6 kick"), QStringLiteral("writeid"),
                              QStringLiteral("status")}));
        QCOMPARE(f.server.bannedIds().value("STEAM_0:0:1006", -1), 0);
        QVERIFY(f.server.idsWritten());
        QVERIFY(!f.hasUser(6));

        f.players->selectUser(2);
        f.services.platform.queueAnswer(Platform::Answer::Yes);
        before = f.statusRequests();
        f.action("ActBanAddress60")->trigger(); // one hour
        QCOMPARE(f.services.platform.boxes.last().text,
                 QStringLiteral("Ban the address 192.0.2.12 for 1 hour?\n\n\"Player(1)\" (user id "
                                "2)"));
        QVERIFY(f.refreshed(before));
        sent = f.server.executedCommands();
        QVERIFY(sent.contains(QStringLiteral("addip 60 192.0.2.12")));
        QVERIFY(!sent.contains(QStringLiteral("writeip")));
        QVERIFY(!f.hasUser(2));

        // A bot has no id to ban and no address; the selection moved on with the refreshes.
        f.players->selectUser(8);
        QVERIFY(!f.button("CmdBan")->isEnabled());
        QVERIFY(!f.button("CmdBanAddress")->isEnabled());
        QVERIFY(f.button("CmdKick")->isEnabled());
        QVERIFY(f.action("ActCopyName")->isEnabled());
        QVERIFY(!f.action("ActCopyAddress")->isEnabled());
    }

    void mapChangesFromTheServersListAndTheWindowKeepsItsPlace() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openPlayers());
        QTRY_VERIFY(child<QComboBox>(f.players, "CboMap")->findText(QStringLiteral("de_inferno")) >=
                    0);
        QVERIFY(child<QComboBox>(f.players, "CboMap")->findText(QStringLiteral("ka_map40")) >= 0);
        child<QComboBox>(f.players, "CboMap")
            ->setCurrentIndex(
                child<QComboBox>(f.players, "CboMap")->findText(QStringLiteral("de_inferno")));
        f.services.platform.queueAnswer(Platform::Answer::Yes);
        click(f.button("CmdChangeMap"));
        QCOMPARE(f.services.platform.boxes.last().text,
                 QStringLiteral("Change the map to de_inferno?"));
        QTRY_COMPARE(f.label("LblMap"), QStringLiteral("Map: de_inferno"));
        QVERIFY(f.server.executedCommands().contains(QStringLiteral("changelevel de_inferno")));

        f.players->resize(777, 455);
        f.players->close();
        QTRY_VERIFY(!f.players);
        QVERIFY(QSettings(f.services.settings.optionsFile(), QSettings::IniFormat)
                    .contains(QStringLiteral("Players/Geometry")));
        QVERIFY(f.openPlayers());
        QCOMPARE(f.players->size(), QSize(777, 455));
    }

    void refreshingStopsOnDisconnectRefusalAndBan() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openPlayers());
        QVERIFY(f.players->isRefreshing());

        f.services.disconnect();
        QVERIFY(!f.players->isRefreshing());
        QVERIFY(f.players->session()->isIdle());
        QCOMPARE(f.label("LblStatus"), QStringLiteral("Not connected."));
        QCOMPARE(f.rows(), 10); // the last table stays to be read
        QVERIFY(!f.button("CmdKick")->isEnabled());
        QTest::keyClick(f.players, Qt::Key_F5);
        QVERIFY(f.players->session()->isIdle());

        // Connected again, the open window picks up by itself.
        QVERIFY(f.connectMain());
        QTRY_VERIFY(f.players->isRefreshing());

        // A wrong password: one refusal, then no more asking.
        QVERIFY(f.openPlayers());
        f.services.connection.session().setPassword(QStringLiteral("wrong"));
        QTest::keyClick(f.players, Qt::Key_F5);
        QTRY_VERIFY(f.label("LblStatus").startsWith(QStringLiteral("Bad rcon_password.")));
        QVERIFY(!f.players->isRefreshing());
        QVERIFY(f.players->session()->isIdle());
        QVERIFY(!f.server.isBanned(QHostAddress::LocalHost));

        // A ban notice stops it as well; the main connection carries on.
        f.services.connection.session().setPassword(QStringLiteral("secret"));
        f.server.ban(QHostAddress::LocalHost);
        QTest::keyClick(f.players, Qt::Key_F5);
        QTRY_VERIFY(f.label("LblStatus")
                        .startsWith(QStringLiteral("You have been banned from this server.")));
        QVERIFY(!f.players->isRefreshing());
        QVERIFY(f.services.connection.isConnected());
        QVERIFY(f.services.platform.boxes.isEmpty() ||
                !f.services.platform.boxes.last().text.contains(QStringLiteral("banned")));
    }

    void aFullServersStatusComesInSeveralReplies() {
        Fixture f;
        f.server.setPlayers(GoldSrcServer::crowd(64));
        QVERIFY(f.server.statusText().size() > GoldSrcServer::RedirectSize);
        QVERIFY(f.connectMain());
        QVERIFY(f.openPlayers());
        QCOMPARE(f.rows(), 64);
        QCOMPARE(f.label("LblPlayers"), QStringLiteral("Players: 64 active / 64 max"));
    }

    void unreadableReplyKeepsTheLastTable() {
        Fixture f;
        QVERIFY(f.connectMain());
        QVERIFY(f.openPlayers());
        QVERIFY(!f.players->applyStatus(QStringLiteral("hostname:  x\nplayers :  1 active (2 max)\n"
                                                       "#      name userid uniqueid frag time "
                                                       "ping loss adr\n# 1 \"cut")));
        QCOMPARE(f.rows(), 10);
        QCOMPARE(f.label("LblHost"), QStringLiteral("Talvero Test Server"));
        QCOMPARE(f.label("LblStatus"),
                 QStringLiteral("The status reply was cut short. The table shows the last reply "
                                "that could be read."));
    }
};

QTEST_MAIN(TestFrmPlayers)
#include "tst_frmplayers.moc"
