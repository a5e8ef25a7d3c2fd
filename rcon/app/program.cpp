#include "rcon/app/program.h"

#include "rcon/app/frmrcon.h"
#include "rcon/app/frmsplash.h"
#include "rcon/app/singleinstance.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/kit/altkeyguard.h"
#include "rcon/kit/controlhost.h"
#include "rcon/kit/platform.h"
#include "rcon/kit/windowplaces.h"
#include "rcon/kit/windowsystem.h"
#include "rcon/passwords/frmfirst.h"
#include "rcon/passwords/frmpass.h"
#include "rcon/passwords/frmpassenter.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/players/frmplayers.h"
#include "rcon/protocol/rconsession.h"
#include "rcon/serverlog/frmserverlog.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/settings/settingscheck.h"
#include "rcon/settings/settingsini.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <utility>

Program::Program(QString programDir, QString optionsFile, Platform &platform, QObject *parent)
    : Program(programDir, programDir, std::move(optionsFile), platform, parent) {}

Program::Program(QString programDir, QString dataDir, QString optionsFile, Platform &platform,
                 QObject *parent)
    : QObject(parent)
    , m_programDir(std::move(programDir))
    , m_dataDir(std::move(dataDir))
    , m_optionsFile(std::move(optionsFile))
    , m_platform(platform)
    , m_controls(std::make_unique<ControlHost>(m_programDir, platform))
    , m_settings(std::make_unique<SettingsStore>(m_optionsFile))
    , m_mainSession(new RconSession(this)) {
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(new AltKeyGuard(this));
}

Program::~Program() {
    m_ending = true;
    unloadAll();
}

QString Program::filePath(const QString &fileName) const {
    return m_programDir + QLatin1Char('/') + fileName;
}

QString Program::dataFilePath(const QString &fileName) const {
    return m_dataDir + QLatin1Char('/') + fileName;
}

void Program::playSound(const QString &fileName) const {
    m_platform.playSound(filePath(fileName));
}

XpButton *Program::newButton(QWidget *parent, const QString &name, const QString &caption) const {
    auto *button = new XpButton(parent);
    button->setObjectName(name);
    button->setCaption(caption);
    button->setClickSound(&m_platform, filePath(QStringLiteral("85858.wav")));
    return button;
}

void Program::startWithSplash() {
    // The splash's load runs to its end, the first-run dialog included.
    frmSplash();
    if (m_ending)
        return;
    frmRcon();
}

void Program::start() {
    if (!checkSettingsFile())
        return;
    if (!frmRcon())
        return;
    showMainWindows();
    SetTranslucency(m_frmRcon, 255);
    SetTranslucency(m_frmLog, 255);
}

void Program::showMainWindows() {
    FrmRcon *main = frmRcon();
    FrmLog *output = frmLog();
    if (!main || !output)
        return;
    // Its size, fixed by its layout, before it is placed and kept on the screen.
    main->adjustSize();
    // Where the user left them, else side by side.
    if (!WindowPlaces(m_optionsFile).restore(main, output))
        placeSideBySide(main, output);
    m_placed = true;
    // The output window first, so that the main window, shown last, is the active one and
    // typing starts in its address field.
    output->show();
    main->show();
    main->activateWindow();
}

bool Program::askFirstPasswordIfNone() {
    // The settings check comes first: it may end the program, and the password file must not
    // be clear then.
    if (!checkSettingsFile())
        return false;
    if (!FrmFirst::noPasswordChosen(passwordFile().read(PasswordFile::userpass)))
        return true;
    return FrmFirst::choosePassword(*this);
}

void Program::placeSideBySide(QWidget *main, QWidget *output) {
    // The two windows stand side by side in the middle of the screen, the output window on the
    // right; where the screen is too narrow, below.
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    constexpr int Gap = 24; // room for the main window's frame
    QPoint outputOffset(main->width() + Gap, 0);
    QSize total(outputOffset.x() + output->width(), std::max(main->height(), output->height()));
    if (total.width() > area.width()) {
        outputOffset = QPoint(0, main->height() + Gap * 2);
        total =
            QSize(std::max(main->width(), output->width()), outputOffset.y() + output->height());
    }
    const QPoint topLeft(area.left() + std::max(0, (area.width() - total.width()) / 2),
                         area.top() + std::max(0, (area.height() - total.height()) / 2));
    WindowPlaces::placeClientAt(main, topLeft);
    WindowPlaces::placeClientAt(output, topLeft + outputOffset);
}

