#pragma once

#include "rcon/passwords/passwordfile.h"

#include <QDialog>

class ButtonFactory;
class QCheckBox;
class SettingsStore;
class QLabel;
class QLineEdit;
class XpButton;

// "Password Protected": the prompt in front of the Password Manager. It has no OK button: every
// change of the typed text is compared with the access password read when it opened, and the
// text that matches it exactly is accepted: the Password Manager may open. A wrong text gets no
// answer.
class FrmPassEnter final : public QDialog {
    Q_OBJECT
public:
    FrmPassEnter(PasswordFile passwords, const SettingsStore &settings,
                 const ButtonFactory &buttons, QWidget *owner);
    ~FrmPassEnter() override;

    // The open steps: Close styled, the access password read from the password file.
    void load();

    // False when the user asked not to be asked for the access password again.
    static bool isWanted(const SettingsStore &settings);

private:
    void txtPassChanged(const QString &text);

    PasswordFile m_passwords;
    const SettingsStore &m_settings;
    QLabel *Label = nullptr;
    QLineEdit *TxtPass = nullptr;
    QCheckBox *chkLoadTipsAtStartup = nullptr;
    XpButton *CmdClose = nullptr;
    QString m_accessPassword;
};
