// The real program on a Wayland desktop, under a real compositor (Weston's headless back end):
// where the desktop also offers an X server for older programs (XWayland), the program goes
// through it and its two windows stand side by side and come back where they were; where it
// offers none, the program runs as a Wayland client without its fades. Either way it writes
// nothing to standard error.
#include "tests/support/runnablefolder.h"
#include "tests/support/sessionbus.h"
#include "tests/support/xwindows.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <optional>

namespace {
const QString MainTitle = QStringLiteral("Talvero");
const QString OutputTitle = QStringLiteral("Talvero - Output");
const QString Socket = QStringLiteral("talvero-test");

// What Qt's sound back end says on a machine without a sound device or sound server; the
// test machine has none, a desktop has both.
bool saysNoSoundDevice(const QString &line) {
    return line == QLatin1String("PulseAudioService: pa_context_connect() failed") ||
           line == QLatin1String("No audio device detected");
}

// Standard error without those lines and without the Wayland protocol trace (WAYLAND_DEBUG).
QStringList unexpectedLines(const QByteArray &standardError) {
    static const QRegularExpression trace(QStringLiteral(R"(^\[\s*\d+\.\d+\] )"));
    QStringList lines;
    for (const QString &line : QString::fromLocal8Bit(standardError).split(QLatin1Char('\n'))) {
        if (!line.isEmpty() && !saysNoSoundDevice(line) && !trace.match(line).hasMatch())
            lines.append(line);
    }
    return lines;
}

// A compositor of the test's own in the private runtime folder, headless: GNOME's mutter, the
// desktop Debian starts by default, with its X server for older programs (XWayland); or Weston
// without one. (Weston's own X window manager places every X window itself, wherever the
// program asks for it, so the places are checked under mutter.)
class Compositor {
public:
    enum class Kind { MutterWithXWayland, WestonAlone };

    Compositor(Kind kind, const QString &runtimeDir)
        : m_kind(kind)
        , m_runtimeDir(runtimeDir) {}
    ~Compositor() {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

    bool start() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        if (m_kind == Kind::MutterWithXWayland) {
            if (!m_bus.start())
                return false;
            m_process.setProcessEnvironment(m_bus.with(environment));
            m_process.start(QStringLiteral("mutter"),
                            {QStringLiteral("--wayland"), QStringLiteral("--headless"),
                             QStringLiteral("--virtual-monitor"), QStringLiteral("1280x1024"),
                             QStringLiteral("--wayland-display"), Socket});
        } else {
            m_process.setProcessEnvironment(environment);
            m_process.start(QStringLiteral("weston"),
                            {QStringLiteral("--backend=headless-backend.so"),
                             QStringLiteral("--socket=") + Socket, QStringLiteral("--width=1280"),
                             QStringLiteral("--height=1024"), QStringLiteral("--idle-time=0")});
        }
        return m_process.waitForStarted();
    }

    bool isUp() {
        m_output += m_process.readAll();
        if (!QFile::exists(m_runtimeDir + QLatin1Char('/') + Socket))
            return false;
        if (m_kind == Kind::WestonAlone)
            return true;
        static const QRegularExpression listening(
            QStringLiteral(R"(Using public X11 display (:\d+))"));
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(m_output));
        if (!match.hasMatch())
            return false;
        m_xDisplay = match.captured(1);
        // The X server lets in the programs that hold mutter's cookie.
        const QStringList cookies =
            QDir(m_runtimeDir)
                .entryList({QStringLiteral(".mutter-Xwaylandauth.*")}, QDir::Files | QDir::Hidden);
        for (const QString &cookie : cookies) {
            m_xAuthority = m_runtimeDir + QLatin1Char('/') + cookie;
            qputenv("XAUTHORITY", QFile::encodeName(m_xAuthority));
            if (XWindows(m_xDisplay.toLocal8Bit()).isConnected())
                return true;
        }
        return false;
    }
    const QString &xDisplay() const { return m_xDisplay; }

    // The program's environment on this desktop: the user chose no platform.
    QProcessEnvironment programEnvironment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("XAUTHORITY"));
        if (!m_xDisplay.isEmpty()) {
            environment.insert(QStringLiteral("DISPLAY"), m_xDisplay);
            environment.insert(QStringLiteral("XAUTHORITY"), m_xAuthority);
        }
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), Socket);
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir);
        return m_kind == Kind::MutterWithXWayland ? m_bus.with(environment) : environment;
    }