namespace {
// A window is created and loaded on its first reference, never again once the program ends.
// Its load may unload it again (a damaged settings file ends the program), so the slot is
// read afresh afterwards.
template <typename Window, typename... Args>
Window *loadOnce(QPointer<Window> &slot, bool ending, Program &program, Args... args) {
    if (!slot && !ending) {
        slot = new Window(program, args...);
        slot->load();
    }
    return slot;
}
} // namespace

FrmRcon *Program::frmRcon() {
    return loadOnce(m_frmRcon, m_ending, *this);
}

FrmLog *Program::frmLog() {
    if (!m_frmLog && !m_ending)
        m_frmLog = new FrmLog(*this);
    return m_frmLog;
}

FrmSetRcon *Program::frmSetRcon() {
    return loadOnce(m_frmSetRcon, m_ending, *this);
}

bool Program::isFrmSetRconLoaded() const {
    return !m_frmSetRcon.isNull();
}

void Program::frmSetRconUnloaded() {
    if (FrmSetRcon *dialog = m_frmSetRcon) {
        m_frmSetRcon = nullptr;
        dialog->deleteLater();
    }
}

FrmSplash *Program::frmSplash() {
    return loadOnce(m_frmSplash, m_ending, *this);
}

FrmSplash *Program::loadedSplash() const {
    return m_frmSplash;
}

FrmFirst *Program::frmFirst() {
    return loadOnce(m_frmFirst, m_ending, *this);
}

FrmPassEnter *Program::frmPassEnter() {
    // Owned by the main window, which is referenced (and so loaded) only when this one is.
    if (!m_frmPassEnter && !m_ending)
        return loadOnce(m_frmPassEnter, m_ending, *this, frmRcon());
    return m_frmPassEnter;
}

FrmPass *Program::frmPass() {
    // Owned by the main window, which is referenced (and so loaded) only when this one is.
    if (!m_frmPass && !m_ending)
        return loadOnce(m_frmPass, m_ending, *this, frmRcon());
    return m_frmPass;
}

void Program::unload(QWidget *window) {
    if (!window)
        return;
    if (window == m_frmFirst)
        m_frmFirst = nullptr;
    else if (window == m_frmPassEnter)
        m_frmPassEnter = nullptr;
    else if (window == m_frmPass)
        m_frmPass = nullptr;
    else if (window == m_frmSplash)
        m_frmSplash = nullptr;
    window->hide();
    // While the program ends, every window goes with the program object.
    if (!m_ending)
        window->deleteLater();
}

FrmPlayers *Program::frmPlayers() {
    if (!m_frmPlayers && !m_ending)
        m_frmPlayers = new FrmPlayers(*this);
    return m_frmPlayers;
}

void Program::showPlayers() {
    if (!isConnected())
        return;
    if (FrmPlayers *players = frmPlayers())
        players->open();
}

FrmServerLog *Program::frmServerLog() {
    if (!m_frmServerLog && !m_ending)
        m_frmServerLog = new FrmServerLog(*this);
    return m_frmServerLog;
}

void Program::showServerLog() {
    if (!isConnected())
        return;
    if (FrmServerLog *serverLog = frmServerLog())
        serverLog->open();
}

bool Program::checkSettingsFile() {
    if (m_ending)
        return false;
    if (SettingsCheck::checkAndRepair(dataFilePath(QString(SettingsIni::FileName))))
        return true;
    m_platform.messageBox(
        nullptr, Platform::Icon::Critical, Platform::Buttons::Ok,
        QStringLiteral("Error can't load settings file, Please reinstall Talvero"));
    ExitProgram();
    return false;
}

PasswordFile Program::passwordFile() {
    return PasswordFile(dataFilePath(QStringLiteral("password")), IniAccess::direct());
}

bool Program::isConnected() const {
    return m_mainSession->isOpen();
}

RconRequests::Endpoint Program::mainEndpoint() const {
    return {m_mainSession->host(), m_mainSession->port(), m_mainSession->password()};
}

