// The Server Log window under a busy server: 10,000 log lines a second for 10 seconds
// (TALVERO_BENCH_RATE, TALVERO_BENCH_SECONDS), sent from 127.0.0.1 by a thread of their own as a
// game server's socket sends them, into the Server Log window, shown on the main connection and
// registered with the test server. Counters:
// - shown_mean_ms, shown_p95_ms, shown_max_ms: from a line's send to its row in the window's
//   model (target: one frame, 16.7 ms, on average);
// - latency_p95_ms, latency_max_ms: how long an event posted every 20 ms waited for the event
//   loop, which is how long a key press or a paint would have waited;
// - gui_cpu_percent: the event loop's thread's processor time over the flood's wall time;
// - sent, shown: lines sent and lines that reached the view (the rest the system dropped);
// - rss_start_mb, rss_peak_mb: the process's resident memory before the flood and at its peak.
// BM_ParseLine: one datagram read into a line (masking, sorting, decoding).
#include "bench/responsiveness.h"
#include "rcon/protocol/serverlogline.h"
#include "rcon/serverlog/frmserverlog.h"
#include "rcon/serverlog/serverlogmodel.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/windowservices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

double envNumber(const char *name, double fallback) {
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariable(name).toDouble() : fallback;
}

// The server's log socket: from 127.0.0.1, one line a datagram at an even rate, each line's
// send time in it ("@<ns>").
class LogFlood {
public:
    LogFlood(quint16 port, double rate, double seconds)
        : m_port(port)
        , m_rate(rate)
        , m_seconds(seconds) {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr *>(&local), sizeof local);
        m_thread = std::thread([this] { run(); });
    }
    ~LogFlood() {
        m_stop = true;
        m_thread.join();
        ::close(m_socket);
    }
    bool done() const { return m_done; }
    long long sent() const { return m_sent; }

private:
    void run() {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(m_port);
        GoldSrcServer::Player ct{
            "Player", 1, "STEAM_0:1:1001",  GoldSrcServer::Player::Kind::Human, 0, 0,
            0,        0, "192.0.2.11:27005"};
        GoldSrcServer::Player t = ct;
        t.name = "the \"quoted\" one";
        t.userId = 6;
        // A round's worth of events, taken in turn; each line's send time goes where "{}" is.
        const QList<QByteArray> events = {
            GoldSrcServer::sayEvent(ct, "CT", "nice shot {}"),
            GoldSrcServer::killEvent(ct, "CT", t, "TERRORIST", "ak47 {}"),
            GoldSrcServer::sayEvent(t, "TERRORIST", "rush b {}", true),
            GoldSrcServer::playerTriggeredEvent(t, "TERRORIST", "Planted_The_Bomb {}"),
            GoldSrcServer::connectedEvent(ct) + " {}",
            "Rcon: \"rcon 1096488632 \"pass word\" sv_gravity 750 {}\" from \"127.0.0.1:34028\"",
            GoldSrcServer::worldTriggeredEvent("Round_End {}"),
        };
        const QByteArray head = GoldSrcServer::mark() + "log L 12/08/2026 - 09:29:07: ";
        const auto start = Clock::now();
        const auto end = start + std::chrono::milliseconds(qint64(m_seconds * 1000));
        // Lines go out in 1 ms ticks, as a server writes them frame by frame.
        const double perMs = m_rate / 1000.0;
        double owed = 0;
        auto tick = start;
        char stamp[32];
        while (!m_stop && Clock::now() < end) {
            owed += perMs;
            for (; owed >= 1.0; owed -= 1.0) {
                const int length = std::snprintf(stamp, sizeof stamp, "@%lld", nowNs());
                QByteArray datagram = head + events.at(m_sent % events.size()) + '\n' + '\0';
                datagram.replace("{}", QByteArrayView(stamp, length));
                ::sendto(m_socket, datagram.constData(), size_t(datagram.size()), 0,
                         reinterpret_cast<const sockaddr *>(&to), sizeof to);
                ++m_sent;
            }
            tick += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(tick);
        }
        m_done = true;
    }

    int m_socket = -1;
    quint16 m_port;
    double m_rate;
    double m_seconds;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<long long> m_sent{0};
};

