// A long session's memory: a flood of small replies from the server's address at the highest
// rate loopback carries, for 20 seconds (TALVERO_FLOOD_SECONDS), into the program with its
// windows shown, as a chatty server or a day connected fills the output window. Counters:
// - rss_peak_mb, rss_start_mb: the process's resident memory at its peak and before the flood
//   (target: under 150 MB);
// - latency_p95_ms, latency_max_ms: how long an event posted every 20 ms waited for the event
//   loop, which is how long a key press or a paint would have waited (target: p95 under
//   250 ms);
// - sent: datagrams the server sent; replies: those the program read (the rest the system
//   dropped when its buffer was full); pane_lines: what the pane holds at the end.
// TALVERO_BENCH_LOG=1 logs the replies to the file as well; the options file's Output/MaxLines
// can be set with TALVERO_BENCH_MAXLINES (0: no limit).
#include "bench/responsiveness.h"
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/console/mainconnection.h"
#include "rcon/console/outputpane.h"
#include "rcon/protocol/rconsession.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTextDocument>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// The game server: answers the challenge, then floods the client with 64-byte console replies
// from its own address and port until told to stop.
class FloodServer {
public:
    FloodServer() {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~FloodServer() {
        m_stop = true;
        ::shutdown(m_socket, SHUT_RDWR);
        m_thread.join();
        ::close(m_socket);
    }
    quint16 port() const { return m_port; }
    void flood(double seconds) {
        m_seconds = seconds;
        m_flooding = true;
    }
    bool flooding() const { return m_flooding; }
    long long sent() const { return m_sent; }

private:
    void run() {
        char buffer[2048];
        sockaddr_in client{};
        socklen_t length = sizeof client;
        // The challenge: MARK "challenge rcon 1234567890" LF NUL, 31 bytes.
        const ssize_t got = ::recvfrom(m_socket, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr *>(&client), &length);
        if (got <= 0)
            return;
        const char challenge[] = "\xFF\xFF\xFF\xFF"
                                 "challenge rcon 1234567890\n";
        ::sendto(m_socket, challenge, sizeof challenge, 0, reinterpret_cast<sockaddr *>(&client),
                 length);
        while (!m_flooding && !m_stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        char reply[64];
        std::memset(reply, 'x', sizeof reply);
        std::memcpy(reply, "\xFF\xFF\xFF\xFFl", 5);
        reply[61] = '\n';
        reply[62] = reply[63] = '\0';
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(qint64(m_seconds * 1000));
        while (!m_stop && std::chrono::steady_clock::now() < end) {
            std::snprintf(reply + 5, 20, "%015lld ", m_sent.load());
            reply[20] = ' ';
            if (::sendto(m_socket, reply, sizeof reply, 0, reinterpret_cast<sockaddr *>(&client),
                         length) == sizeof reply)
                ++m_sent;
        }
        m_flooding = false;
    }

    int m_socket = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_flooding{false};
    std::atomic<long long> m_sent{0};
    double m_seconds = 20;
};

void BM_Flood(benchmark::State &state) {
    const double seconds = qEnvironmentVariableIsSet("TALVERO_FLOOD_SECONDS")
                               ? qEnvironmentVariable("TALVERO_FLOOD_SECONDS").toDouble()
                               : 20.0;
    for (auto _ : state) {
        ProgramFolder folder;
        folder.writeFile(QStringLiteral("talvero.ini"),
                         "[AutoIP]\nIP=\nPort=\n[AutoRcon]\nRcon=\nTime=\nRcon2=\nTime2=\n");
        if (qEnvironmentVariableIsSet("TALVERO_BENCH_MAXLINES")) {
            QSettings options(folder.optionsFile(), QSettings::IniFormat);
            options.setValue(QStringLiteral("Output/MaxLines"),
                             qEnvironmentVariable("TALVERO_BENCH_MAXLINES").toInt());
        }
        FakePlatform platform;
        Program program(folder.path(), folder.optionsFile(), platform);
        program.start();
        FrmRcon *main = program.windows().frmRcon();
        OutputPane *pane = child<OutputPane>(program.windows().frmLog(), "TxtGet");
        if (qEnvironmentVariableIsSet("TALVERO_BENCH_LOG")) {
            program.mainConnection().log().open(folder.filePath(QStringLiteral("rcon_log.txt")));
            program.mainConnection().setLogsReplies(true);
        }
        FloodServer server;
        child<QLineEdit>(main, "txtIP")->setText(QStringLiteral("127.0.0.1"));
        child<QLineEdit>(main, "txtPort")->setText(QString::number(server.port()));
        child<QLineEdit>(main, "txtPassword")->setText(QStringLiteral("secret"));
        main->ConnectToServer();
        QElapsedTimer wait;
        wait.start();
        while (!child<QLabel>(program.windows().frmLog(), "LHost")
                    ->text()
                    .startsWith(QStringLiteral("Connected")) &&
               wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        if (!program.mainConnection().isConnected()) {
            state.SkipWithError("the flood server did not confirm");
            return;
        }
        long long replies = 0;
        QObject::connect(&program.mainConnection().session(), &RconSession::replyReceived,
                         [&] { ++replies; });
        bench::EventWaitProbe probe;
        probe.start();
        server.flood(seconds);
        QElapsedTimer clock;
        clock.start();
        while (!server.flooding() && clock.elapsed() < 1000)
            QCoreApplication::processEvents();
        while (server.flooding())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        // What is still queued in the socket's buffer is read too.
        const qint64 drainedAt = clock.elapsed();
        while (clock.elapsed() < drainedAt + 500)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        probe.stop();
        state.counters["rss_start_mb"] = probe.startMb();
        state.counters["rss_peak_mb"] = probe.peakMb();
        state.counters["latency_p95_ms"] = probe.waitMs(0.95);
        state.counters["latency_max_ms"] = probe.waitMs(1.0);
        state.counters["sent"] = double(server.sent());
        state.counters["replies"] = double(replies);
        state.counters["pane_lines"] = pane->document()->blockCount();
        state.SetIterationTime(clock.elapsed() / 1000.0);
    }
}
BENCHMARK(BM_Flood)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
