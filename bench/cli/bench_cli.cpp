// talvero-rcon status against the GoldSrc-like test server on 127.0.0.1, process start
// included, beside a bare UDP client's time for the same exchange (challenge and status): in
// this process, and as a program of its own. The server runs on a thread of its own, as a game
// server runs on a machine of its own. Each benchmark reports the median of 30 runs.
#include "bench/cli/bareexchange.h"
#include "tests/support/goldsrcserver.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr char Password[] = "secret";

// The test server with its default players, answering on a thread of its own.
class ServerThread final {
public:
    ServerThread() {
        m_thread.start();
        m_server = std::make_unique<GoldSrcServer>();
        m_server->moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            m_server.get(), [this] { m_listening = m_server->listen(); },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread() {
        QMetaObject::invokeMethod(
            m_server.get(), [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool isListening() const { return m_listening; }
    quint16 port() const { return m_server->port(); }

private:
    QThread m_thread;
    std::unique_ptr<GoldSrcServer> m_server;
    bool m_listening = false;
};

// Made in main, so that it ends before the application object does.
ServerThread *runningServer = nullptr;

ServerThread &server() {
    return *runningServer;
}

// Runs a program to its end; false when it failed or printed no status table.
bool runProgram(const QString &program, const QStringList &arguments,
                const QProcessEnvironment &environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0 && process.readAllStandardOutput().contains(" users\n");
}

void BM_TalveroRconStatus(benchmark::State &state) {
    if (!server().isListening())
        return state.SkipWithError("the test server cannot listen");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TALVERO_RCON_PASSWORD"), QString::fromLatin1(Password));
    const QStringList arguments{QStringLiteral("-H"),
                                QStringLiteral("127.0.0.1:%1").arg(server().port()),
                                QStringLiteral("status")};
    for (auto _ : state) {
        if (!runProgram(QStringLiteral(TALVERO_RCON_PROGRAM), arguments, environment))
            return state.SkipWithError("talvero-rcon status failed");
    }
}

void BM_BareClientStatusProcess(benchmark::State &state) {
    if (!server().isListening())
        return state.SkipWithError("the test server cannot listen");
    const QStringList arguments{QString::number(server().port()), QString::fromLatin1(Password)};
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
        if (bareStatusExchange(server().port(), Password).empty())
            return state.SkipWithError("the bare exchange failed");
    }
}

// One run an iteration, 30 runs: the median, mean and spread of single runs.
void thirtyRuns(benchmark::internal::Benchmark *benchmark) {
    benchmark->Iterations(1)
        ->Repetitions(30)
        ->ReportAggregatesOnly(true)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond)
        ->ComputeStatistics(
            "min",
            [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics("max", [](const std::vector<double> &v) {
            return *std::max_element(v.begin(), v.end());
        });
}

} // namespace

BENCHMARK(BM_TalveroRconStatus)->Apply(thirtyRuns);
BENCHMARK(BM_BareClientStatusProcess)->Apply(thirtyRuns);
BENCHMARK(BM_BareClientStatusInProcess)->Apply(thirtyRuns)->Unit(benchmark::kMicrosecond);

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ServerThread serverThread;
    runningServer = &serverThread;
    benchmark::RunSpecifiedBenchmarks();
    runningServer = nullptr;
    benchmark::Shutdown();
    return 0;
}
