#pragma once

#include "rcon/passwords/passwordfile.h"

#include <QDialog>

class ButtonFactory;
class QLabel;
class QLineEdit;
class XpButton;

// "Choose a Password": the first start asks for the access password that guards the Password
// Manager. Opening it fills the password file afresh; Continue stores the typed password. The
// start-up waits for it, and there is no way past it but Continue: closing its window is the
// end of the program (rejected).
class FrmFirst final : public QDialog {
    Q_OBJECT
public:
    FrmFirst(PasswordFile passwords, const ButtonFactory &buttons);
    ~FrmFirst() override;

    // The open steps: the password file filled afresh, Continue styled.
    void load();

    // True when an access password read from the password file means none has been chosen.
    static bool noPasswordChosen(const QString &accessPassword);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void cmdOkClicked();

    PasswordFile m_passwords;
    QLabel *Label = nullptr;
    QLineEdit *TxtPass = nullptr;
    XpButton *CmdOk = nullptr;
};
