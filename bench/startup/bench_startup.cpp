// The real program's start on an X display (run it under scripts/with-display): from the moment
// the process is started to the splash on screen (counter splash_ms), and to both main windows
// at their final opacity, alpha 252 (the benchmark's time). BM_QtBaseline starts an empty Qt
// program that shows one window: the time Qt itself takes to come up, so the program's own
// work before its splash shows is splash_ms less the baseline. The program runs from a folder of
// its own with an access password already chosen, a private runtime folder and home, and is
// watched through the X server: the splash's window mapped, then the opacity property of the
// main window and the output window reaching 252/255.
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/programfiles.h"
#include "tests/support/programfolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// What the X server tells about the windows of one process.
class WindowWatch {
public:
    WindowWatch() {
        m_c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_c))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        m_pidAtom = atom("_NET_WM_PID");
        m_opacityAtom = atom("_NET_WM_WINDOW_OPACITY");
        xcb_flush(m_c);
    }
    ~WindowWatch() { xcb_disconnect(m_c); }
    bool ok() const { return !xcb_connection_has_error(m_c); }

    struct Times {
        double splash = -1;
        double windows = -1;
    };

    // Waits until the process's first window is mapped and two of its windows reach the
    // opacity given (or only for the first window, when finalOpacity is 0); -1 for what did not
    // happen within the time allowed.
    Times watch(qint64 pid, Clock::time_point start, uint32_t finalOpacity, int timeoutMs) {
        Times times;
        QSet<xcb_window_t> atFinal;
        pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
        auto done = [&] { return finalOpacity ? times.windows >= 0 : times.splash >= 0; };
        while (msSince(start) < timeoutMs && !done()) {
            xcb_generic_event_t *event = xcb_poll_for_event(m_c);
            if (!event) {
                ::poll(&fd, 1, 50);
                continue;
            }
            const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event,
                                                                                   &std::free);
            switch (event->response_type & 0x7F) {
            case XCB_CREATE_NOTIFY: {
                // Qt's own windows are created on the root, before the window manager frames them.
                const xcb_window_t window =
                    reinterpret_cast<xcb_create_notify_event_t *>(event)->window;
                const uint32_t mask =
                    XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &mask);
                xcb_flush(m_c);
                break;
            }
            case XCB_MAP_NOTIFY: {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (times.splash < 0 && map->window == map->event &&
                    cardinal(map->window, m_pidAtom) == pid)
                    times.splash = msSince(start);
                break;
            }
            case XCB_PROPERTY_NOTIFY: {
                const auto *property = reinterpret_cast<xcb_property_notify_event_t *>(event);
                if (property->atom != m_opacityAtom || property->state != XCB_PROPERTY_NEW_VALUE)
                    break;
                if (cardinal(property->window, m_opacityAtom) == qint64(finalOpacity) &&
                    cardinal(property->window, m_pidAtom) == pid) {
                    atFinal.insert(property->window);
                    if (atFinal.size() == 2)
                        times.windows = msSince(start);
                }
                break;
            }
            default:
                break;
            }
        }
        return times;
    }

private:
    xcb_atom_t atom(const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    }
    // A 32-bit CARDINAL property; -1 when absent.
    qint64 cardinal(xcb_window_t window, xcb_atom_t property) {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, property, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        qint64 value = -1;
        if (reply && xcb_get_property_value_length(reply) == 4)
            value = *static_cast<uint32_t *>(xcb_get_property_value(reply));
        std::free(reply);
        return value;
    }

    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
    xcb_atom_t m_opacityAtom = XCB_ATOM_NONE;
};

void BM_StartToWindows(benchmark::State &state) {
    if (!qEnvironmentVariableIsSet("DISPLAY")) {
        state.SkipWithError("needs an X display: run under scripts/with-display");
        return;
    }
    // The program's folder: its own copy of the program, the control libraries, the settings
    // file, the welcome sound and an access password.
    ProgramFolder folder;
    const QString built = ProgramFolder::builtProgramDir();
    const QString program = folder.filePath(QStringLiteral("rcon"));
    if (::link(QFile::encodeName(built + QStringLiteral("/rcon")).constData(),
               QFile::encodeName(program).constData()) != 0)
        QFile::copy(built + QStringLiteral("/rcon"), program);
    QFile::copy(built + QStringLiteral("/welcome.wav"),
                folder.filePath(QStringLiteral("welcome.wav")));
    ProgramFiles(folder.path(), folder.path(), folder.optionsFile())
        .passwordFile()
        .setAccessPassword(QStringLiteral("guard"));
    QTemporaryDir home;
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    // How Qt writes alpha 252 into the opacity property.
    const auto finalOpacity = uint32_t(qRound64(252.0 / 255.0 * 0xffffffffU));
    WindowWatch watch;
    if (!watch.ok()) {
        state.SkipWithError("cannot reach the X display");
        return;
    }
    double splashTotal = 0;
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProgram(program);
        process.setWorkingDirectory(folder.path());
        const Clock::time_point start = Clock::now();
        process.start();
        const WindowWatch::Times times =
            watch.watch(process.processId(), start, finalOpacity, 20000);
        process.kill();
        process.waitForFinished();
        QFile::remove(runtime + QStringLiteral("/talvero.lock"));
        if (times.splash < 0 || times.windows < 0) {
            state.SkipWithError("the program's windows did not come up in time");
            return;
        }
        state.SetIterationTime(times.windows / 1000.0);
        splashTotal += times.splash;
    }
    state.counters["splash_ms"] = benchmark::Counter(splashTotal / double(state.iterations()));
}
BENCHMARK(BM_StartToWindows)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
void BM_QtBaseline(benchmark::State &state) {
    if (!qEnvironmentVariableIsSet("DISPLAY")) {
        state.SkipWithError("needs an X display: run under scripts/with-display");
        return;
    }
    WindowWatch watch;
    for (auto _ : state) {
        QProcess process;
        process.setProgram(QStringLiteral(STARTUP_BASELINE));
        const Clock::time_point start = Clock::now();
        process.start();
        const WindowWatch::Times times = watch.watch(process.processId(), start, 0, 20000);
        process.kill();
        process.waitForFinished();
        if (times.splash < 0) {
            state.SkipWithError("the window did not come up in time");
            return;
        }
        state.SetIterationTime(times.splash / 1000.0);
    }
}
BENCHMARK(BM_QtBaseline)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
