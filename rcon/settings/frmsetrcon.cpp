#include "rcon/settings/frmsetrcon.h"

#include "rcon/console/mainconnection.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/controlhost.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/platform.h"
#include "rcon/protocol/website.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/settings/intervaltable.h"
#include "rcon/settings/programfiles.h"
#include "rcon/settings/settingsini.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/settings/startupdefaults.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
const QString DefaultPort = StartupDefaults::defaultPort();

QLabel *wrappedLabel(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}
} // namespace

FrmSetRcon::FrmSetRcon(const ProgramFiles &files, const SettingsStore &settings,
                       MainConnection &connection, Platform &platform, ControlHost &controls,
                       const ButtonFactory &buttons)
    : QDialog(nullptr)
    , m_settingsFile(files.settingsFile())
    , m_settings(settings)
    , m_connection(connection)
    , m_platform(platform) {
    setObjectName(QStringLiteral("FrmSetRcon"));
    setWindowTitle(QStringLiteral("Rcon Properties"));
    setFont(talvero::tahoma(8.25));
    I1 = controls.create(QStringLiteral("Quirebox.INITool"), this);
    if (I1) {
        I1->setObjectName(QStringLiteral("I1"));
        I1->hide();
    }
    buildControls(buttons);
    // Where the log goes: beside the program, or in the user's folder for an installed one.
    const QString logPlace = QStringLiteral("Server replies are written to %1")
                                 .arg(QDir::toNativeSeparators(files.logFile()));
    CLog->setToolTip(logPlace);
    CLog->setAccessibleDescription(logPlace);
}

FrmSetRcon::~FrmSetRcon() = default;

