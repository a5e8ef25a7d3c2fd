#include "rcon/app/frmrcon.h"

#include "rcon/console/consolecomforts.h"
#include "rcon/console/consoleoutput.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/console/mainconnection.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/controlhost.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/framepacer.h"
#include "rcon/kit/longtimer.h"
#include "rcon/kit/placekeeper.h"
#include "rcon/kit/platform.h"
#include "rcon/kit/programicon.h"
#include "rcon/kit/trayicon.h"
#include "rcon/kit/windowsystem.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/protocol/rconcodec.h"
#include "rcon/protocol/rconsession.h"
#include "rcon/protocol/website.h"
#include "rcon/settings/programfiles.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/settings/startupdefaults.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace {
const QString DefaultPort = StartupDefaults::defaultPort();

bool isEnterKey(const QKeyEvent *event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// The port field as a port number: a number in the user's way of writing it (or the plain
// C form), a fractional part rounded to the nearest whole number with halves going to the
// even neighbour; only 1 to 65535 is a port.
std::optional<int> portFromText(const QString &text) {
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // the default rounding: halves to even
    if (rounded < 1 || rounded > 65535)
        return std::nullopt;
    return static_cast<int>(rounded);
}

QLabel *buddyLabel(const QString &text, QWidget *field, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setBuddy(field);
    label->setFont(talvero::tahoma(8.25));
    field->setAccessibleName(QString(text).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    return label;
}
} // namespace

FrmRcon::FrmRcon(const ProgramFiles &files, const SettingsStore &settings,
                 MainConnection &connection, Platform &platform, ControlHost &controls,
                 const ButtonFactory &buttons)
    // A window of fixed size offers no maximise button.
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint)
    , m_files(files)
    , m_settings(settings)
    , m_connection(connection)
    , m_platform(platform) {
    setObjectName(QStringLiteral("frmRcon"));
    setWindowTitle(QStringLiteral("Talvero"));
    setWindowIcon(talvero::programIcon());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xEC, 0xE9, 0xD8));
    setPalette(pal);
    setAutoFillBackground(true);
    // Typing, sending and the connection's state change it faster than a screen shows them.
    new FramePacer(this);
    new PlaceKeeper(this);
    setFont(talvero::tahoma(8.25));

    buildFields(buttons);
    buildMenus();
    comforts =
        new ConsoleComforts(m_files.userStateDir(), txtIP, txtPort, txtSend, TxtSendAdmin, this);

    RconSession &session = m_connection.session();
    connect(&session, &RconSession::replyReceived, this, &FrmRcon::onReply);
    // A burst of replies reaches the pane's document at once, when the burst is over.
    connect(&session, &RconSession::burstDelivered, this, [this] {
        if (ConsoleOutput *out = output())
            out->endBurst();
    });
    connect(&session, &RconSession::socketError, this, &FrmRcon::wskError);
    // Every send reads the password field as it is then: the field and the session's password
    // are one, whoever changes them (the Password Manager's start-up choice).
    connect(txtPassword, &QLineEdit::textChanged, &session, &RconSession::setPassword);
    connect(&session, &RconSession::passwordChanged, this, [this](const QString &password) {
        if (txtPassword->text() != password)
            txtPassword->setText(password);
    });

    Tray = new TrayIcon(this);
    Tray->setToolTip(QStringLiteral("Talvero - ") + QString::fromLatin1(talvero::WebsiteAddress));
    connect(Tray, &TrayIcon::restore, this, &FrmRcon::restoreFromTray);
    connect(Tray, &TrayIcon::menu, this, [this] { MnuTray->popup(QCursor::pos()); });

    buildTimers(controls);
}

FrmRcon::~FrmRcon() = default;

void FrmRcon::setOutput(ConsoleOutput *output) {
    m_output = output;
    m_outputWindow = output ? output->outputWindow() : nullptr;
}

ConsoleOutput *FrmRcon::output() const {
    // The output window goes first when the program ends; a late datagram finds nothing to show
    // itself in.
    return m_outputWindow ? m_output : nullptr;
}

