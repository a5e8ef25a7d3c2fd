#include "rcon/passwords/frmfirst.h"

#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/programicon.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <utility>

FrmFirst::FrmFirst(PasswordFile passwords, const ButtonFactory &buttons)
    : QDialog(nullptr)
    , m_passwords(std::move(passwords)) {
    setObjectName(QStringLiteral("FrmFirst"));
    setWindowTitle(QStringLiteral("Choose a Password"));
    setWindowIcon(talvero::programIcon());
    setFont(talvero::tahoma(8.25));
    setModal(true);

    Label = new QLabel(QStringLiteral("First Time User: Please enter a password so you can use "
                                      "the Password Manager as it is Password Protected . . ."),
                       this);
    Label->setObjectName(QStringLiteral("Label1"));
    Label->setWordWrap(true);
    Label->setMinimumWidth(300);
    TxtPass = new QLineEdit(this);
    TxtPass->setObjectName(QStringLiteral("TxtPass"));
    TxtPass->setEchoMode(QLineEdit::Password);
    TxtPass->setAccessibleName(QStringLiteral("Password Manager password"));
    TxtPass->setAccessibleDescription(Label->text());
    Label->setBuddy(TxtPass);
    CmdOk = buttons.create(this, QStringLiteral("CmdOk"), QStringLiteral("Continue"));
    CmdOk->setEnabled(false);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(CmdOk);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label);
    layout->addWidget(TxtPass);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(TxtPass, CmdOk);

    connect(TxtPass, &QLineEdit::textChanged, this,
            [this](const QString &text) { CmdOk->setEnabled(!text.isEmpty()); });
    connect(TxtPass, &QLineEdit::returnPressed, this, [this] {
        if (CmdOk->isEnabled())
            CmdOk->click();
    });
    connect(CmdOk, &XpButton::Click, this, &FrmFirst::cmdOkClicked);
}

FrmFirst::~FrmFirst() = default;

void FrmFirst::load() {
    m_passwords.WriteNewINI();
    CmdOk->ButtonStyle(2);
}

bool FrmFirst::noPasswordChosen(const QString &accessPassword) {
    return accessPassword.isEmpty() || accessPassword == IniAccess::NotFound;
}

void FrmFirst::keyPressEvent(QKeyEvent *event) {
    // Escape is no way out of the first start: only Continue, or closing the window on purpose.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FrmFirst::cmdOkClicked() {
    if (TxtPass->text().isEmpty())
        return;
    m_passwords.setAccessPassword(TxtPass->text());
    accept();
}