void FrmSetRcon::buildControls(const ButtonFactory &buttons) {
    auto makeButton = [this, &buttons](const QString &name, const QString &caption) {
        return buttons.create(this, name, caption);
    };
    auto makeBox = [this](const QString &name, const QString &caption) {
        auto *box = new QCheckBox(caption, this);
        box->setObjectName(name);
        return box;
    };
    auto makeField = [this](const QString &name, const QString &accessibleName) {
        auto *field = new QLineEdit(this);
        field->setObjectName(name);
        field->setAccessibleName(accessibleName);
        return field;
    };
    auto makeList = [this](const QString &name, const QString &accessibleName) {
        auto *list = new QComboBox(this);
        list->setObjectName(name);
        list->setAccessibleName(accessibleName);
        list->setEnabled(false);
        return list;
    };

    auto *general = new QGroupBox(QStringLiteral("General"), this);
    general->setObjectName(QStringLiteral("Frame1"));
    CSendToTray = makeBox(QStringLiteral("CSendToTray"), QStringLiteral("Send to Tray at startup"));
    CLog = makeBox(QStringLiteral("CLog"), QStringLiteral("Log text to file"));
    ChkAskPM = makeBox(QStringLiteral("ChkAskPM"), QStringLiteral("Ask for password"));
    auto *generalLayout = new QVBoxLayout(general);
    for (QCheckBox *box : {CSendToTray, CLog, ChkAskPM}) {
        box->setParent(general);
        generalLayout->addWidget(box);
    }

    auto *commands = new QGroupBox(QStringLiteral("Automatic Rcon Commands"), this);
    txtcommand = makeField(QStringLiteral("txtcommand"), QStringLiteral("First automatic command"));
    CTime = makeList(QStringLiteral("CTime"), QStringLiteral("Interval of the first command"));
    txtcommand2 =
        makeField(QStringLiteral("txtcommand2"), QStringLiteral("Second automatic command"));
    txtcommand2->setEnabled(false);
    CTime2 = makeList(QStringLiteral("CTime2"), QStringLiteral("Interval of the second command"));
    CmdApp = makeButton(QStringLiteral("CmdApp"), QStringLiteral("Apply"));
    CmdApp->setEnabled(false);
    CmdClear2 = makeButton(QStringLiteral("CmdClear2"), QStringLiteral("Clear"));
    CmdApp->setAccessibleName(QStringLiteral("Apply automatic commands"));
    CmdClear2->setAccessibleName(QStringLiteral("Clear automatic commands"));
    auto *commandsLayout = new QGridLayout(commands);
    auto *commandLabel = new QLabel(QStringLiteral("AdminMod / Rcon Command"), commands);
    commandLabel->setBuddy(txtcommand);
    auto *timeLabel = new QLabel(QStringLiteral("Time to countdown"), commands);
    timeLabel->setBuddy(CTime);
    commandsLayout->addWidget(commandLabel, 0, 0);
    commandsLayout->addWidget(timeLabel, 0, 1);
    commandsLayout->addWidget(txtcommand, 1, 0);
    commandsLayout->addWidget(CTime, 1, 1);
    commandsLayout->addWidget(txtcommand2, 2, 0);
    commandsLayout->addWidget(CTime2, 2, 1);
    commandsLayout->addWidget(
        wrappedLabel(QStringLiteral("Type a rcon command and a time that you want the command to "
                                    "automaticly be sent to the Rcon game server."),
                     commands),
        3, 0, 1, 2);
    auto *commandButtons = new QHBoxLayout;
    commandButtons->addStretch(1);
    commandButtons->addWidget(CmdApp);
    commandButtons->addWidget(CmdClear2);
    commandsLayout->addLayout(commandButtons, 4, 0, 1, 2);
    for (QWidget *child : {static_cast<QWidget *>(txtcommand), static_cast<QWidget *>(CTime),
                           static_cast<QWidget *>(txtcommand2), static_cast<QWidget *>(CTime2),
                           static_cast<QWidget *>(CmdApp), static_cast<QWidget *>(CmdClear2)})
        child->setParent(commands);

    auto *address = new QGroupBox(QStringLiteral("Automatic IP, Port and Password"), this);
    txtIP = makeField(QStringLiteral("txtIP"), QStringLiteral("IP Address"));
    txtIP->setMaxLength(15);
    txtPort = makeField(QStringLiteral("txtPort"), SettingsIni::Written::Port);
    txtPort->setMaxLength(5);
    txtPort->setText(DefaultPort);
    Cmd1 = makeButton(QStringLiteral("Cmd1"), QStringLiteral("Apply"));
    CmdClear = makeButton(QStringLiteral("CmdClear"), QStringLiteral("Clear"));
    Cmd1->setAccessibleName(QStringLiteral("Apply address"));
    CmdClear->setAccessibleName(QStringLiteral("Clear address"));
    auto *addressLayout = new QGridLayout(address);
    auto *ipLabel = new QLabel(QStringLiteral("IP Address:"), address);
    ipLabel->setBuddy(txtIP);
    auto *portLabel = new QLabel(QStringLiteral("Port:"), address);
    portLabel->setBuddy(txtPort);
    addressLayout->addWidget(ipLabel, 0, 0);
    addressLayout->addWidget(txtIP, 0, 1);
    addressLayout->addWidget(portLabel, 0, 2);
    addressLayout->addWidget(txtPort, 0, 3);
    addressLayout->addWidget(
        wrappedLabel(QStringLiteral("Please type your server IP and Port that you want to auto "
                                    "appear when you start Talvero."),
                     address),
        1, 0, 1, 4);
    auto *addressButtons = new QHBoxLayout;
    addressButtons->addStretch(1);
    addressButtons->addWidget(Cmd1);
    addressButtons->addWidget(CmdClear);
    addressLayout->addLayout(addressButtons, 2, 0, 1, 4);
    for (QWidget *child : {static_cast<QWidget *>(txtIP), static_cast<QWidget *>(txtPort),
                           static_cast<QWidget *>(Cmd1), static_cast<QWidget *>(CmdClear)})
        child->setParent(address);

    CmdClearAll = makeButton(QStringLiteral("CmdClearAll"), QStringLiteral("Clear All"));
    CmdClose = makeButton(QStringLiteral("CmdClose"), QStringLiteral("&Close"));
    CmdPasswords = makeButton(QStringLiteral("CmdPasswords"), QStringLiteral("Passwords"));
    CmdHelp = makeButton(QStringLiteral("CmdHelp"), QStringLiteral("Help"));
    auto *website = new QLabel(QString::fromLatin1(talvero::WebsiteAddress), this);
    website->setObjectName(QStringLiteral("LWebsite"));

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(website, 1);
    for (XpButton *button : {CmdHelp, CmdPasswords, CmdClearAll, CmdClose})
        bottom->addWidget(button);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(general);
    layout->addWidget(commands);
    layout->addWidget(address);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(CSendToTray, CLog);
    setTabOrder(CLog, ChkAskPM);
    setTabOrder(ChkAskPM, txtcommand);
    setTabOrder(txtcommand, CTime);
    setTabOrder(CTime, txtcommand2);
    setTabOrder(txtcommand2, CTime2);
    setTabOrder(CTime2, CmdApp);
    setTabOrder(CmdApp, CmdClear2);
    setTabOrder(CmdClear2, txtIP);
    setTabOrder(txtIP, txtPort);
    setTabOrder(txtPort, Cmd1);
    setTabOrder(Cmd1, CmdClear);
    setTabOrder(CmdClear, CmdHelp);
    setTabOrder(CmdHelp, CmdPasswords);
    setTabOrder(CmdPasswords, CmdClearAll);
    setTabOrder(CmdClearAll, CmdClose);

    const SettingsStore &settings = m_settings;
    connect(CSendToTray, &QCheckBox::toggled, this, [&settings](bool ticked) {
        settings.saveOption(SettingsStore::SendToTrayOnBoot, ticked);
    });
    // The log option is read at connect: it stays as it is while a connection lasts.
    connect(&m_connection, &MainConnection::logOptionLockChanged, CLog,
            [this](bool locked) { CLog->setEnabled(!locked); });
    connect(CLog, &QCheckBox::toggled, this, [this, &settings](bool ticked) {
        settings.saveOption(SettingsStore::LogText2File, ticked);
        m_connection.setLogsReplies(ticked);
    });
    // Any click on "Ask for password" means: ask again from now on.
    connect(ChkAskPM, &QCheckBox::toggled, this,
            [&settings] { settings.saveOption(SettingsStore::ShowPassDlg, QStringLiteral("0")); });
    connect(txtcommand, &QLineEdit::textChanged, this, &FrmSetRcon::txtcommandChanged);
    connect(txtcommand2, &QLineEdit::textChanged, this, &FrmSetRcon::txtcommand2Changed);
    connect(CTime, &QComboBox::currentIndexChanged, this, [this] {
        if (m_emptying)
            return;
        CmdApp->setEnabled(true);
        txtcommand2->setEnabled(true);
    });
    connect(CTime2, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_emptying)
            CmdApp->setEnabled(true);
    });
    connect(Cmd1, &XpButton::Click, this, &FrmSetRcon::applyAddress);
    connect(CmdClear, &XpButton::Click, this, &FrmSetRcon::clearAddress);
    connect(CmdApp, &XpButton::Click, this, &FrmSetRcon::applyCommands);
    connect(CmdClear2, &XpButton::Click, this, &FrmSetRcon::clearCommands);
    connect(CmdClearAll, &XpButton::Click, this, &FrmSetRcon::clearAll);
    connect(CmdClose, &XpButton::Click, this, &FrmSetRcon::closeClicked);
    connect(CmdPasswords, &XpButton::Click, this, &FrmSetRcon::passwordsClicked);
    connect(CmdHelp, &XpButton::Click, this,
            [this] { m_platform.openUrl(QUrl(QString::fromLatin1(talvero::WebsiteAddress))); });
}

