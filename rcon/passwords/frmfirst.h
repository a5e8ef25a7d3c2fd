#pragma once

#include <QDialog>

class Program;
class QLabel;
class QLineEdit;
class XpButton;

// "Choose a Password": the first start asks for the access password that guards the Password
// Manager. Opening it fills the password file afresh; Continue stores the typed password. The
// start-up waits for it, and there is no way past it but Continue: closing its window ends the
// program.
class FrmFirst final : public QDialog {
    Q_OBJECT
public:
    explicit FrmFirst(Program &program);
    ~FrmFirst() override;

    // The open steps: the password file filled afresh, Continue styled.
    void load();

    // True when an access password read from the password file means none has been chosen.
    static bool noPasswordChosen(const QString &accessPassword);
    // Shows the dialog modally and returns once it closes: true when Continue stored the access
    // password, false when its window was closed otherwise, which ends the program.
    static bool choosePassword(Program &program);

    QLabel *Label = nullptr;
    QLineEdit *TxtPass = nullptr;
    XpButton *CmdOk = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void cmdOkClicked();

    Program &m_program;
};
