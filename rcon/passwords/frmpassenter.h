#pragma once

#include <QDialog>

class Program;
class QCheckBox;
class QLabel;
class QLineEdit;
class XpButton;

// "Password Protected": the prompt in front of the Password Manager. It has no OK button: every
// change of the typed text is compared with the access password read when it opened, and the
// text that matches it exactly opens the Password Manager. A wrong text gets no answer.
class FrmPassEnter final : public QDialog {
    Q_OBJECT
public:
    FrmPassEnter(Program &program, QWidget *owner);
    ~FrmPassEnter() override;

    // The open steps: Close styled, the access password read from the password file.
    void load();

    // The main window's "Password Manager" entry and the Properties dialog's "Passwords"
    // button: the prompt modally over the main window (unless the user asked not to be asked
    // again), then the Password Manager once the password was typed.
    static void openPasswordManager(Program &program);

    QLabel *Label = nullptr;
    QLineEdit *TxtPass = nullptr;
    QCheckBox *chkLoadTipsAtStartup = nullptr;
    XpButton *CmdClose = nullptr;

private:
    void txtPassChanged(const QString &text);

    Program &m_program;
    QString m_accessPassword;
};
