// The console as the user meets it:
// - RoundTrip: a command typed into the console line, sent with Enter, to its reply shown in
//   the pane's document, against the GoldSrc-like test server on 127.0.0.1; beside it a plain
//   UDP ping-pong between two sockets on loopback. In both the answering end runs on a thread
//   (and, with two processors, a processor) of its own, as a server does on its own machine;
//   the program's end runs the event loop the program runs. Medians over 10,000 round trips;
//   the ratio must stay under 2. The window is painted at its next frame, after the measure.
// - LongReply: a 30 KB `cvarlist` in 22 datagrams (one reply split in two parts), from the
//   first datagram sent to the last line in the pane's document, with logging on: under
//   10 ms.
// - CompletionKeystroke: typing into the console line with 5,000 known names, each keystroke
//   answered (the completion list filtered and placed): under 1 ms; the figure with the
//   window system's paint of the line and the list is given beside it.
#include "rcon/app/frmrcon.h"
#include "rcon/app/program.h"
#include "rcon/app/windows.h"
#include "rcon/console/commandcompletion.h"
#include "rcon/console/consolecomforts.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/console/mainconnection.h"
#include "rcon/console/outputpane.h"
#include "tests/support/fakegameserver.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/goldsrcserver.h"
#include "tests/support/programfolder.h"
#include "tests/support/widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QScopeGuard>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QThread>
#include <QUdpSocket>

#include <benchmark/benchmark.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace {

template <typename Done> bool waitFor(Done done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

qint64 median(QList<qint64> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values.at(values.size() / 2);
}

// A program connected to a server on 127.0.0.1, windows shown, logging as asked.
struct Connected {
    explicit Connected(quint16 port, bool logging) {
        folder.writeFile(QStringLiteral("talvero.ini"),
                         "[AutoIP]\nIP=\nPort=\n[AutoRcon]\nRcon=\nTime=\nRcon2=\nTime2=\n");
        program.start();
        main = program.windows().frmRcon();
        pane = child<OutputPane>(program.windows().frmLog(), "TxtGet");
        // TALVERO_BENCH_HIDDEN=1: the windows hidden, as in the notification area, so that
        // the window system's painting is left out.
        if (qEnvironmentVariableIsSet("TALVERO_BENCH_HIDDEN")) {
            main->hide();
            program.windows().frmLog()->hide();
        }
        if (logging) {
            program.mainConnection().log().open(folder.filePath(QStringLiteral("rcon_log.txt")));
            program.mainConnection().setLogsReplies(true);
        }
        child<QLineEdit>(main, "txtIP")->setText(QStringLiteral("127.0.0.1"));
        child<QLineEdit>(main, "txtPort")->setText(QString::number(port));
        child<QLineEdit>(main, "txtPassword")->setText(QStringLiteral("secret"));
        main->ConnectToServer();
        ok = waitFor([this] {
            return child<QLabel>(program.windows().frmLog(), "LHost")
                ->text()
                .startsWith(QStringLiteral("Connected"));
        });
    }
    ProgramFolder folder;
    FakePlatform platform;
    Program program{folder.path(), folder.optionsFile(), platform};
    FrmRcon *main = nullptr;
    OutputPane *pane = nullptr;
    bool ok = false;
};

// The other end of a round trip, as a game server is: a process of its own, here a thread of
// its own, so that its work is not counted as the program's and runs while the program goes
// on with its own.
class ServerThread {
public:
    // With two processors or more, the server and the program each keep one of their own, as
    // they would on the admin's desktop and the game server's machine: otherwise the scheduler
    // at times puts both on one processor, and the server's turn interrupts the program's.
    ServerThread() {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        if (std::thread::hardware_concurrency() >= 2) {
            pthread_getaffinity_np(pthread_self(), sizeof(m_programCpus), &m_programCpus);
            pinTo(pthread_self(), 0);
            run([] { pinTo(pthread_self(), 1); });
            m_pinned = true;
        }
    }
    ~ServerThread() {
        run([] {});
        m_thread.quit();
        m_thread.wait();
        if (m_pinned)
            pthread_setaffinity_np(pthread_self(), sizeof(m_programCpus), &m_programCpus);
    }
    // Runs work on the server's thread and waits for it.
    template <typename Work> void run(Work work) {
        QMetaObject::invokeMethod(&m_context, work, Qt::BlockingQueuedConnection);
    }

private:
    static void pinTo(pthread_t thread, int cpu) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        pthread_setaffinity_np(thread, sizeof(one), &one);
    }

    QThread m_thread;
    QObject m_context;
    cpu_set_t m_programCpus{};
    bool m_pinned = false;
};

