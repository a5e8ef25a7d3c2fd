#include "rcon/app/windows.h"

#include "rcon/app/frmrcon.h"
#include "rcon/app/frmsplash.h"
#include "rcon/app/program.h"
#include "rcon/console/frmlog.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/console/mainconnection.h"
#include "rcon/kit/windowplaces.h"
#include "rcon/kit/windowsystem.h"
#include "rcon/passwords/frmfirst.h"
#include "rcon/passwords/frmpass.h"
#include "rcon/passwords/frmpassenter.h"
#include "rcon/players/frmplayers.h"
#include "rcon/protocol/rconsession.h"
#include "rcon/serverlog/frmserverlog.h"
#include "rcon/servers/frmservers.h"
#include "rcon/settings/frmsetrcon.h"
#include "rcon/settings/programfiles.h"
#include "rcon/settings/settingsstore.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <utility>

namespace {
// A window is created and loaded on its first reference, never again once the program ends.
// Its load may end the program (a damaged settings file), so the slot is read afresh after it.
template <typename Window, typename Make, typename Load>
Window *loadOnce(QPointer<Window> &slot, const Program &program, Make make, Load load) {
    if (!slot && !program.isEnding()) {
        slot = make();
        load(slot.data());
    }
    return slot;
}
} // namespace

Windows::Windows(Program &program)
    : m_program(program) {}

Windows::~Windows() {
    unloadAll();
}

FrmRcon *Windows::frmRcon() {
    return loadOnce(
        m_frmRcon, m_program,
        [this] {
            auto *main =
                new FrmRcon(m_program.files(), m_program.settings(), m_program.mainConnection(),
                            m_program.platform(), m_program.controls(), m_program.buttons());
            connect(main, &FrmRcon::exitRequested, &m_program, &Program::ExitProgram);
            connect(main, &FrmRcon::propertiesRequested, this, &Windows::showProperties);
            connect(main, &FrmRcon::passwordManagerRequested, this, &Windows::openPasswordManager);
            connect(main, &FrmRcon::playersRequested, this, &Windows::showPlayers);
            connect(main, &FrmRcon::serverLogRequested, this, &Windows::showServerLog);
            connect(main, &FrmRcon::serversRequested, this, &Windows::showServers);
            return main;
        },
        [this](FrmRcon *main) {
            main->setOutput(frmLog());
            main->load();
        });
}

FrmLog *Windows::frmLog() {
    if (!m_frmLog && !m_program.isEnding()) {
        m_frmLog = new FrmLog(m_program.settings());
        connect(m_frmLog, &FrmLog::menuRequested, this, [this](const QPoint &globalPos) {
            if (FrmRcon *main = frmRcon())
                main->showConsoleMenu(globalPos);
        });
        // Whatever the pane holds after it was emptied is new to the log.
        connect(m_frmLog, &FrmLog::emptied, this,
                [this] { m_program.mainConnection().log().paneEmptied(); });
    }
    return m_frmLog;
}

FrmSetRcon *Windows::frmSetRcon() {
    return loadOnce(
        m_frmSetRcon, m_program,
        [this] {
            auto *dialog =
                new FrmSetRcon(m_program.files(), m_program.settings(), m_program.mainConnection(),
                               m_program.platform(), m_program.controls(), m_program.buttons());
            // The prompt opens once the dialog has gone, not inside its click.
            connect(dialog, &FrmSetRcon::passwordManagerRequested, this,
                    &Windows::openPasswordManager, Qt::QueuedConnection);
            connect(dialog, &FrmSetRcon::restartRequested, &m_program, &Program::RestartProgram);
            connect(dialog, &FrmSetRcon::exitRequested, &m_program, &Program::ExitProgram);
            // Closed, it is unloaded: the next reference loads it afresh.
            connect(dialog, &QDialog::finished, this, [this, dialog] {
                if (m_frmSetRcon == dialog) {
                    m_frmSetRcon = nullptr;
                    dialog->deleteLater();
                }
            });
            return dialog;
        },
        [](FrmSetRcon *dialog) { dialog->load(); });
}

bool Windows::isFrmSetRconLoaded() const {
    return !m_frmSetRcon.isNull();
}