void FrmRcon::buildFields(const ButtonFactory &buttons) {
    auto makeField = [this](const QString &name) {
        auto *field = new QLineEdit(this);
        field->setObjectName(name);
        return field;
    };
    txtIP = makeField(QStringLiteral("txtIP"));
    txtPort = makeField(QStringLiteral("txtPort"));
    txtPort->setText(DefaultPort);
    txtPassword = makeField(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtSend = makeField(QStringLiteral("txtSend"));
    TxtSendAdmin = makeField(QStringLiteral("TxtSendAdmin"));

    auto makeButton = [this, &buttons](const QString &name, const QString &caption) {
        return buttons.create(this, name, caption);
    };
    CmdSend = makeButton(QStringLiteral("CmdSend"), QStringLiteral("Send"));
    CmdSendAdmin = makeButton(QStringLiteral("CmdSendAdmin"), QStringLiteral("Send"));
    cmdconnect = makeButton(QStringLiteral("cmdconnect"), QStringLiteral("Connect"));
    cmddisconnect = makeButton(QStringLiteral("cmddisconnect"), QStringLiteral("Disconnect"));
    CmdSettings = makeButton(QStringLiteral("CmdSettings"), QStringLiteral("Properties"));
    CmdClose = makeButton(QStringLiteral("CmdClose"), QStringLiteral("Exit"));
    CmdTray = makeButton(QStringLiteral("CmdTray"), QStringLiteral("Send to Tray"));
    // The two Send buttons share a caption; assistive technology tells them apart.
    CmdSend->setAccessibleName(QStringLiteral("Send console command"));
    CmdSendAdmin->setAccessibleName(QStringLiteral("Send AdminMod command"));

    Fra[1] = new QGroupBox(QStringLiteral("Game Server"), this);
    Fra[1]->setObjectName(QStringLiteral("Fra1"));
    auto *server = new QGridLayout(Fra[1]);
    server->addWidget(buddyLabel(QStringLiteral("IP Address:"), txtIP, Fra[1]), 0, 0);
    server->addWidget(txtIP, 0, 1);
    server->addWidget(buddyLabel(QStringLiteral("Port:"), txtPort, Fra[1]), 0, 2);
    server->addWidget(txtPort, 0, 3);
    server->addWidget(buddyLabel(QStringLiteral("Rcon Password:"), txtPassword, Fra[1]), 1, 0);
    server->addWidget(txtPassword, 1, 1, 1, 3);
    server->setColumnStretch(1, 3);
    server->setColumnStretch(3, 1);
    for (QLineEdit *field : {txtIP, txtPort, txtPassword}) {
        field->setParent(Fra[1]);
        field->setFont(talvero::tahoma(8.25));
    }

    Fra[2] = new QGroupBox(QStringLiteral("AdminMod / Rcon "), this);
    Fra[2]->setObjectName(QStringLiteral("Fra2"));
    auto *commands = new QGridLayout(Fra[2]);
    commands->addWidget(buddyLabel(QStringLiteral("Half-Life / Rcon Command:"), txtSend, Fra[2]), 0,
                        0, 1, 2);
    commands->addWidget(txtSend, 1, 0);
    commands->addWidget(CmdSend, 1, 1);
    commands->addWidget(buddyLabel(QStringLiteral("Admin Mod Command:"), TxtSendAdmin, Fra[2]), 2,
                        0, 1, 2);
    commands->addWidget(TxtSendAdmin, 3, 0);
    commands->addWidget(CmdSendAdmin, 3, 1);
    for (QWidget *child : {static_cast<QWidget *>(txtSend), static_cast<QWidget *>(TxtSendAdmin),
                           static_cast<QWidget *>(CmdSend), static_cast<QWidget *>(CmdSendAdmin)})
        child->setParent(Fra[2]);
    txtSend->setFont(talvero::tahoma(8.25));
    TxtSendAdmin->setFont(talvero::tahoma(8.25));
    // The command lines open only while connected.
    Fra[2]->setEnabled(false);

    auto *buttonRow = new QHBoxLayout;
    for (XpButton *button : {cmdconnect, cmddisconnect, CmdSettings, CmdTray, CmdClose})
        buttonRow->addWidget(button);
    buttonRow->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Fra[1]);
    layout->addWidget(Fra[2]);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(txtIP, txtPort);
    setTabOrder(txtPort, txtPassword);
    setTabOrder(txtPassword, txtSend);
    setTabOrder(txtSend, CmdSend);
    setTabOrder(CmdSend, TxtSendAdmin);
    setTabOrder(TxtSendAdmin, CmdSendAdmin);
    setTabOrder(CmdSendAdmin, cmdconnect);
    setTabOrder(cmdconnect, cmddisconnect);
    setTabOrder(cmddisconnect, CmdSettings);
    setTabOrder(CmdSettings, CmdTray);
    setTabOrder(CmdTray, CmdClose);

    connect(cmdconnect, &XpButton::Click, this, &FrmRcon::connectEntry);
    connect(cmddisconnect, &XpButton::Click, this, &FrmRcon::ResetConnection);
    connect(CmdClose, &XpButton::Click, this, &FrmRcon::exitRequested);
    connect(CmdSettings, &XpButton::Click, this, &FrmRcon::propertiesRequested);
    connect(CmdTray, &XpButton::Click, this, &FrmRcon::sendToTray);
    connect(CmdSend, &XpButton::Click, this, [this] { sendConsoleCommand(); });
    connect(CmdSendAdmin, &XpButton::Click, this, &FrmRcon::sendAdminCommand);
    connect(txtSend, &QLineEdit::textChanged, this,
            [this](const QString &text) { CmdSend->setEnabled(!text.isEmpty()); });
    connect(TxtSendAdmin, &QLineEdit::textChanged, this,
            [this](const QString &text) { CmdSendAdmin->setEnabled(!text.isEmpty()); });
    // The console line sends when Enter comes up, the AdminMod line when it goes down.
    txtSend->installEventFilter(this);
    TxtSendAdmin->installEventFilter(this);
    // Enter in a field of the server connects, as the Connect button does, until connected.
    for (QLineEdit *field : {txtIP, txtPort, txtPassword}) {
        connect(field, &QLineEdit::returnPressed, this, [this] {
            if (!m_connection.isConnected() && cmdconnect->isEnabled())
                connectEntry();
        });
    }
}