void BM_RoundTrip(benchmark::State &state) {
    constexpr int Trips = 10000;
    for (auto _ : state) {
        // The plain ping-pong: a socket on the other thread answers every datagram at once.
        ServerThread other;
        std::unique_ptr<QUdpSocket> pong;
        quint16 pongPort = 0;
        other.run([&] {
            pong = std::make_unique<QUdpSocket>();
            pong->bind(QHostAddress::LocalHost);
            pongPort = pong->localPort();
            QUdpSocket *socket = pong.get();
            QObject::connect(socket, &QUdpSocket::readyRead, socket, [socket] {
                while (socket->hasPendingDatagrams()) {
                    QHostAddress from;
                    quint16 port = 0;
                    QByteArray bytes(int(socket->pendingDatagramSize()), Qt::Uninitialized);
                    socket->readDatagram(bytes.data(), bytes.size(), &from, &port);
                    socket->writeDatagram(bytes, from, port);
                }
            });
        });
        QUdpSocket ping;
        ping.bind(QHostAddress::LocalHost);
        int answers = 0;
        QObject::connect(&ping, &QUdpSocket::readyRead, [&] {
            while (ping.hasPendingDatagrams()) {
                ping.receiveDatagram();
                ++answers;
            }
        });
        QList<qint64> plain;
        plain.reserve(Trips);
        QElapsedTimer clock;
        for (int i = 0; i < Trips; ++i) {
            clock.start();
            ping.writeDatagram(QByteArray("\xFF\xFF\xFF\xFFrcon 1 secret echo ping"),
                               QHostAddress::LocalHost, pongPort);
            if (!waitFor([&] { return answers > i; })) {
                state.SkipWithError("the ping-pong lost a datagram");
                return;
            }
            plain.append(clock.nsecsElapsed());
        }
        other.run([&] { pong.reset(); });

        std::unique_ptr<GoldSrcServer> server;
        quint16 serverPort = 0;
        other.run([&] {
            server = std::make_unique<GoldSrcServer>();
            server->listen();
            serverPort = server->port();
        });
        const auto stopServer = qScopeGuard([&] { other.run([&] { server.reset(); }); });
        Connected c(serverPort, false);
        if (!c.ok) {
            state.SkipWithError("the test server did not confirm");
            return;
        }
        // The reply is shown when the pane holds it; the window system paints it afterwards.
        qint64 shownAt = -1;
        QObject::connect(c.pane->document(), &QTextDocument::contentsChanged, [&] {
            if (shownAt < 0)
                shownAt = clock.nsecsElapsed();
        });
        QList<qint64> program;
        program.reserve(Trips);
        QList<qint64> sent;
        for (int i = 0; i < Trips; ++i) {
            child<QLineEdit>(c.main, "txtSend")->setText(QStringLiteral("echo ping"));
            shownAt = -1;
            clock.start();
            QTest::keyClick(child<QLineEdit>(c.main, "txtSend"), Qt::Key_Return);
            sent.append(clock.nsecsElapsed());
            if (!waitFor([&] { return shownAt >= 0; })) {
                state.SkipWithError("a reply did not arrive");
                return;
            }
            program.append(shownAt);
        }
        const double plainUs = median(plain) / 1000.0;
        const double programUs = median(program) / 1000.0;
        state.counters["udp_pingpong_median_us"] = plainUs;
        state.counters["console_median_us"] = programUs;
        state.counters["ratio"] = programUs / plainUs;
        state.counters["sent_us"] = median(sent) / 1000.0;
        state.SetIterationTime(programUs / 1e6);
    }
}
BENCHMARK(BM_RoundTrip)->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The engine's cvarlist layout: "name<blanks> : value", a heading and a closing rule.
QByteArray cvarlistText(int bytes) {
    QByteArray text = "CVar List\n--------------\n";
    for (int i = 0; text.size() < bytes - 64; ++i) {
        QByteArray line = "sv_variable_" + QByteArray::number(i);
        line = line.leftJustified(28, ' ') + " : " + QByteArray::number(i * 3).leftJustified(8);
        text += line + ", a\n";
    }
    return text + "--------------\n 700 Total CVars\nCvarList ? for syntax\n";
}