bool FrmSetRcon::load() {
    const int logOption = m_settings.readOption(SettingsStore::LogText2File);
    CSendToTray->setChecked(m_settings.readOption(SettingsStore::SendToTrayOnBoot) == 1);

    const IniAccess ini(I1);
    const StartupDefaults defaults = StartupDefaults::read(ini, m_settingsFile);
    if (!defaults.address) {
        txtIP->clear();
        txtPort->setText(DefaultPort);
    } else {
        txtIP->setText(*defaults.address);
        // An address without a port: the usual port, not a fragment of "[NOT FOUND]".
        txtPort->setText(defaults.port.value_or(DefaultPort));
    }
    // A settings file without the first command's key is damaged (or not there at all).
    if (!defaults.command1) {
        m_platform.messageBox(
            this, Platform::Icon::Critical, Platform::Buttons::Ok,
            QStringLiteral("Error can't load settings file, Please reinstall Talvero"));
        emit exitRequested();
        return false;
    }
    txtcommand->setText(*defaults.command1);
    // An absent second command shows as the INI logic reads it, so the user sees it is not set.
    txtcommand2->setText(defaults.command2.value_or(IniAccess::NotFound));
    m_time1 = defaults.interval1.value_or(QString());
    m_time2 = defaults.interval2.value_or(QString());

    // A second command is kept only together with a first one.
    if (txtcommand->text().isEmpty() && !txtcommand2->text().isEmpty()) {
        txtcommand2->setEnabled(false);
        txtcommand2->clear();
        CTime2->setEnabled(false);
        emptyList(CTime2);
        StartupDefaults::clearSecondCommand(ini, m_settingsFile);
    }

    // Filling a list selects its first entry, which is no choice of the user's: the stored
    // interval decides what shows.
    m_emptying = true;
    CTime->addItems(IntervalTable::captions());
    CTime2->addItems(IntervalTable::captions());
    CTime->setCurrentIndex(-1);
    CTime2->setCurrentIndex(-1);
    m_emptying = false;
    showInterval(CTime, m_time1);
    showInterval(CTime2, m_time2);
    for (XpButton *button :
         {CmdClear2, CmdHelp, CmdApp, CmdClose, Cmd1, CmdClear, CmdPasswords, CmdClearAll})
        button->ButtonStyle(2);

    CLog->setChecked(logOption == 1);
    // The log option is read at connect; a dialog loaded again during a connection must not
    // offer to change it until the connection ends.
    CLog->setEnabled(!m_connection.isLogOptionLocked());
    SettingsChanged = false;
    return true;
}