private:
    Kind m_kind;
    QString m_runtimeDir;
    SessionBus m_bus;
    QProcess m_process;
    QByteArray m_output;
    QString m_xDisplay;
    QString m_xAuthority;
};
} // namespace

class TestWayland : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        for (const char *compositor : {"weston", "mutter", "dbus-daemon"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(compositor)).isEmpty())
                QFAIL("needs weston, mutter and dbus-daemon (scripts/install-deps installs them)");
        }
    }

    void throughXWaylandTheWindowsStandSideBySideAndStayWhereTheyWere() {
        PrivateHome home;
        Compositor desktop(Compositor::Kind::MutterWithXWayland, home.runtimeDir());
        QVERIFY(desktop.start());
        QTRY_VERIFY_WITH_TIMEOUT(desktop.isUp(), 30000);
        const QString display = desktop.xDisplay();
        RunnableFolder folder;

        QList<QRect> mainPlaces;
        QList<QRect> outputPlaces;
        for (int run = 0; run < 2; ++run) {
            QProcess program;
            program.setProcessEnvironment(desktop.programEnvironment());
            program.setWorkingDirectory(folder.folder.path());
            program.start(folder.program(), {});
            QVERIFY(program.waitForStarted());
            std::optional<XWindows> x(std::in_place, display.toLocal8Bit());
            QVERIFY(x->isConnected());
            std::optional<XWindows::Window> main;
            std::optional<XWindows::Window> output;
            QTRY_VERIFY_WITH_TIMEOUT((main = x->find(program.processId(), MainTitle)) &&
                                         (output = x->find(program.processId(), OutputTitle)),
                                     30000);
            mainPlaces.append(main->client);
            outputPlaces.append(output->client);
            x->close(main->id);
            QVERIFY(program.waitForFinished(30000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            const QStringList unexpected = unexpectedLines(program.readAllStandardError());
            QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char('\n'))));
        }
        // Beside the main window, not under it.
        QVERIFY2(outputPlaces[0].left() > mainPlaces[0].right(),
                 qPrintable(QStringLiteral("main window at %1,%2 %3x%4, output window at %5,%6")
                                .arg(mainPlaces[0].x())
                                .arg(mainPlaces[0].y())
                                .arg(mainPlaces[0].width())
                                .arg(mainPlaces[0].height())
                                .arg(outputPlaces[0].x())
                                .arg(outputPlaces[0].y())));
        QVERIFY(outputPlaces[0].top() < mainPlaces[0].bottom());
        // The second start finds them where the first left them.
        QVERIFY((mainPlaces[1].topLeft() - mainPlaces[0].topLeft()).manhattanLength() <= 3);
        QVERIFY((outputPlaces[1].topLeft() - outputPlaces[0].topLeft()).manhattanLength() <= 3);
    }

    void withoutAnXServerTheProgramIsAQuietWaylandClient() {
        PrivateHome home;
        Compositor desktop(Compositor::Kind::WestonAlone, home.runtimeDir());
        QVERIFY(desktop.start());
        QTRY_VERIFY_WITH_TIMEOUT(desktop.isUp(), 30000);
        RunnableFolder folder;

        QProcess program;
        QProcessEnvironment environment = desktop.programEnvironment();
        // The protocol trace tells which windows the program made and when.
        environment.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(folder.folder.path());
        program.start(folder.program(), {});
        QVERIFY(program.waitForStarted());
        QByteArray standardError;
        auto read = [&] {
            standardError += program.readAllStandardError();
            return QString::fromUtf8(standardError);
        };
        // The splash comes first, with the main window's title; the fade ends when it goes.
        static const QRegularExpression splashMade(
            QStringLiteral(R"(-> xdg_toplevel@(\d+)\.set_title\("Talvero"\))"));
        QString splash;
        QTRY_VERIFY_WITH_TIMEOUT(!(splash = splashMade.match(read()).captured(1)).isEmpty(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(
            read().contains(QStringLiteral("-> xdg_toplevel@%1.destroy()").arg(splash)), 30000);
        QVERIFY(read().contains(QStringLiteral("set_title(\"%1\")").arg(OutputTitle)));
        QCOMPARE(read().count(QStringLiteral("set_title(\"%1\")").arg(MainTitle)), 2);
        program.terminate();
        QVERIFY(program.waitForFinished(30000));
        standardError += program.readAllStandardError();
        const QStringList unexpected = unexpectedLines(standardError);
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestWayland)
#include "tst_wayland.moc"