void FrmRcon::buildMenus() {
    auto addMenu = [this](QMenu *parent, const QString &name, const QString &caption) {
        auto *menu = parent ? parent->addMenu(caption) : new QMenu(caption, this);
        menu->setObjectName(name);
        menu->setTitle(caption);
        menu->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        return menu;
    };
    auto addAction = [](QMenu *menu, const QString &name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };

    MnuCommands = addMenu(nullptr, QStringLiteral("MnuCommands"), QStringLiteral("Commands"));
    MnuAdminModCommands = addAction(MnuCommands, QStringLiteral("MnuAdminModCommands"),
                                    QStringLiteral("Admin&Mod Comands"));
    QMenu *rconCommands =
        addMenu(MnuCommands, QStringLiteral("MnuCommand"), QStringLiteral("&Rcon Commands"));
    MnuHostName =
        addAction(rconCommands, QStringLiteral("MnuHostName"), QStringLiteral("Hostname"));
    rconCommands->addSeparator()->setObjectName(QStringLiteral("Split3"));
    MnuUsers =
        addAction(rconCommands, QStringLiteral("MnuUsers"), QStringLiteral("Current &Users"));
    mnuStatus =
        addAction(rconCommands, QStringLiteral("mnuStatus"), QStringLiteral("Server &Status"));
    MnuGravity = addAction(rconCommands, QStringLiteral("MnuGravity"), QStringLiteral("Gravity"));
    QMenu *kick = addMenu(rconCommands, QStringLiteral("MnuKick"), QStringLiteral("Kick Players"));
    MnuP1 = addAction(kick, QStringLiteral("MnuP1"), QStringLiteral("Player"));
    MnuP2 = addAction(kick, QStringLiteral("MnuP2"), QStringLiteral("Player(1)"));
    MnuP3 = addAction(kick, QStringLiteral("MnuP3"), QStringLiteral("Player(2)"));
    MnuP4 = addAction(kick, QStringLiteral("MnuP4"), QStringLiteral("Player(3)"));
    QMenu *logging =
        addMenu(rconCommands, QStringLiteral("MnuLoggimg"), QStringLiteral("HLDS Logging"));
    MnuLogStatus =
        addAction(logging, QStringLiteral("MnuLogStatus"), QStringLiteral("Logging S&tatus?"));
    logging->addSeparator()->setObjectName(QStringLiteral("Split1"));
    MnuLogOn = addAction(logging, QStringLiteral("MnuLogOn"), QStringLiteral("Lo&gging On"));
    MnuLogOff = addAction(logging, QStringLiteral("MnuLogOff"), QStringLiteral("Loggi&ng Off"));
    QMenu *help = addMenu(MnuCommands, QStringLiteral("MnuHelp"), QStringLiteral("&Help"));
    MnuConents = addAction(help, QStringLiteral("MnuConents"), QStringLiteral("&Contents"));
    MnuConents->setShortcut(QKeySequence(Qt::Key_F1));
    MnuVisitSite = addAction(help, QStringLiteral("MnuVisitSite"), QStringLiteral("Visit Website"));
    help->addSeparator()->setObjectName(QStringLiteral("Split2"));
    MnuAbout = addAction(help, QStringLiteral("MnuAbout"), QStringLiteral("A&bout . ."));
    // The Players window, placed after the specified entries; Ctrl+P works in this window.
    MnuCommands->addSeparator()->setObjectName(QStringLiteral("SplitPlayers"));
    MnuPlayers = addAction(MnuCommands, QStringLiteral("MnuPlayers"), QStringLiteral("Players..."));
    MnuPlayers->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    QWidget::addAction(MnuPlayers);
    connect(MnuPlayers, &QAction::triggered, this, [this] {
        if (m_connection.isConnected())
            emit playersRequested();
    });
    // The Server Log window after it; Ctrl+G works in this window.
    MnuServerLog =
        addAction(MnuCommands, QStringLiteral("MnuServerLog"), QStringLiteral("Server Log..."));
    MnuServerLog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    QWidget::addAction(MnuServerLog);
    connect(MnuServerLog, &QAction::triggered, this, [this] {
        if (m_connection.isConnected())
            emit serverLogRequested();
    });

    // The Servers window after it; Ctrl+K works in this window, connected or not.
    MnuServers = addAction(MnuCommands, QStringLiteral("MnuServers"), QStringLiteral("Servers..."));
    MnuServers->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    QWidget::addAction(MnuServers);
    connect(MnuServers, &QAction::triggered, this, &FrmRcon::serversRequested);

    MnuOptions = addMenu(nullptr, QStringLiteral("MnuOptions"), QStringLiteral("Options"));
    MnuConnect = addAction(MnuOptions, QStringLiteral("MnuConnect"), QStringLiteral("Connect . ."));
    MnuProperties =
        addAction(MnuOptions, QStringLiteral("MnuProperties"), QStringLiteral("Properties"));
    MnuOptions->addSeparator()->setObjectName(QStringLiteral("Split5"));
    MnuPassManager =
        addAction(MnuOptions, QStringLiteral("MnuPassManager"), QStringLiteral("Password Manager"));
    MnuOptions->addSeparator()->setObjectName(QStringLiteral("SplitServers"));
    MnuOptions->addAction(MnuServers);

    MnuTray = addMenu(nullptr, QStringLiteral("MnuTray"), QStringLiteral("TrayMenu"));
    MnuTrayConnect =
        addAction(MnuTray, QStringLiteral("MnuTrayConnect"), QStringLiteral("Connect"));
    MnuTray->addAction(MnuServers);
    MnuTrayDConnect =
        addAction(MnuTray, QStringLiteral("MnuTrayDConnect"), QStringLiteral("Disconnect"));
    MnuTrayDConnect->setEnabled(false);
    MnuTray->addSeparator()->setObjectName(QStringLiteral("MnuTraySplit1"));
    MnuTrayMain = addAction(MnuTray, QStringLiteral("MnuTrayMain"), QStringLiteral("Back To Main"));
    MnuTrayAbout = addAction(MnuTray, QStringLiteral("MnuTrayAbout"), QStringLiteral("About Rcon"));
    MnuTray->addSeparator()->setObjectName(QStringLiteral("MnuTraySplit3"));
    MnuTrayExit = addAction(MnuTray, QStringLiteral("MnuTrayExit"), QStringLiteral("Exit"));

    // The canned commands. Each kick entry kicks the player its caption names.
    const std::pair<QAction *, const char *> canned[] = {
        {MnuHostName, "hostname"},  {MnuUsers, "users"},       {mnuStatus, "status"},
        {MnuGravity, "sv_gravity"}, {MnuP1, "kick player"},    {MnuP2, "kick player(1)"},
        {MnuP3, "kick player(2)"},  {MnuP4, "kick player(3)"}, {MnuLogStatus, "log"},
        {MnuLogOn, "log on"},       {MnuLogOff, "log off"},
    };
    for (const auto &[action, command] : canned) {
        const QString text = QString::fromLatin1(command);
        connect(action, &QAction::triggered, this, [this, text] { sendCanned(text); });
    }
    connect(MnuVisitSite, &QAction::triggered, this, &FrmRcon::visitWebsite);
    connect(MnuConnect, &QAction::triggered, this, &FrmRcon::connectEntry);
    connect(MnuProperties, &QAction::triggered, this, &FrmRcon::propertiesRequested);
    connect(MnuTrayConnect, &QAction::triggered, this, &FrmRcon::connectEntry);
    connect(MnuTrayMain, &QAction::triggered, this, &FrmRcon::restoreFromTray);
    connect(MnuTrayAbout, &QAction::triggered, this, &FrmRcon::startAbout);
    connect(MnuTrayExit, &QAction::triggered, this, &FrmRcon::exitRequested);
    connect(MnuPassManager, &QAction::triggered, this, &FrmRcon::passwordManagerRequested);
    // "&Contents", "A&bout . ." and "Admin&Mod Comands" have no action.
}