void FrmSetRcon::showInterval(QComboBox *list, const QString &milliseconds) {
    const int index = IntervalTable::indexOfMilliseconds(milliseconds);
    if (index >= 0)
        list->setCurrentIndex(index);
}

void FrmSetRcon::showCaption(QComboBox *list, const QString &caption) {
    const int index = list->findText(caption, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) {
        // Showing the caption again counts as a choice too.
        if (list->currentIndex() == index)
            Q_EMIT list->currentIndexChanged(index);
        else
            list->setCurrentIndex(index);
    }
}

void FrmSetRcon::emptyList(QComboBox *list) {
    m_emptying = true;
    list->setCurrentIndex(-1);
    m_emptying = false;
}

void FrmSetRcon::txtcommandChanged(const QString &text) {
    if (text.isEmpty()) {
        CTime->setEnabled(false);
        txtcommand2->setEnabled(false);
        CTime2->setEnabled(false);
        txtcommand2->clear();
        emptyList(CTime2);
        emptyList(CTime);
        CmdApp->setEnabled(false);
    } else {
        CTime->setEnabled(true);
        showCaption(CTime, QStringLiteral("1 Minute"));
        CmdApp->setEnabled(true);
    }
}

void FrmSetRcon::txtcommand2Changed(const QString &text) {
    if (text.isEmpty()) {
        CTime2->setEnabled(false);
    } else {
        CTime2->setEnabled(true);
        showCaption(CTime2, QStringLiteral("1 Minute"));
    }
}

void FrmSetRcon::applyAddress() {
    StartupDefaults::writeAddress(IniAccess(I1), m_settingsFile, txtIP->text(), txtPort->text());
    SettingsChanged = true;
}

void FrmSetRcon::clearAddress() {
    StartupDefaults::writeAddress(IniAccess(I1), m_settingsFile, QString(), QString());
    txtIP->clear();
    txtPort->setText(DefaultPort);
    SettingsChanged = true;
}

void FrmSetRcon::applyCommands() {
    const QString time1 = IntervalTable::millisecondsFor(CTime->currentText());
    const QString time2 = IntervalTable::millisecondsFor(CTime2->currentText());
    StartupDefaults::writeCommands(IniAccess(I1), m_settingsFile, txtcommand->text(), time1,
                                   txtcommand2->text(), time2);
    SettingsChanged = true;
    CmdApp->setEnabled(false);
}

void FrmSetRcon::clearCommands() {
    StartupDefaults::writeCommands(IniAccess(I1), m_settingsFile, QString(), QString(), QString(),
                                   QString());
    txtcommand->clear();
    txtcommand2->clear();
    SettingsChanged = true;
}

void FrmSetRcon::clearAll() {
    clearAddress();
    clearCommands();
}

bool FrmSetRcon::askRestart() {
    return m_platform.messageBox(
               this, Platform::Icon::Information, Platform::Buttons::YesNo,
               QStringLiteral("You need to restart Talvero before the changes will take effect\r\n"
                              "Should Talvero restart now? (Recommended)")) ==
           Platform::Answer::Yes;
}

void FrmSetRcon::closeClicked() {
    if (SettingsChanged && askRestart()) {
        emit restartRequested();
        return;
    }
    close();
}

void FrmSetRcon::passwordsClicked() {
    if (SettingsChanged) {
        if (askRestart()) {
            emit restartRequested();
            return;
        }
        close();
        return;
    }
    close();
    emit passwordManagerRequested();
}