FrmSplash *Windows::frmSplash() {
    return loadOnce(
        m_frmSplash, m_program,
        [this] {
            auto *splash =
                new FrmSplash(m_program.settings(), m_program.platform(),
                              m_program.files().programFile(QStringLiteral("welcome.wav")),
                              [this] { return m_program.askFirstPasswordIfNone(); });
            connect(splash, &FrmSplash::mainWindowsDue, this, &Windows::showMainWindows);
            connect(splash, &FrmSplash::mainWindowsFade, this,
                    &Windows::setMainWindowsTranslucency);
            connect(splash, &FrmSplash::trayDue, this, [this] {
                if (FrmRcon *main = frmRcon())
                    main->sendToTray();
            });
            connect(splash, &FrmSplash::finished, this, [this, splash] { unload(splash); });
            return splash;
        },
        [](FrmSplash *splash) { splash->load(); });
}

FrmSplash *Windows::loadedSplash() const {
    return m_frmSplash;
}

FrmFirst *Windows::frmFirst() {
    return loadOnce(
        m_frmFirst, m_program,
        [this] { return new FrmFirst(m_program.files().passwordFile(), m_program.buttons()); },
        [](FrmFirst *dialog) { dialog->load(); });
}

FrmPassEnter *Windows::frmPassEnter() {
    // Owned by the main window, which is referenced (and so loaded) only when this one is.
    return loadOnce(
        m_frmPassEnter, m_program,
        [this] {
            return new FrmPassEnter(m_program.files().passwordFile(), m_program.settings(),
                                    m_program.buttons(), frmRcon());
        },
        [](FrmPassEnter *dialog) { dialog->load(); });
}

FrmPass *Windows::frmPass() {
    return loadOnce(
        m_frmPass, m_program,
        [this] {
            auto *manager =
                new FrmPass(m_program.files().passwordFile(), m_program.buttons(), frmRcon());
            // The start-up choice goes straight into the main connection's password, and so into
            // the main window's password field.
            connect(manager, &FrmPass::startupChoiceApplied, &m_program.mainConnection().session(),
                    &RconSession::setPassword);
            return manager;
        },
        [](FrmPass *dialog) { dialog->load(); });
}

FrmPlayers *Windows::frmPlayers() {
    if (!m_frmPlayers && !m_program.isEnding())
        m_frmPlayers = new FrmPlayers(m_program.mainConnection(), m_program.settings(),
                                      m_program.platform(), m_program.buttons());
    return m_frmPlayers;
}

FrmServerLog *Windows::frmServerLog() {
    if (!m_frmServerLog && !m_program.isEnding())
        m_frmServerLog = new FrmServerLog(m_program.mainConnection(), m_program.settings(),
                                          m_program.platform(), m_program.buttons());
    return m_frmServerLog;
}

FrmServers *Windows::frmServers() {
    if (!m_frmServers && !m_program.isEnding()) {
        // "Add the current server": what the main window's address and port fields hold.
        auto currentServer = [this]() -> std::optional<std::pair<QString, quint16>> {
            if (FrmRcon *main = m_frmRcon)
                return main->typedServer();
            return std::nullopt;
        };
        m_frmServers = new FrmServers(m_program.platform(), m_program.buttons(), m_program.files(),
                                      currentServer);
        connect(m_frmServers, &FrmServers::connectRequested, this,
                [this](const QString &host, quint16 port, const std::optional<QString> &password) {
                    if (FrmRcon *main = frmRcon())
                        main->connectTo(host, port, password);
                });
    }
    return m_frmServers;
}

void Windows::showServers() {
    if (FrmServers *servers = frmServers())
        servers->open();
}

void Windows::watchServersIfAsked() {
    const QSettings options(m_program.files().optionsFile(), QSettings::IniFormat);
    if (options.value(QStringLiteral("Servers/Watch")).toBool())
        frmServers();
}

void Windows::unload(QWidget *window) {
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
    if (!m_program.isEnding())
        window->deleteLater();
}