void FrmRcon::buildTimers(ControlHost &controls) {
    auto create = [this, &controls](const QString &name, qint32 interval) {
        QWidget *control = controls.create(
            QStringLiteral("Dawdle.Tarrywatch"), this,
            {{QStringLiteral("Interval"), interval}, {QStringLiteral("Enabled"), false}});
        if (control) {
            control->setObjectName(name);
            control->hide();
        }
        return new LongTimer(control, this);
    };
    Rcon = create(QStringLiteral("Rcon"), 130152);
    TimerX1 = create(QStringLiteral("TimerX1"), 0);
    TimerX2 = create(QStringLiteral("TimerX2"), 0);
    connect(Rcon, &LongTimer::Timer, this, &FrmRcon::broadcast);
    connect(TimerX1, &LongTimer::Timer, this, [this] { runAutomaticCommand(m_autoCommand1); });
    connect(TimerX2, &LongTimer::Timer, this, [this] { runAutomaticCommand(m_autoCommand2); });
}

void FrmRcon::load() {
    m_connection.setLogsReplies(m_settings.readOption(SettingsStore::LogText2File) == 1);
    Tray->setIcon(windowIcon());
    talvero::WindowSystem::setTranslucency(this, 0);
    LoadStartupDefaults();
    for (XpButton *button :
         {CmdSendAdmin, CmdSettings, cmdconnect, cmddisconnect, CmdClose, CmdTray, CmdSend})
        button->ButtonStyle(2);
    CmdSend->setEnabled(false);
    cmdconnect->setEnabled(true);
    cmddisconnect->setEnabled(false);
    CmdSendAdmin->setEnabled(!TxtSendAdmin->text().isEmpty());
    // The window opens with the address field ready for typing.
    txtIP->setFocus(Qt::OtherFocusReason);
}

