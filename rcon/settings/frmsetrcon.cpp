#include "rcon/settings/frmsetrcon.h"

#include "rcon/app/program.h"
#include "rcon/kit/controlhost.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/platform.h"
#include "rcon/passwords/frmpassenter.h"
#include "rcon/protocol/website.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/settings/intervaltable.h"
#include "rcon/settings/settingsini.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
const QString NotFound = IniAccess::NotFound;
const QString DefaultPort = QStringLiteral("27015");

QLabel *wrappedLabel(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}
} // namespace

FrmSetRcon::FrmSetRcon(Program &program)
    : QDialog(nullptr)
    , m_program(program) {
    setObjectName(QStringLiteral("FrmSetRcon"));
    setWindowTitle(QStringLiteral("Rcon Properties"));
    setFont(talvero::tahoma(8.25));
    I1 = m_program.controls().create(QStringLiteral("Quirebox.INITool"), this);
    if (I1) {
        I1->setObjectName(QStringLiteral("I1"));
        I1->hide();
    }
    buildControls();
}

FrmSetRcon::~FrmSetRcon() = default;

void FrmSetRcon::buildControls() {
    auto makeButton = [this](const QString &name, const QString &caption) {
        return m_program.newButton(this, name, caption);
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
    // Where the log goes: beside the program, or in the user's folder for an installed one.
    const QString logPlace =
        QStringLiteral("Server replies are written to %1")
            .arg(QDir::toNativeSeparators(m_program.dataFilePath(QStringLiteral("rcon_log.txt"))));
    CLog->setToolTip(logPlace);
    CLog->setAccessibleDescription(logPlace);
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

    SettingsStore &settings = m_program.settings();
    connect(CSendToTray, &QCheckBox::toggled, this, [&settings](bool ticked) {
        settings.saveOption(SettingsStore::SendToTrayOnBoot, ticked);
    });
    // The log option is read at connect: it stays as it is while a connection lasts.
    connect(&m_program, &Program::logOptionLockChanged, CLog,
            [this](bool locked) { CLog->setEnabled(!locked); });
    connect(CLog, &QCheckBox::toggled, this, [this, &settings](bool ticked) {
        settings.saveOption(SettingsStore::LogText2File, ticked);
        m_program.setLogToFile(ticked);
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
    connect(CmdHelp, &XpButton::Click, this, [this] {
        m_program.platform().openUrl(QUrl(QString::fromLatin1(talvero::WebsiteAddress)));
    });
}

QString FrmSetRcon::path() const {
    return m_program.dataFilePath(QString(SettingsIni::FileName));
}

void FrmSetRcon::write(const QString &text, const QString &section, const QString &key) {
    IniAccess(I1).WriteToINI(text, section, key, path());
}

void FrmSetRcon::load() {
    SettingsStore &settings = m_program.settings();
    const int logOption = settings.readOption(SettingsStore::LogText2File);
    CSendToTray->setChecked(settings.readOption(SettingsStore::SendToTrayOnBoot) == 1);

    const IniAccess ini(I1);
    txtIP->setText(ini.GetFromINI(SettingsIni::Read::autoip, SettingsIni::Read::ip, path()));
    const QString port = ini.GetFromINI(SettingsIni::Read::autoip, SettingsIni::Read::port, path());
    txtPort->setText(port);
    txtcommand->setText(
        ini.GetFromINI(SettingsIni::Written::AutoRcon, SettingsIni::Written::Rcon, path()));
    txtcommand2->setText(
        ini.GetFromINI(SettingsIni::Written::AutoRcon, SettingsIni::Written::Rcon2, path()));
    m_time1 = ini.GetFromINI(SettingsIni::Read::autorcon, SettingsIni::Read::time, path());
    m_time2 = ini.GetFromINI(SettingsIni::Read::autorcon, SettingsIni::Read::time2, path());

    if (txtIP->text() == NotFound) {
        txtIP->clear();
        txtPort->setText(DefaultPort);
    } else if (port == NotFound) {
        // An address without a port: the usual port, not a fragment of "[NOT FOUND]".
        txtPort->setText(DefaultPort);
    }
    if (txtcommand->text() == NotFound) {
        m_program.platform().messageBox(
            this, Platform::Icon::Critical, Platform::Buttons::Ok,
            QStringLiteral("Error can't load settings file, Please reinstall Talvero"));
        m_program.ExitProgram();
        return;
    }
    // A second command is kept only together with a first one.
    if (txtcommand->text().isEmpty() && !txtcommand2->text().isEmpty()) {
        txtcommand2->setEnabled(false);
        txtcommand2->clear();
        CTime2->setEnabled(false);
        emptyList(CTime2);
        QCoreApplication::processEvents();
        write(QString(), SettingsIni::Written::AutoRcon, SettingsIni::Written::Rcon2);
        write(QString(), SettingsIni::Written::AutoRcon, SettingsIni::Written::Time2);
    }
    QCoreApplication::processEvents();
    if (m_program.isEnding())
        return;

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
    CLog->setEnabled(!m_program.isLogOptionLocked());
    SettingsChanged = false;
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
    write(txtIP->text(), SettingsIni::Written::AutoIP, SettingsIni::Written::IP);
    write(txtPort->text(), SettingsIni::Written::AutoIP, SettingsIni::Written::Port);
    SettingsChanged = true;
}

void FrmSetRcon::clearAddress() {
    write(QString(), SettingsIni::Written::AutoIP, SettingsIni::Written::IP);
    write(QString(), SettingsIni::Written::AutoIP, SettingsIni::Written::Port);
    txtIP->clear();
    txtPort->setText(DefaultPort);
    SettingsChanged = true;
}

void FrmSetRcon::applyCommands() {
    const QString time1 = IntervalTable::millisecondsFor(CTime->currentText());
    const QString time2 = IntervalTable::millisecondsFor(CTime2->currentText());
    write(txtcommand->text(), SettingsIni::Written::AutoRcon, SettingsIni::Written::Rcon);
    write(time1, SettingsIni::Written::AutoRcon, SettingsIni::Written::Time);
    write(txtcommand2->text(), SettingsIni::Written::AutoRcon, SettingsIni::Written::Rcon2);
    write(time2, SettingsIni::Written::AutoRcon, SettingsIni::Written::Time2);
    SettingsChanged = true;
    CmdApp->setEnabled(false);
}

void FrmSetRcon::clearCommands() {
    using namespace SettingsIni::Written;
    for (QLatin1String key : {Rcon, Time, Rcon2, Time2})
        write(QString(), AutoRcon, key);
    txtcommand->clear();
    txtcommand2->clear();
    SettingsChanged = true;
}

void FrmSetRcon::clearAll() {
    clearAddress();
    clearCommands();
}

bool FrmSetRcon::askRestart() {
    return m_program.platform().messageBox(
               this, Platform::Icon::Information, Platform::Buttons::YesNo,
               QStringLiteral("You need to restart Talvero before the changes will take effect\r\n"
                              "Should Talvero restart now? (Recommended)")) ==
           Platform::Answer::Yes;
}

void FrmSetRcon::closeClicked() {
    if (SettingsChanged && askRestart()) {
        m_program.RestartProgram();
        return;
    }
    close();
}

void FrmSetRcon::passwordsClicked() {
    if (SettingsChanged) {
        if (askRestart()) {
            m_program.RestartProgram();
            return;
        }
        close();
        return;
    }
    close();
    // The prompt opens once this dialog has gone, not inside its click.
    QMetaObject::invokeMethod(
        &m_program, [program = &m_program] { FrmPassEnter::openPasswordManager(*program); },
        Qt::QueuedConnection);
}

void FrmSetRcon::done(int result) {
    QDialog::done(result);
    m_program.frmSetRconUnloaded();
}