void BM_LongReply(benchmark::State &state) {
    FakeGameServer server;
    Connected c(server.port(), true);
    if (!c.ok) {
        state.SkipWithError("the fake server did not confirm");
        return;
    }
    // 20 replies of 1,390 bytes and one of 2,200 in the split format (two parts): 22
    // datagrams, 30 KB.
    const QByteArray text = cvarlistText(30000);
    constexpr int Piece = 1390;
    QList<QByteArray> datagrams;
    qsizetype at = 0;
    for (int i = 0; i < 20; ++i, at += Piece)
        datagrams.append(GoldSrcServer::consoleReply(text.mid(at, Piece)));
    datagrams.append(GoldSrcServer::splitPacket(GoldSrcServer::consoleReply(text.mid(at)), 7));
    const QString lastLine = QStringLiteral("CvarList ? for syntax");
    qint64 sum = 0;
    qint64 worst = 0;
    int runs = 0;
    QList<qint64> times;
    for (auto _ : state) {
        // Shown: the pane's document (what is painted) has changed and ends with the last line.
        // (The pane keeps a bounded number of lines, so its line count tells nothing.)
        QTextDocument *shown = c.pane->document();
        bool changed = false;
        const QMetaObject::Connection watch =
            QObject::connect(shown, &QTextDocument::contentsChanged, [&] { changed = true; });
        auto lastLineShown = [&] {
            if (!changed)
                return false;
            QTextBlock block = shown->lastBlock();
            for (int i = 0; i < 3 && block.isValid(); ++i, block = block.previous()) {
                if (block.text() == lastLine)
                    return true;
            }
            return false;
        };
        QElapsedTimer clock;
        clock.start();
        for (const QByteArray &datagram : std::as_const(datagrams))
            server.sendToLastSender(datagram);
        const bool arrived = waitFor(lastLineShown);
        const qint64 elapsed = clock.nsecsElapsed();
        QObject::disconnect(watch);
        if (!arrived) {
            state.SkipWithError("the reply did not arrive whole");
            return;
        }
        times.append(elapsed);
        sum += elapsed;
        worst = std::max(worst, elapsed);
        ++runs;
        state.SetIterationTime(elapsed / 1e9);
    }
    state.counters["datagrams"] = double(datagrams.size());
    state.counters["bytes"] = double(text.size());
    state.counters["mean_ms"] = sum / 1e6 / std::max(1, runs);
    state.counters["median_ms"] = times.isEmpty() ? 0.0 : median(times) / 1e6;
    state.counters["worst_ms"] = worst / 1e6;
}
BENCHMARK(BM_LongReply)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_CompletionKeystroke(benchmark::State &state) {
    QWidget window;
    auto *ip = new QLineEdit(&window);
    auto *port = new QLineEdit(&window);
    auto *console = new QLineEdit(&window);
    auto *admin = new QLineEdit(&window);
    ConsoleComforts comforts(QString(), ip, port, console, admin, &window);
    // 5,000 names learned from the server, beside the shipped ones.
    const char *prefixes[] = {"sv_", "mp_", "amx_", "cl_", "bot_", "hud_", "r_", "admin_"};
    QByteArray listing = "CVar List\n--------------\n";
    const int shipped = int(CommandCompletion::shippedNames().size());
    for (int i = 0; i < 5000 - shipped; ++i)
        listing += QByteArray(prefixes[i % 8]) + "setting_" + QByteArray::number(i) + " : 1\n";
    listing += "--------------\n";
    comforts.serverConfirmed(QStringLiteral("127.0.0.1"), 27015);
    comforts.replyShown(QString::fromLatin1(listing));
    comforts.completion().flush();
    const int names = comforts.commandCompleter()->model()->rowCount();
    window.show();
    console->setFocus();
    QApplication::processEvents();

    const QString typed = QStringLiteral("sv_setting_12");
    QElapsedTimer clock;
    qint64 worst = 0;
    qint64 sum = 0;
    qint64 painted = 0;
    int keys = 0;
    QList<qint64> answers;
    // One keystroke: the list answered (the key handled, the completion list filtered and
    // placed), then the window system's paint of the line and the list.
    auto press = [&](auto key) {
        clock.start();
        QTest::keyClick(console, key);
        const qint64 answered = clock.nsecsElapsed();
        QApplication::processEvents();
        painted += clock.nsecsElapsed();
        sum += answered;
        answers.append(answered);
        worst = std::max(worst, answered);
        if (qEnvironmentVariableIsSet("TALVERO_BENCH_KEYS"))
            fprintf(stderr, "%d %lld\n", keys % 26, answered / 1000);
        ++keys;
    };
    for (auto _ : state) {
        const qint64 before = sum;
        // Type the name, then take it back, one key at a time.
        for (const QChar c : typed)
            press(c.toLatin1());
        for (int i = 0; i < typed.size(); ++i)
            press(Qt::Key_Backspace);
        state.SetIterationTime(double(sum - before) / 1e9);
    }
    state.counters["names"] = names;
    state.counters["keystrokes"] = keys;
    state.counters["mean_us_per_key"] = sum / 1000.0 / std::max(1, keys);
    state.counters["median_us_per_key"] = median(answers) / 1000.0;
    state.counters["worst_us_per_key"] = worst / 1000.0;
    state.counters["with_paint_us_per_key"] = painted / 1000.0 / std::max(1, keys);
}
BENCHMARK(BM_CompletionKeystroke)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
