// The reply path with logging on: 100,000 replies of 80 characters through the main session and
// the main window's handling of them (parse, sort, clean, append to the pane, hand the reply to
// the log writer, CR LF). Nothing in the path may grow with the pane: the counters compare the cost
// per reply over the last 10,000 replies with that over the first 10,000, in elapsed time and
// in this thread's processor time (which other programs on a busy machine do not disturb).
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/console/mainconnection.h"
#include "rcon/protocol/rconsession.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QElapsedTimer>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <ctime>

namespace {
qint64 threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

QString replyDatagram(int n) {
    QString text = QStringLiteral("reply %1 ").arg(n, 8, 10, QLatin1Char('0'));
    text = text.leftJustified(80, QLatin1Char('x'));
    return QString(4, QChar(0xFF)) + QLatin1Char('l') + text + QLatin1Char('\n') + QChar(0) +
           QChar(0);
}

void BM_ReplyPathWithLog(benchmark::State &state) {
    constexpr int Replies = 100000;
    constexpr int Window = 10000;
    for (auto _ : state) {
        ProgramFolder folder;
        FakePlatform platform;
        if (qEnvironmentVariableIsSet("TALVERO_BENCH_MAXLINES")) {
            QSettings options(folder.optionsFile(), QSettings::IniFormat);
            options.setValue(QStringLiteral("Output/MaxLines"),
                             qEnvironmentVariable("TALVERO_BENCH_MAXLINES").toInt());
        }
        Program program(folder.path(), folder.optionsFile(), platform);
        program.windows().frmRcon();
        RconSession &session = program.mainConnection().session();
        program.mainConnection().log().open(folder.filePath(QStringLiteral("rcon_log.txt")));
        program.mainConnection().setLogsReplies(true);
        QList<QString> datagrams;
        datagrams.reserve(Replies);
        for (int i = 0; i < Replies; ++i)
            datagrams.append(replyDatagram(i));

        QElapsedTimer clock;
        qint64 first = 0;
        qint64 last = 0;
        const qint64 cpuStart = threadCpuNs();
        qint64 cpuFirst = 0;
        qint64 cpuLast = 0;
        clock.start();
        for (int i = 0; i < Replies; ++i) {
            if (i == Window) {
                first = clock.nsecsElapsed();
                cpuFirst = threadCpuNs() - cpuStart;
            }
            if (i == Replies - Window) {
                last = clock.nsecsElapsed();
                cpuLast = threadCpuNs();
            }
            session.receive(datagrams[i]);
        }
        const qint64 total = clock.nsecsElapsed();
        last = total - last;
        cpuLast = threadCpuNs() - cpuLast;
        state.counters["cpu_last_over_first"] =
            static_cast<double>(cpuLast) / static_cast<double>(cpuFirst);
        state.counters["first10k_us_per_reply"] = first / 1000.0 / Window;
        state.counters["last10k_us_per_reply"] = last / 1000.0 / Window;
        state.counters["last_over_first"] = static_cast<double>(last) / static_cast<double>(first);
        state.SetIterationTime(total / 1e9);
    }
}
BENCHMARK(BM_ReplyPathWithLog)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
} // namespace
