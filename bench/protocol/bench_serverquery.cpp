// 500 servers asked for their info at once, on 127.0.0.1: the query engine in this process,
// wall time from the first ask to the last answer; beside it quakestat (Debian's qstat) asking
// the same 500 servers, as a process, timed from its start to its end. The servers answer on a
// thread of their own, as game servers answer from machines of their own. range(0): 1 when
// every server insists on a challenge round first.
#include "bench/serversthread.h"
#include "bench/spread.h"
#include "rcon/protocol/serverquery.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int ServerCount = 500;

using bench::ServersThread;

ServersThread *runningServers = nullptr;

void BM_ServerQueryInfo500(benchmark::State &state) {
    ServersThread &servers = *runningServers;
    if (!servers.isListening())
        return state.SkipWithError("the test servers cannot listen");
    servers.setChallengeRequired(state.range(0) != 0);
    for (auto _ : state) {
        ServerQuery query;
        int answered = 0;
        int finished = 0;
        QEventLoop loop;
        QObject::connect(&query, &ServerQuery::finished,
                         [&](const QString &, ServerQuery::Request, ServerQuery::Outcome outcome) {
                             answered += outcome == ServerQuery::Outcome::Answered ? 1 : 0;
                             if (++finished == ServerCount)
                                 loop.quit();
                         });
        for (const quint16 port : servers.ports())
            query.ask(QStringLiteral("127.0.0.1"), port, ServerQuery::Request::Info);
        loop.exec();
        if (answered != ServerCount || query.dropCounts() != ServerQuery::DropCounts{})
            return state.SkipWithError("not every server was answered");
    }
}

void BM_QuakestatInfo500(benchmark::State &state) {
    ServersThread &servers = *runningServers;
    if (!servers.isListening())
        return state.SkipWithError("the test servers cannot listen");
    const QString quakestat = QStandardPaths::findExecutable(QStringLiteral("quakestat"));
    if (quakestat.isEmpty())
        return state.SkipWithError("quakestat (Debian package qstat) is not installed");
    servers.setChallengeRequired(state.range(0) != 0);
    QTemporaryFile list;
    if (!list.open())
        return state.SkipWithError("no server list file");
    for (const quint16 port : servers.ports())
        list.write("A2S 127.0.0.1:" + QByteArray::number(port) + '\n');
    list.flush();
    const QStringList arguments{QStringLiteral("-f"), list.fileName(), QStringLiteral("-raw"),
                                QStringLiteral(";")};
    for (auto _ : state) {
        QProcess process;
        process.start(quakestat, arguments);
        if (!process.waitForFinished(120000) || process.exitCode() != 0)
            return state.SkipWithError("quakestat failed");
        const QByteArray output = process.readAllStandardOutput();
        if (output.count(";Talvero test server ") != ServerCount)
            return state.SkipWithError("quakestat did not read every server");
    }
}

// One run an iteration, ten runs: the median, mean and spread of single runs.
void tenRuns(benchmark::internal::Benchmark *benchmark) {
    withSpread(benchmark)
        ->Iterations(1)
        ->Repetitions(10)
        ->ReportAggregatesOnly(true)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond)
        ->ArgName("challenge")
        ->Arg(0)
        ->Arg(1);
}

} // namespace

BENCHMARK(BM_ServerQueryInfo500)->Apply(tenRuns);
BENCHMARK(BM_QuakestatInfo500)->Apply(tenRuns);

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ServersThread servers(ServerCount);
    runningServers = &servers;
    benchmark::RunSpecifiedBenchmarks();
    runningServers = nullptr;
    benchmark::Shutdown();
    return 0;
}