void Program::setLogOptionLocked(bool locked) {
    if (std::exchange(m_logOptionLocked, locked) != locked)
        emit logOptionLockChanged(locked);
}

void Program::showConsoleMenu(const QPoint &globalPos) {
    if (FrmRcon *main = frmRcon())
        main->showConsoleMenu(globalPos);
}

LogFileWriter &Program::ConsoleLog() {
    if (!m_consoleLog)
        m_consoleLog = std::make_unique<LogFileWriter>();
    return *m_consoleLog;
}

void Program::AppendOutput(const QString &text) {
    if (FrmLog *output = frmLog())
        output->appendOutput(text);
}

bool Program::BeginWindowDrag(QWidget *window) {
    QWindow *handle = window ? window->windowHandle() : nullptr;
    return handle && handle->startSystemMove();
}

int Program::SetTranslucency(QWidget *window, int alpha) {
    if (alpha < 0 || alpha > 255)
        return 1;
    // Where the window system cannot fade windows they stay fully opaque.
    if (!window || !talvero::WindowSystem::canFadeWindows())
        return 2;
    window->setWindowOpacity(alpha / 255.0);
    return 0;
}

void Program::unloadAll() {
    if (m_placed && m_frmRcon && m_frmLog)
        WindowPlaces(m_optionsFile).save(m_frmRcon, m_frmLog);
    takeWindows();
    for (const QPointer<QWidget> &window : std::exchange(m_leaving, {}))
        delete window.data();
}

void Program::takeWindows() {
    // The order in which the windows go.
    for (QWidget *window :
         {static_cast<QWidget *>(m_frmPlayers.data()),
          static_cast<QWidget *>(m_frmServerLog.data()), static_cast<QWidget *>(m_frmFirst.data()),
          static_cast<QWidget *>(m_frmLog.data()), static_cast<QWidget *>(m_frmPass.data()),
          static_cast<QWidget *>(m_frmPassEnter.data()), static_cast<QWidget *>(m_frmRcon.data()),
          static_cast<QWidget *>(m_frmSetRcon.data()),
          static_cast<QWidget *>(m_frmSplash.data())}) {
        if (window)
            m_leaving.append(window);
    }
    m_frmPlayers = nullptr;
    m_frmServerLog = nullptr;
    m_frmFirst = nullptr;
    m_frmPass = nullptr;
    m_frmPassEnter = nullptr;
    m_frmLog = nullptr;
    m_frmRcon = nullptr;
    m_frmSetRcon = nullptr;
    m_frmSplash = nullptr;
}

void Program::leaveTheDesktop() {
    // Open menus and modal windows (a message box, the Properties dialog) are dismissed; the
    // nested event loops they run end with the process's exit. The windows themselves go only
    // once every such loop has unwound (when the program object goes, after the event loop has
    // returned): a window deleted under a running dialog would take the dialog, and the
    // handler that opened it, down with it. From here on the program has no windows; a window
    // closed now (the Properties dialog) no longer unloads itself.
    // The server stops sending its log here before the process ends.
    if (m_frmServerLog)
        m_frmServerLog->leave();
    // What the user's files are to hold is written before a new run can read them.
    if (m_placed && m_frmRcon && m_frmLog)
        WindowPlaces(m_optionsFile).save(m_frmRcon, m_frmLog);
    if (m_frmRcon)
        m_frmRcon->leaveTheDesktop();
    takeWindows();
    while (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        if (QApplication::activePopupWidget() == popup)
            break;
    }
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
            dialog->done(QDialog::Rejected);
    }
    for (const QPointer<QWidget> &window : std::as_const(m_leaving)) {
        if (window)
            window->hide();
    }
}

void Program::ExitProgram() {
    // Unloading the main window comes back here through its close handler.
    if (m_ending)
        return;
    m_ending = true;
    playSound(QStringLiteral("1284.wav"));
    QCoreApplication::processEvents();
    leaveTheDesktop();
    m_platform.exitProcess(0);
}

void Program::RestartProgram() {
    if (m_ending)
        return;
    m_ending = true;
    leaveTheDesktop();
    // The new run checks for a running copy at once, and this one is still ending.
    if (m_instanceClaim)
        m_instanceClaim->release();
    m_platform.startProgram(filePath(QStringLiteral("rcon")));
    m_platform.exitProcess(0);
}