void FrmRcon::LoadStartupDefaults() {
    const StartupDefaults defaults =
        StartupDefaults::read(IniAccess::direct(), m_files.settingsFile());
    const QString password = m_files.passwordFile().startupChoice();
    // A missing address empties both fields to their defaults; a missing port alone gets the
    // usual one.
    if (defaults.address.value_or(QString()).isEmpty()) {
        txtIP->clear();
        txtPort->setText(DefaultPort);
    } else {
        txtIP->setText(*defaults.address);
        txtPort->setText(defaults.port.value_or(DefaultPort));
    }
    txtPassword->setText(password == PasswordFile::NoPassword || password == IniAccess::NotFound
                             ? QString()
                             : password);

    m_autoCommand1 = defaults.command1.value_or(QString());
    m_autoCommand2 = defaults.command2.value_or(QString());
    bool ok = false;
    const qint32 interval1 = defaults.interval1.value_or(QString()).toInt(&ok);
    if (ok)
        m_autoInterval1 = interval1;
    const qint32 interval2 = defaults.interval2.value_or(QString()).toInt(&ok);
    if (ok)
        m_autoInterval2 = interval2;

    if (!m_autoCommand1.isEmpty()) {
        TimerX1->setInterval(m_autoInterval1);
        if (ConsoleOutput *out = output())
            out->appendOutput(QStringLiteral("Running in Automatic Command Mode . .\r\n \r\n"));
    } else {
        TimerX1->setInterval(0);
        m_autoInterval1 = 0;
    }
    if (!m_autoCommand2.isEmpty())
        TimerX2->setInterval(m_autoInterval2);
}

