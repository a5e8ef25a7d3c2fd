#include "rcon/app/frmsplash.h"

#include "rcon/app/splashpicture.h"
#include "rcon/kit/fadetimer.h"
#include "rcon/kit/platform.h"
#include "rcon/kit/programicon.h"
#include "rcon/kit/windowsystem.h"
#include "rcon/settings/settingsstore.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <utility>

FrmSplash::FrmSplash(const SettingsStore &settings, Platform &platform, QString welcomeSound,
                     std::function<bool()> beforeFade)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_settings(settings)
    , m_platform(platform)
    , m_welcomeSound(std::move(welcomeSound))
    , m_beforeFade(std::move(beforeFade))
    , m_picture(talvero::splashPicture()) {
    setObjectName(QStringLiteral("FrmSplash"));
    setWindowTitle(QStringLiteral("Talvero"));
    setWindowIcon(talvero::programIcon());
    setFixedSize(m_picture.size() / m_picture.devicePixelRatio());
    // Both tick as fast as the system allows. The fade out begins once the load is done.
    T = new FadeTimer(1, false, this);
    T->setObjectName(QStringLiteral("T"));
    T2 = new FadeTimer(1, false, this);
    T2->setObjectName(QStringLiteral("T2"));
    connect(T, &FadeTimer::Timer, this, &FrmSplash::T_Timer);
    connect(T2, &FadeTimer::Timer, this, &FrmSplash::T2_Timer);
}

FrmSplash::~FrmSplash() = default;

void FrmSplash::load() {
    TrayOnStart = m_settings.readOption(SettingsStore::SendToTrayOnBoot);
    m_platform.playSound(m_welcomeSound);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    // Put the picture on the screen before the slower steps below.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    FadeLevel = 255;

    // Reading the access password loads the Properties dialog (with its settings check, which
    // may end the program) before the password file is unscrambled. With no access password
    // chosen yet the first-run dialog comes up, and the fade, not begun yet, waits for it.
    if (!m_beforeFade())
        return;
    T->setEnabled(true);
}

void FrmSplash::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void FrmSplash::stop() {
    m_stopped = true;
    stopIfEnding();
}

bool FrmSplash::stopIfEnding() {
    if (!m_stopped)
        return false;
    T->setEnabled(false);
    T2->setEnabled(false);
    return true;
}

void FrmSplash::T_Timer() {
    if (stopIfEnding())
        return;
    if (FadeLevel >= 0) {
        // 251, 247, ... 3; the tick that computes -1 changes nothing.
        FadeLevel = qint16(FadeLevel - 4);
        talvero::WindowSystem::setTranslucency(this, FadeLevel);
        return;
    }
    FadeLevel = 0;
    // Both were made transparent by their own load, so they appear invisible.
    emit mainWindowsDue();
    T2->setEnabled(true);
    T->setEnabled(false);
}

void FrmSplash::T2_Timer() {
    if (stopIfEnding())
        return;
    if (FadeLevel <= 255) {
        if (FadeLevel == 0 && TrayOnStart == 1)
            emit trayDue();
        // 4, 8, ... 252; the tick that computes 256 changes nothing, so both windows stay at 252.
        FadeLevel = qint16(FadeLevel + 4);
        emit mainWindowsFade(FadeLevel);
        return;
    }
    FadeLevel = 0;
    talvero::WindowSystem::setTranslucency(this, 0);
    T2->setEnabled(false);
    emit finished();
}