// Runs the event loop, sleeping while nothing happens, until the condition holds or the time is
// up. (processEvents with a time limit would spin, and its spinning be counted as the window's.)
bool waitFor(const std::function<bool()> &condition, int ms) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(10);
    while (!condition() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return condition();
}

// The processor time of the calling thread: the event loop's, when called on it.
double threadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_LogFlood(benchmark::State &state) {
    const double rate = envNumber("TALVERO_BENCH_RATE", 10000);
    const double seconds = envNumber("TALVERO_BENCH_SECONDS", 10);
    for (auto _ : state) {
        WindowServices services;
        GoldSrcServer server;
        server.listen();
        if (!services.connectTo(server.port(), QStringLiteral("secret"))) {
            state.SkipWithError("the test server did not confirm");
            return;
        }
        FrmServerLog window(services.connection, services.settings, services.platform,
                            services.buttons);
        FrmServerLog *log = &window;
        log->open();
        if (!waitFor([&] { return !server.logAddresses().isEmpty(); }, 5000)) {
            state.SkipWithError("the log window did not register");
            return;
        }

        ServerLogModel *model = log->model();
        QList<qint64> shownNs;
        shownNs.reserve(qsizetype(rate * seconds));
        QObject::connect(model, &QAbstractItemModel::rowsInserted,
                         [&](const QModelIndex &, int first, int last) {
                             const qint64 now = nowNs();
                             for (int row = first; row <= last; ++row) {
                                 const QString &event = model->lineAt(row).event();
                                 qsizetype at = event.lastIndexOf(QLatin1Char('@'));
                                 if (at < 0)
                                     continue;
                                 qint64 sentNs = 0;
                                 while (++at < event.size() && event.at(at).isDigit())
                                     sentNs = sentNs * 10 + event.at(at).digitValue();
                                 shownNs.append(now - sentNs);
                             }
                         });
        bench::EventWaitProbe probe;
        probe.start();

        QElapsedTimer clock;
        clock.start();
        const double cpuStart = threadCpuSeconds();
        long long sent = 0;
        {
            LogFlood flood(log->receivingPort(), rate, seconds);
            waitFor([&] { return flood.done(); }, int(seconds * 1000) + 5000);
            sent = flood.sent();
        }
        // What is still in the socket's buffer or waiting for its frame is shown too.
        const qint64 drainedAt = clock.elapsed();
        waitFor([&] { return clock.elapsed() >= drainedAt + 300; }, 300);
        const double cpu = threadCpuSeconds() - cpuStart;
        probe.stop();

        double mean = 0;
        for (const qint64 ns : std::as_const(shownNs))
            mean += double(ns);
        mean = shownNs.isEmpty() ? 0 : mean / double(shownNs.size()) / 1e6;
        state.counters["shown_mean_ms"] = mean;
        state.counters["shown_p95_ms"] = bench::percentileMs(shownNs, 0.95);
        state.counters["shown_max_ms"] = bench::percentileMs(shownNs, 1.0);
        state.counters["latency_p95_ms"] = probe.waitMs(0.95);
        state.counters["latency_max_ms"] = probe.waitMs(1.0);
        state.counters["sent"] = double(sent);
        state.counters["shown"] = double(shownNs.size());
        state.counters["rows"] = model->rowCount();
        // The event loop's thread: reading, sorting, showing and painting the lines.
        state.counters["gui_cpu_percent"] = 100.0 * cpu / (double(clock.elapsed()) / 1000.0);
        state.counters["rss_start_mb"] = probe.startMb();
        state.counters["rss_peak_mb"] = probe.peakMb();
        state.SetIterationTime(double(clock.elapsed()) / 1000.0);
    }
}
BENCHMARK(BM_LogFlood)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_ParseLine(benchmark::State &state) {
    const QByteArray datagram =
        state.range(0) == 0
            ? GoldSrcServer::logDatagram(
                  "L 12/08/2026 - 09:29:07: \"Player<1><STEAM_0:1:1001><CT>\" "
                  "say \"nice shot\"")
            : GoldSrcServer::logDatagram("L 12/08/2026 - 09:29:07: Rcon: \"rcon 1096488632 \"pass "
                                         "word\" sv_gravity 750\" from \"127.0.0.1:34028\"");
    for (auto _ : state)
        benchmark::DoNotOptimize(ServerLogLine::fromDatagram(datagram));
}
BENCHMARK(BM_ParseLine)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