void FrmRcon::connectEntry() {
    // The log option stays locked for as long as the connection lasts (only a reset unlocks
    // it): with logging off it is locked before connecting, with logging on after.
    const bool logging = m_settings.readOption(SettingsStore::LogText2File) == 1;
    if (logging)
        m_connection.log().open(m_files.logFile());
    else
        m_connection.setLogOptionLocked(true);
    m_connection.setLogsReplies(logging);
    ConnectToServer();
    if (logging)
        m_connection.setLogOptionLocked(true);
}

void FrmRcon::connectTo(const QString &host, quint16 port, const std::optional<QString> &password) {
    // Without a password of its own the server gets the one in the field, also when the reset
    // below empties the field.
    const QString typedPassword = txtPassword->text();
    if (m_connection.isConnected())
        ResetConnection();
    txtIP->setText(host);
    txtPort->setText(QString::number(port));
    txtPassword->setText(password.value_or(typedPassword));
    restoreFromTray();
    raise();
    connectEntry();
}

std::optional<std::pair<QString, quint16>> FrmRcon::typedServer() const {
    const QString host = txtIP->text().trimmed();
    const std::optional<int> port = portFromText(txtPort->text());
    if (host.isEmpty() || !port)
        return std::nullopt;
    return std::pair(host, quint16(*port));
}

void FrmRcon::ConnectToServer() {
    if (txtIP->text().isEmpty() || txtPort->text().isEmpty() || txtPassword->text().isEmpty()) {
        m_platform.messageBox(this, Platform::Icon::Information, Platform::Buttons::Ok,
                              QStringLiteral("Please enter the IP Adress, Port and Rcon Password"));
        return;
    }
    // Such a password would only be refused, and each refusal counts toward a ban.
    if (const QString problem = RconCodec::passwordProblem(txtPassword->text());
        !problem.isEmpty()) {
        m_platform.messageBox(this, Platform::Icon::Information, Platform::Buttons::Ok, problem);
        return;
    }
    const std::optional<int> port = portFromText(txtPort->text());
    if (!port)
        return connectionError();
    ServerPort = *port;
    RconSession &session = m_connection.session();
    if (!session.open(txtIP->text(), ServerPort))
        return connectionError();

    // The log's block for this connection begins with when and to which server.
    if (m_connection.logsReplies())
        m_connection.log().beginConnection(txtIP->text(), ServerPort);

    // A failed send shows later, as the socket's error.
    session.requestChallenge();

    cmdconnect->setEnabled(false);
    cmddisconnect->setEnabled(true);
    Fra[2]->setEnabled(true);
    txtSend->setEnabled(true);
    TxtSendAdmin->setEnabled(true);
    txtIP->setEnabled(false);
    txtPort->setEnabled(false);
    // Connect no longer applies: the next thing typed is a command.
    txtSend->setFocus(Qt::OtherFocusReason);
    TimerX1->setEnabled(!m_autoCommand1.isEmpty());
    TimerX2->setEnabled(!m_autoCommand2.isEmpty());
    Rcon->setEnabled(true);
    Rcon->setInterval(120000);
}

