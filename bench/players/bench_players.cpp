// The Players window's refresh: a status reply of 32 players parsed and the table updated (the
// model replaced, sorted, the selection found again, the view laid out and painted).
#include "rcon/players/frmplayers.h"
#include "rcon/protocol/statusparser.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/widgets.h"
#include "tests/support/windowservices.h"

#include <QApplication>
#include <QTableView>

#include <benchmark/benchmark.h>

namespace {

QString statusOf(int count, int extraPing = 0) {
    QList<GoldSrcServer::Player> players = GoldSrcServer::crowd(count);
    for (GoldSrcServer::Player &player : players) {
        player.ping += extraPing;
        player.seconds += extraPing;
    }
    GoldSrcServer server;
    server.setPlayers(players);
    return QString::fromLatin1(server.statusText());
}

void BM_ParseStatus32(benchmark::State &state) {
    const QString text = statusOf(32);
    for (auto _ : state) {
        ServerStatus status;
        benchmark::DoNotOptimize(StatusParser::parse(text, status));
    }
}
BENCHMARK(BM_ParseStatus32)->Unit(benchmark::kMicrosecond);

// range(0): 0 the update alone, 1 the update painted, 2 painted with a player joining and
// leaving between replies (the rows are replaced instead of updated in place).
void BM_RefreshTable32(benchmark::State &state) {
    WindowServices services;
    auto *players =
        new FrmPlayers(services.connection, services.settings, services.platform, services.buttons);
    players->show();
    // Two replies taking turns, so every update really changes the rows.
    const QString first = statusOf(32);
    const QString second = state.range(0) == 2 ? statusOf(31) : statusOf(32, 7);
    if (!players->applyStatus(first) || !players->applyStatus(second))
        state.SkipWithError("the status reply was not read");
    child<QTableView>(players, "TblPlayers")->sortByColumn(5, Qt::DescendingOrder); // by ping
    players->selectUser(17);
    bool flip = false;
    const bool paint = state.range(0) != 0;
    for (auto _ : state) {
        players->applyStatus((flip = !flip) ? first : second);
        if (paint)
            QApplication::processEvents();
    }
    delete players;
}
BENCHMARK(BM_RefreshTable32)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
