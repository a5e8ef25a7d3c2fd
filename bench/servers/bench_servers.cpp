// The Servers window with 500 saved servers on 127.0.0.1, all answered by one
// talvero-testserver process (--servers 500), the window shown (offscreen unless a platform is
// named): the wall time of a refresh, from the window's open() to the last row answering
// (first_ms, and again_ms for the refresh after it), how long an event posted every 20 ms
// waited over those and 3 s more of refreshes back to back (what a key press or a paint would
// wait: wait_p95_ms, wait_max_ms), and the
// process's resident memory at its peak over what it was before the list was loaded
// (memory_added_mb). One run a process by default: memory is only comparable in a fresh one.
#include "../responsiveness.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/servers/frmservers.h"
#include "rcon/servers/savedservers.h"
#include "rcon/servers/serverlistmodel.h"
#include "rcon/servers/servermonitor.h"
#include "rcon/settings/programfiles.h"
#include "tests/support/fakeplatform.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <csignal>
#include <memory>
#include <sys/prctl.h>

namespace {

constexpr int ServerCount = 500;
constexpr int BusyMs = 3000;

// The servers: one process answering on 500 ports of its own choosing.
class TestServers final {
public:
    bool start() {
#ifdef TALVERO_TESTSERVER
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(QStringLiteral(TALVERO_TESTSERVER),
                        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--servers"),
                         QString::number(ServerCount)});
        if (!m_process.waitForStarted())
            return false;
        while (m_ports.size() < ServerCount) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(10000))
                return false;
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                const qsizetype colon = line.lastIndexOf(':');
                if (line.startsWith("talvero-testserver listening on") && colon > 0)
                    m_ports.append(quint16(line.mid(colon + 1).toUInt()));
            }
        }
        return true;
#else
        return false;
#endif
    }
    const QList<quint16> &ports() const {
        return m_ports;
    }

private:
    QProcess m_process;
    QList<quint16> m_ports;
};

// Started at the first run and left for the process's end, which ends it too.
TestServers *testServers() {
    static TestServers *servers = [] {
        auto *started = new TestServers;
        return started->start() ? started : nullptr;
    }();
    return servers;
}

int answering(const ServerListModel &model) {
    int count = 0;
    for (int i = 0; i < model.rowCount(); ++i)
        count += model.row(i).state == ServerListModel::State::Answering ? 1 : 0;
    return count;
}

// Runs the event loop until the refresh under way has ended; its wall time in ms.
double waitForRefresh(ServerMonitor &monitor, const QElapsedTimer &since) {
    QEventLoop loop;
    QObject::connect(&monitor, &ServerMonitor::refreshFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return double(since.nsecsElapsed()) / 1e6;
}

void BM_RefreshServers500(benchmark::State &state) {
    TestServers *servers = testServers();
    if (!servers)
        return state.SkipWithError("talvero-testserver could not be started");
    talvero::registerApplicationFonts();
    QTemporaryDir dir;
    const QString optionsFile = dir.filePath(QStringLiteral("Talvero.conf"));
    {
        QStringList lines;
        for (const quint16 port : servers->ports())
            lines.append(QStringLiteral("127.0.0.1:%1").arg(port));
        SavedServers list(optionsFile);
        if (!list.add(lines.join(QLatin1Char('\n')), {}, {}) || !list.save())
            return state.SkipWithError("the list could not be written");
    }
    FakePlatform platform;
    ButtonFactory buttons(platform, QString());
    ProgramFiles files(dir.path(), dir.path(), optionsFile);

    for (auto _ : state) {
        bench::EventWaitProbe probe;
        probe.start();
        const double before = probe.startMb();
        auto window =
            std::make_unique<FrmServers>(platform, buttons, files, FrmServers::CurrentServer());
        QElapsedTimer clock;
        clock.start();
        window->open();
        const double first = waitForRefresh(window->monitor(), clock);
        const int answeredFirst = answering(*window->monitor().model());
        clock.restart();
        window->refresh();
        const double again = waitForRefresh(window->monitor(), clock);
        // Refreshing back to back for a while, so the event waits are many.
        int more = 0;
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < BusyMs) {
            clock.restart();
            window->refresh();
            waitForRefresh(window->monitor(), clock);
            ++more;
        }
        probe.stop();
        state.SetIterationTime(first / 1000);
        state.counters["first_ms"] = first;
        state.counters["again_ms"] = again;
        state.counters["answered"] = answeredFirst;
        state.counters["refreshes"] = more + 2;
        state.counters["wait_p95_ms"] = probe.waitMs(0.95);
        state.counters["wait_max_ms"] = probe.waitMs(1.0);
        state.counters["memory_added_mb"] = probe.peakMb() - before;
        state.counters["memory_before_mb"] = before;
        window.reset();
    }
}
BENCHMARK(BM_RefreshServers500)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