void FrmRcon::connectionError() {
    ResetConnection();
    m_platform.messageBox(
        this, Platform::Icon::Critical, Platform::Buttons::Ok,
        QStringLiteral("Connection Error: Please check your IP or Port address then try again."));
}

void FrmRcon::ResetConnection() {
    m_connection.session().close();
    ConsoleOutput *out = output();
    if (out)
        out->setStatus(QStringLiteral("Not Connected"));
    CmdSendAdmin->setEnabled(false);
    m_connection.setLogOptionLocked(false);
    CmdSend->setEnabled(false);
    cmdconnect->setEnabled(true);
    TxtSendAdmin->clear();
    Fra[2]->setEnabled(false);
    cmddisconnect->setEnabled(false);
    txtPort->setEnabled(true);
    txtIP->setEnabled(true);
    txtIP->clear();
    txtPort->setText(DefaultPort);
    txtPassword->clear();
    txtSend->clear();
    if (out)
        out->clearOutput();
    TimerX1->setEnabled(false);
    TimerX2->setEnabled(false);
    Rcon->setEnabled(false);
    Rcon->setInterval(0);
    LoadStartupDefaults();
}

void FrmRcon::endConnection(int icon, const QString &message) {
    ResetConnection();
    // The box runs an event loop of its own: it comes once the session's handlers have
    // returned, with the connection already reset, so nothing runs half done under it.
    QMetaObject::invokeMethod(
        this,
        [this, icon, message] {
            m_platform.messageBox(this, Platform::Icon(icon), Platform::Buttons::Ok, message);
        },
        Qt::QueuedConnection);
}

void FrmRcon::onReply(const RconReply &reply) {
    ConsoleOutput *out = output();
    if (!out)
        return;
    out->beginBurst();
    switch (reply.kind) {
    case RconReply::Kind::Challenge:
        out->setStatus(QStringLiteral("Connected to ") + txtIP->text() + QStringLiteral("\r\n"));
        comforts->serverConfirmed(txtIP->text(), ServerPort);
        break;
    case RconReply::Kind::Banned:
        endConnection(int(Platform::Icon::Information),
                      QStringLiteral("You have been banned from this server. \r\n"
                                     "You may need to contact the Admin to fix this problem."));
        // Not even the start-up defaults' notice stays.
        out->clearOutput();
        out->endBurst();
        return;
    case RconReply::Kind::Refused:
        // Every further command would be refused too, and each refusal counts toward the
        // server's ban of the whole address: stop here and say why.
        endConnection(int(Platform::Icon::Information),
                      QStringLiteral("The server refused the rcon password. \r\n"
                                     "Please check the password, then connect again."));
        out->endBurst();
        return;
    case RconReply::Kind::Empty:
    case RconReply::Kind::Output:
    case RconReply::Kind::NoChallenge:
        break;
    }
    const QString replyText = RconCodec::displayText(reply.consoleText(txtIP->text()));
    out->appendOutput(replyText);
    comforts->replyShown(replyText);
    // Taken whether or not it is logged, so that it never piles up.
    const QString forLog = out->takeUnlogged();
    if (m_connection.logsReplies()) {
        LogFileWriter &log = m_connection.log();
        if (!log.write(forLog))
            return logWriteError(log);
    }
    out->appendOutput(QStringLiteral("\r\n"));
}

