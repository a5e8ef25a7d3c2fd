#include "rcon/passwords/frmpassenter.h"

#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/programicon.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <utility>

FrmPassEnter::FrmPassEnter(PasswordFile passwords, const SettingsStore &settings,
                           const ButtonFactory &buttons, QWidget *owner)
    : QDialog(owner)
    , m_passwords(std::move(passwords))
    , m_settings(settings) {
    setObjectName(QStringLiteral("FrmPassEnter"));
    setWindowTitle(QStringLiteral("Password Protected"));
    setWindowIcon(talvero::programIcon());
    setFont(talvero::tahoma(8.25));
    setModal(true);

    Label = new QLabel(QStringLiteral("Please enter your password which you was asked to supply "
                                      "when you first ran Talvero, once you have entered this "
                                      "password you can then access Password Manager"),
                       this);
    Label->setObjectName(QStringLiteral("Label1"));
    Label->setWordWrap(true);
    Label->setMinimumWidth(340);
    TxtPass = new QLineEdit(this);
    TxtPass->setObjectName(QStringLiteral("TxtPass"));
    TxtPass->setEchoMode(QLineEdit::Password);
    TxtPass->setAccessibleName(QStringLiteral("Password Manager password"));
    TxtPass->setAccessibleDescription(Label->text());
    Label->setBuddy(TxtPass);
    chkLoadTipsAtStartup =
        new QCheckBox(QStringLiteral("Do not ask for this password again?"), this);
    chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    CmdClose = buttons.create(this, QStringLiteral("CmdClose"), QStringLiteral("Close"));

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(chkLoadTipsAtStartup, 1);
    bottom->addWidget(CmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label);
    layout->addWidget(TxtPass);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(TxtPass, chkLoadTipsAtStartup);
    setTabOrder(chkLoadTipsAtStartup, CmdClose);

    connect(TxtPass, &QLineEdit::textChanged, this, &FrmPassEnter::txtPassChanged);
    // Closing the prompt gives the main window back; Escape does the same.
    connect(CmdClose, &XpButton::Click, this, &QDialog::reject);
}

FrmPassEnter::~FrmPassEnter() = default;

void FrmPassEnter::load() {
    CmdClose->ButtonStyle(2);
    m_accessPassword = m_passwords.accessPassword();
}

void FrmPassEnter::txtPassChanged(const QString &text) {
    // The whole text, exactly: a text that only begins with the password is no match.
    if (text != m_accessPassword)
        return;
    m_settings.saveOption(SettingsStore::ShowPassDlg, chkLoadTipsAtStartup->isChecked());
    accept();
}

bool FrmPassEnter::isWanted(const SettingsStore &settings) {
    return settings.readOption(SettingsStore::ShowPassDlg) != 1;
}