void Windows::showMainWindows() {
    FrmRcon *main = frmRcon();
    FrmLog *output = frmLog();
    if (!main || !output)
        return;
    // Its size, fixed by its layout, before it is placed and kept on the screen.
    main->adjustSize();
    // Where the user left them, else side by side.
    if (!WindowPlaces(m_program.files().optionsFile()).restore(main, output))
        placeSideBySide(main, output);
    m_placed = true;
    // The output window first, so that the main window, shown last, is the active one and
    // typing starts in its address field.
    output->show();
    main->show();
    main->activateWindow();
}

void Windows::setMainWindowsTranslucency(int alpha) {
    talvero::WindowSystem::setTranslucency(frmRcon(), alpha);
    talvero::WindowSystem::setTranslucency(frmLog(), alpha);
}

void Windows::placeSideBySide(QWidget *main, QWidget *output) {
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

void Windows::showProperties() {
    if (FrmSetRcon *dialog = frmSetRcon())
        dialog->exec();
}

void Windows::openPasswordManager() {
    if (m_program.isEnding())
        return;
    if (FrmPassEnter::isWanted(m_program.settings())) {
        FrmPassEnter *prompt = frmPassEnter();
        if (!prompt)
            return;
        const bool passed = prompt->exec() == QDialog::Accepted;
        unload(prompt);
        if (!passed || m_program.isEnding())
            return;
    }
    FrmPass *manager = frmPass();
    if (!manager)
        return;
    manager->exec();
    const bool toProperties = manager->leftForProperties();
    unload(manager);
    if (toProperties && !m_program.isEnding())
        showProperties();
}

bool Windows::choosePassword() {
    FrmFirst *dialog = frmFirst();
    if (!dialog)
        return false;
    const bool chosen = dialog->exec() == QDialog::Accepted;
    unload(dialog);
    if (m_program.isEnding())
        return false;
    if (!chosen)
        m_program.ExitProgram();
    return chosen;
}

void Windows::showPlayers() {
    if (!m_program.mainConnection().isConnected())
        return;
    if (FrmPlayers *players = frmPlayers())
        players->open();
}

void Windows::showServerLog() {
    if (!m_program.mainConnection().isConnected())
        return;
    if (FrmServerLog *serverLog = frmServerLog())
        serverLog->open();
}

void Windows::saveMainPlaces() {
    if (m_placed && m_frmRcon && m_frmLog)
        WindowPlaces(m_program.files().optionsFile()).save(m_frmRcon, m_frmLog);
}

void Windows::leave() {
    // The server stops sending its log here before the process ends.
    if (m_frmServerLog)
        m_frmServerLog->leave();
    // What the user's files are to hold is written before a new run can read them.
    saveMainPlaces();
    if (m_frmRcon)
        m_frmRcon->leaveTheDesktop();
    if (m_frmSplash)
        m_frmSplash->stop();
    takeWindows();
    while (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        if (QApplication::activePopupWidget() == popup)
            break;
    }
    // From here on the program has no windows; a dialog closed now no longer unloads itself.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
            dialog->done(QDialog::Rejected);
    }
    for (const QPointer<QWidget> &window : std::as_const(m_leaving)) {
        if (window)
            window->hide();
    }
}

void Windows::unloadAll() {
    saveMainPlaces();
    takeWindows();
    for (const QPointer<QWidget> &window : std::exchange(m_leaving, {}))
        delete window.data();
}

void Windows::takeWindows() {
    // The order in which the windows go.
    for (QWidget *window :
         {static_cast<QWidget *>(m_frmServers.data()), static_cast<QWidget *>(m_frmPlayers.data()),
          static_cast<QWidget *>(m_frmServerLog.data()), static_cast<QWidget *>(m_frmFirst.data()),
          static_cast<QWidget *>(m_frmLog.data()), static_cast<QWidget *>(m_frmPass.data()),
          static_cast<QWidget *>(m_frmPassEnter.data()), static_cast<QWidget *>(m_frmRcon.data()),
          static_cast<QWidget *>(m_frmSetRcon.data()),
          static_cast<QWidget *>(m_frmSplash.data())}) {
        if (window)
            m_leaving.append(window);
    }
    m_frmServers = nullptr;
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
