// talvero-rcon status against the GoldSrc-like test server on 127.0.0.1, process start
// included, beside a bare UDP client's time for the same exchange (challenge and status): in
// this process, and as a program of its own. The server runs on a thread of its own, as a game
// server runs on a machine of its own. Each benchmark reports the median of 30 runs.
// Then talvero-rcon to many servers at once, process start to exit: status to 200 test servers,
// and --query to 500 beside quakestat (Debian's qstat) asking the same 500 in the same run;
// ten runs each.
#include "bench/cli/bareexchange.h"
#include "bench/serversthread.h"
#include "bench/spread.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>

#include <optional>

namespace {

constexpr char Password[] = "secret";

// The one test server, answering on a thread of its own; made in main, so that it ends before
// the application object does.
bench::ServersThread *runningServer = nullptr;

bench::ServersThread &server() {
    return *runningServer;
}

quint16 serverPort() {
    return server().ports().front();
}

constexpr int StatusServers = 200;
constexpr int QueryServers = 500;

// Made in main, like the one server.
bench::ServersThread *runningMany = nullptr;

// Runs a program to its end; its output, or nothing when it failed.
std::optional<QByteArray> outputOf(const QString &program, const QStringList &arguments,
                                   const QProcessEnvironment &environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// Runs a program to its end; false when it failed or printed no status table.
bool runProgram(const QString &program, const QStringList &arguments,
                const QProcessEnvironment &environment) {
    const std::optional<QByteArray> output = outputOf(program, arguments, environment);
    return output && output->contains(" users\n");
}

// -H for each of the first count servers.
QStringList hostArguments(int count) {
    QStringList arguments;
    for (int i = 0; i < count; ++i) {
        arguments << QStringLiteral("-H")
                  << QStringLiteral("127.0.0.1:%1").arg(runningMany->ports().at(size_t(i)));
    }
    return arguments;
}

void BM_TalveroRconStatus(benchmark::State &state) {
    if (!server().isListening())
        return state.SkipWithError("the test server cannot listen");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TALVERO_RCON_PASSWORD"), QString::fromLatin1(Password));
    const QStringList arguments{QStringLiteral("-H"),
                                QStringLiteral("127.0.0.1:%1").arg(serverPort()),
                                QStringLiteral("status")};
    for (auto _ : state) {
        if (!runProgram(QStringLiteral(TALVERO_RCON_PROGRAM), arguments, environment))
            return state.SkipWithError("talvero-rcon status failed");
    }
}

void BM_BareClientStatusProcess(benchmark::State &state) {
    if (!server().isListening())
        return state.SkipWithError("the test server cannot listen");
    const QStringList arguments{QString::number(serverPort()), QString::fromLatin1(Password)};
    for (auto _ : state) {
        if (!runProgram(QStringLiteral(BARE_CLIENT_PROGRAM), arguments,
                        QProcessEnvironment::systemEnvironment()))
            return state.SkipWithError("the bare client failed");
    }
}

void BM_BareClientStatusInProcess(benchmark::State &state) {
    if (!server().isListening())
        return state.SkipWithError("the test server cannot listen");
    for (auto _ : state) {
        if (bareStatusExchange(serverPort(), Password).empty())
            return state.SkipWithError("the bare exchange failed");
    }
}

void BM_TalveroRconStatus200Servers(benchmark::State &state) {
    if (!runningMany->isListening())
        return state.SkipWithError("the test servers cannot listen");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TALVERO_RCON_PASSWORD"), QString::fromLatin1(Password));
    const QStringList arguments = hostArguments(StatusServers) << QStringLiteral("status");
    for (auto _ : state) {
        const std::optional<QByteArray> output =
            outputOf(QStringLiteral(TALVERO_RCON_PROGRAM), arguments, environment);
        // Each server's table ends with its "N users" line.
        if (!output || output->count(" users\n") != StatusServers)
            return state.SkipWithError("not every server's status came");
    }
}

void BM_TalveroRconQuery500Servers(benchmark::State &state) {
    if (!runningMany->isListening())
        return state.SkipWithError("the test servers cannot listen");
    const QStringList arguments = hostArguments(QueryServers) << QStringLiteral("--query");
    for (auto _ : state) {
        const std::optional<QByteArray> output =
            outputOf(QStringLiteral(TALVERO_RCON_PROGRAM), arguments,
                     QProcessEnvironment::systemEnvironment());
        if (!output || output->count(": Talvero test server ") != QueryServers)
            return state.SkipWithError("not every server answered talvero-rcon --query");
    }
}

void BM_QuakestatQuery500Servers(benchmark::State &state) {
    if (!runningMany->isListening())
        return state.SkipWithError("the test servers cannot listen");
    const QString quakestat = QStandardPaths::findExecutable(QStringLiteral("quakestat"));
    if (quakestat.isEmpty())
        return state.SkipWithError("quakestat (Debian package qstat) is not installed");
    QTemporaryFile list;
    if (!list.open())
        return state.SkipWithError("no server list file");
    for (int i = 0; i < QueryServers; ++i)
        list.write("A2S 127.0.0.1:" + QByteArray::number(runningMany->ports().at(size_t(i))) +
                   '\n');
    list.flush();
    const QStringList arguments{QStringLiteral("-f"), list.fileName(), QStringLiteral("-raw"),
                                QStringLiteral(";")};
    for (auto _ : state) {
        const std::optional<QByteArray> output =
            outputOf(quakestat, arguments, QProcessEnvironment::systemEnvironment());
        if (!output || output->count(";Talvero test server ") != QueryServers)
            return state.SkipWithError("quakestat did not read every server");
    }
}

// One run an iteration, 30 runs: the median, mean and spread of single runs.
void thirtyRuns(benchmark::internal::Benchmark *benchmark) {
    withSpread(benchmark)
        ->Iterations(1)
        ->Repetitions(30)
        ->ReportAggregatesOnly(true)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_TalveroRconStatus)->Apply(thirtyRuns);
BENCHMARK(BM_BareClientStatusProcess)->Apply(thirtyRuns);
BENCHMARK(BM_BareClientStatusInProcess)->Apply(thirtyRuns)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TalveroRconStatus200Servers)->Apply(thirtyRuns)->Repetitions(10);
BENCHMARK(BM_TalveroRconQuery500Servers)->Apply(thirtyRuns)->Repetitions(10);
BENCHMARK(BM_QuakestatQuery500Servers)->Apply(thirtyRuns)->Repetitions(10);

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench::ServersThread serverThread(1);
    runningServer = &serverThread;
    bench::ServersThread manyServers(QueryServers);
    runningMany = &manyServers;
    benchmark::RunSpecifiedBenchmarks();
    runningMany = nullptr;
    runningServer = nullptr;
    benchmark::Shutdown();
    return 0;
}
