#include "rcon/app/program.h"

#include "rcon/app/singleinstance.h"
#include "rcon/app/windows.h"
#include "rcon/console/mainconnection.h"
#include "rcon/kit/altkeyguard.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/controlhost.h"
#include "rcon/kit/platform.h"
#include "rcon/passwords/frmfirst.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/programfiles.h"
#include "rcon/settings/settingscheck.h"
#include "rcon/settings/settingsstore.h"

#include <QCoreApplication>

#include <utility>

Program::Program(QString programDir, QString optionsFile, Platform &platform, QObject *parent)
    : Program(programDir, programDir, std::move(optionsFile), platform, parent) {}

Program::Program(QString programDir, QString dataDir, QString optionsFile, Platform &platform,
                 QObject *parent)
    : QObject(parent)
    , m_files(std::make_unique<ProgramFiles>(std::move(programDir), std::move(dataDir),
                                             std::move(optionsFile)))
    , m_platform(platform)
    , m_controls(std::make_unique<ControlHost>(m_files->programDir(), platform))
    , m_settings(std::make_unique<SettingsStore>(m_files->optionsFile()))
    , m_buttons(std::make_unique<ButtonFactory>(platform,
                                                m_files->programFile(QStringLiteral("85858.wav"))))
    , m_connection(new MainConnection(this))
    , m_windows(std::make_unique<Windows>(*this)) {
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(new AltKeyGuard(this));
}

Program::~Program() {
    m_ending = true;
    m_windows->unloadAll();
}

void Program::startWithSplash() {
    // The splash's load runs to its end, the first-run dialog included.
    m_windows->frmSplash();
    if (m_ending)
        return;
    m_windows->frmRcon();
    m_windows->watchServersIfAsked();
}

void Program::start() {
    if (!checkSettingsFile())
        return;
    if (!m_windows->frmRcon())
        return;
    m_windows->showMainWindows();
    m_windows->setMainWindowsTranslucency(255);
    m_windows->watchServersIfAsked();
}

bool Program::askFirstPasswordIfNone() {
    // The settings check comes first: it may end the program, and the password file must not
    // be clear then.
    if (!checkSettingsFile())
        return false;
    if (!FrmFirst::noPasswordChosen(m_files->passwordFile().accessPassword()))
        return true;
    return m_windows->choosePassword();
}

bool Program::checkSettingsFile() {
    if (m_ending)
        return false;
    if (SettingsCheck::checkAndRepair(m_files->settingsFile()))
        return true;
    m_platform.messageBox(
        nullptr, Platform::Icon::Critical, Platform::Buttons::Ok,
        QStringLiteral("Error can't load settings file, Please reinstall Talvero"));
    ExitProgram();
    return false;
}

void Program::leaveTheDesktop() {
    // Open menus and modal windows (a message box, the Properties dialog) are dismissed; the
    // nested event loops they run end with the process's exit. The windows themselves go only
    // once every such loop has unwound (when the program object goes, after the event loop has
    // returned): a window deleted under a running dialog would take the dialog, and the
    // handler that opened it, down with it.
    m_windows->leave();
}

void Program::ExitProgram() {
    // Unloading the main window comes back here through its close handler.
    if (m_ending)
        return;
    m_ending = true;
    m_platform.playSound(m_files->programFile(QStringLiteral("1284.wav")));
    // The exit sound starts before the windows go.
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
    m_platform.startProgram(m_files->programFile(QStringLiteral("rcon")));
    m_platform.exitProcess(0);
}