void FrmRcon::logWriteError(const LogFileWriter &log) {
    // The server is not at fault: name the file and the system's reason, so the user knows
    // what to mend.
    const QString path = QDir::toNativeSeparators(log.path());
    const QString reason = log.errorString();
    endConnection(int(Platform::Icon::Critical),
                  QStringLiteral("Talvero could not write the log file %1: %2\r\n"
                                 "Check that the file and its folder can be written, or turn off "
                                 "\"Log text to file\" in Properties, then connect again.")
                      .arg(path, reason));
    if (ConsoleOutput *out = output())
        out->endBurst();
}

void FrmRcon::wskError() {
    endConnection(int(Platform::Icon::Critical),
                  QStringLiteral("Please check your Server IP, Port and Password then try again"));
}

bool FrmRcon::eventFilter(QObject *watched, QEvent *event) {
    if (watched == txtSend && event->type() == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isEnterKey(key) && !key->isAutoRepeat())
            sendConsoleCommand();
    } else if (watched == TxtSendAdmin && event->type() == QEvent::KeyPress) {
        if (isEnterKey(static_cast<QKeyEvent *>(event)))
            sendAdminCommand();
    }
    return QWidget::eventFilter(watched, event);
}

void FrmRcon::SendRconCommand(const QString &command) {
    // The console line is what counts: every caller has put its command there first.
    if (txtSend->text().isEmpty())
        return;
    m_connection.session().sendCommand(command);
    txtSend->clear();
}

void FrmRcon::sendConsoleCommand() {
    // The command is on its way before anything else is done with it.
    const QString command = txtSend->text();
    SendRconCommand(command);
    comforts->consoleCommandSent(command);
}

void FrmRcon::sendAdminCommand() {
    const QString command = TxtSendAdmin->text();
    if (command.isEmpty())
        return;
    m_connection.session().sendAdminCommand(command);
    TxtSendAdmin->clear();
    comforts->adminCommandSent(command);
}

void FrmRcon::sendCanned(const QString &command) {
    txtSend->setText(command);
    SendRconCommand(txtSend->text());
}

void FrmRcon::runAutomaticCommand(const QString &command) {
    // The same datagram a command typed into the console line makes, without touching what
    // the user may be typing there.
    if (!m_connection.isConnected() || command.isEmpty())
        return;
    m_connection.session().sendCommand(command);
}

void FrmRcon::broadcast() {
    m_connection.session().sendBroadcast();
}

void FrmRcon::showConsoleMenu(const QPoint &globalPos) {
    (m_connection.isConnected() ? MnuCommands : MnuOptions)->popup(globalPos);
}

void FrmRcon::leaveTheDesktop() {
    comforts->flush();
    Tray->setVisible(false);
}

void FrmRcon::visitWebsite() {
    m_platform.openUrl(QUrl(QString::fromLatin1(talvero::WebsiteAddress)));
}

void FrmRcon::startAbout() {
    m_platform.startProgram(m_files.programFile(QStringLiteral("about")));
}

void FrmRcon::sendToTray() {
    QWidget *outputWindow = m_outputWindow;
    if (TrayIcon::isAvailable()) {
        Tray->setVisible(true);
        if (outputWindow)
            outputWindow->hide();
        hide();
        return;
    }
    // Without a notification area a hidden window could never be brought back: minimise both.
    if (outputWindow)
        outputWindow->showMinimized();
    showMinimized();
}

void FrmRcon::restoreFromTray() {
    showNormal();
    if (QWidget *outputWindow = m_outputWindow)
        outputWindow->showNormal();
    Tray->setVisible(false);
    activateWindow();
}

void FrmRcon::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // The output window belongs to this one: it goes with it when minimised and comes back
    // when it is restored.
    QWidget *outputWindow = m_outputWindow;
    if (!outputWindow)
        return;
    if (isMinimized()) {
        if (outputWindow->isVisible() && !outputWindow->isMinimized()) {
            outputWindow->hide();
            m_outputHiddenWithMe = true;
        }
    } else if (std::exchange(m_outputHiddenWithMe, false) && isVisible()) {
        outputWindow->show();
    }
}

void FrmRcon::closeEvent(QCloseEvent *event) {
    event->accept();
    emit exitRequested();
}
